#include "KxFoundation/KxPath.h"

#include "KxDirectoryLevels.h"

namespace Kavo {

namespace {

const char16_t* const kSeparators = u"/\\";

constexpr uint32_t kAllUnits = 0xFFFFFFFFu;

bool isSeparator(char16_t unit) { return unit == u'/' || unit == u'\\'; }

} // namespace

KxString fileExtension(const KxString& name)
{
    const int dot = name.lastIndexOfAny(u".", kAllUnits);
    if (dot == -1 || uint32_t(dot) + 1 == name.length())
        return KxString();
    return name.substring(uint32_t(dot) + 1, kAllUnits);
}

KxString lastPathComponent(const KxString& path)
{
    const uint32_t length = path.length();
    const int last = path.lastIndexOfAny(kSeparators, kAllUnits);
    if (last == -1 || length == 1)
        return path;
    if (uint32_t(last) + 1 < length)
        return path.substring(uint32_t(last) + 1, kAllUnits);
    const int previous = path.lastIndexOfAny(kSeparators, length - 2);
    return path.substring(uint32_t(previous + 1), length - uint32_t(previous) - 2);
}

void removeTrailingSeparator(KxString& path)
{
    const int last = path.lastIndexOfAny(kSeparators, kAllUnits);
    if (last > 0 && uint32_t(last) + 1 == path.length())
        path.resize(path.length() - 1);
}

// A path that ends in a separator names a folder, which is its own folder
// part: taking the level above would reach outside it.
void removeLastPathComponent(KxString& path)
{
    if (path.length() > 1 && isSeparator(path.c_str()[path.length() - 1])) {
        while (path.length() > 1 && isSeparator(path.c_str()[path.length() - 1]))
            path.resize(path.length() - 1);
        return;
    }
    const KxString component = lastPathComponent(path);
    if (component.length() == 0 || component.length() == path.length())
        return;
    path.resize(path.length() - component.length());
    removeTrailingSeparator(path);
}

std::vector<KxString> _kx_directory_levels(const KxString& path)
{
    std::u16string whole(path.c_str(), path.length());
    if (!whole.empty() && whole.back() == u'\\')
        whole.pop_back();
    std::vector<KxString> levels;
    for (std::size_t index = 1; index < whole.size(); ++index) {
        const char16_t before = whole[index - 1];
        if (whole[index] == u'\\' && before != u':' && before != u'\\')
            levels.emplace_back(whole.substr(0, index).c_str());
    }
    levels.emplace_back(whole.c_str());
    return levels;
}

// A level that exists in any form is passed over; a file standing in for a
// folder makes the next creation below it fail.
bool createDirectories(const KxString& path)
{
    for (const KxString& level : _kx_directory_levels(path))
        if (!fileExists(level) && !createDirectory(level))
            return false;
    return true;
}

} // namespace Kavo
