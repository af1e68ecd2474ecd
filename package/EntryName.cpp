#include "package/Package.h"

#include "KxFoundation/KxPath.h"

#include <algorithm>
#include <string>

namespace Tessit {

namespace {

bool isSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// C0 and C1 controls and DEL: a line feed forges a log line, an escape
// reaches the terminal.
bool isControl(char16_t unit) { return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F); }

// Marks that reorder the text around them: a name can look like another
// with its extension moved, or turn a whole line around.
bool isBidirectionalControl(char16_t unit)
{
    return unit == 0x061C || unit == 0x200E || unit == 0x200F || (unit >= 0x202A && unit <= 0x202E) ||
           (unit >= 0x2066 && unit <= 0x2069);
}

// Windows drops trailing dots and spaces from a level, so '..', '...' and
// '.. ' may all climb to the parent, and '. ' and '   ' name the folder
// itself or nothing; no real name consists of them alone. A plain '.' is
// the folder itself everywhere.
bool isDotsAndSpacesLevel(const std::u16string& level)
{
    return !level.empty() && level != u"." &&
           std::all_of(level.begin(), level.end(), [](char16_t unit) { return unit == u'.' || unit == u' '; });
}

// The position of each unit that is half of no surrogate pair.
std::vector<bool> loneSurrogates(const std::u16string& text)
{
    std::vector<bool> lone(text.size(), false);
    for (size_t index = 0; index < text.size(); ++index) {
        if (isHighSurrogate(text[index]) && index + 1 < text.size() && isLowSurrogate(text[index + 1]))
            ++index;
        else
            lone[index] = isHighSurrogate(text[index]) || isLowSurrogate(text[index]);
    }
    return lone;
}

} // namespace

// Names are joined to the folder unchanged: a leading separator only
// doubles the folder's own, and lands inside it. A lone surrogate has no
// UTF-8 form: written, it would make a name no other program can spell.
bool isUnsafeEntryName(const KxString& name)
{
    const std::u16string text(name.c_str(), name.length());
    if (Kavo::namesDriveOrStream(name) || std::any_of(text.begin(), text.end(), isControl))
        return true;
    const std::vector<bool> lone = loneSurrogates(text);
    if (std::find(lone.begin(), lone.end(), true) != lone.end())
        return true;
    std::u16string level;
    for (const char16_t unit : text + u'/') {
        if (!isSeparator(unit)) {
            level.push_back(unit);
            continue;
        }
        if (isDotsAndSpacesLevel(level))
            return true;
        level.clear();
    }
    return false;
}

KxString printableEntryName(const KxString& name)
{
    const std::u16string text(name.c_str(), name.length());
    const std::vector<bool> lone = loneSurrogates(text);
    KxString shown;
    for (size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (lone[index] || isBidirectionalControl(unit))
            shown.appendFormat(u"\\u%04X", unsigned(unit));
        else if (isControl(unit))
            shown.appendFormat(u"\\x%02X", unsigned(unit));
        else
            shown += std::u16string(1, unit).c_str();
    }
    return shown;
}

} // namespace Tessit
