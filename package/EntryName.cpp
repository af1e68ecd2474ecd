#include "package/Package.h"

#include <algorithm>
#include <string>

namespace Tessit {

namespace {

bool isSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

// Windows drops trailing dots and spaces from a level, so '..', '...' and
// '.. ' may all climb to the parent; no real name consists of them alone.
bool isDotLevel(const std::u16string& level)
{
    const bool onlyDotsAndSpaces =
        std::all_of(level.begin(), level.end(), [](char16_t unit) { return unit == u'.' || unit == u' '; });
    return onlyDotsAndSpaces && std::count(level.begin(), level.end(), u'.') >= 2;
}

} // namespace

bool isUnsafeEntryName(const KxString& name)
{
    const std::u16string text(name.c_str(), name.length());
    if (!text.empty() && isSeparator(text.front()))
        return true;
    if (text.find(u':') != std::u16string::npos)
        return true;
    std::u16string level;
    for (const char16_t unit : text + u'/') {
        if (!isSeparator(unit)) {
            level.push_back(unit);
            continue;
        }
        if (isDotLevel(level))
            return true;
        level.clear();
    }
    return false;
}

} // namespace Tessit
