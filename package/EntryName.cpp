#include "package/EntryName.h"

#include "KxFoundation/KxPath.h"
#include "package/PackageFormat.h"

#include <algorithm>
#include <array>
#include <string>

namespace Tessit {

using Kavo::KxString;

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

std::u16string withoutTrailing(std::u16string text, const std::u16string& units)
{
    text.erase(text.find_last_not_of(units) + 1);
    return text;
}

// Windows reads these as devices, with any extension, in any letter case:
// a file of such a name cannot be opened by its path.
bool isDeviceName(const std::u16string& level)
{
    static const std::array<const char16_t*, 28> kDevices{
        u"CON",  u"PRN",  u"AUX",  u"NUL",  u"COM1", u"COM2", u"COM3",    u"COM4",     u"COM5",     u"COM6",
        u"COM7", u"COM8", u"COM9", u"LPT1", u"LPT2", u"LPT3", u"LPT4",    u"LPT5",     u"LPT6",     u"LPT7",
        u"LPT8", u"LPT9", u"COM\u00B9", u"COM\u00B2", u"COM\u00B3", u"LPT\u00B9", u"CONIN$", u"CONOUT$"};
    const KxString base(withoutTrailing(level.substr(0, level.find(u'.')), u" ").c_str());
    return std::any_of(kDevices.begin(), kDevices.end(), [&](const char16_t* device) { return base.equalsIgnoreCase(device); });
}

struct RawLevel {
    std::u16string name;
    char16_t closedBy; // the separator after it, or 0 for the last
};

std::vector<RawLevel> rawLevels(const std::u16string& text)
{
    std::vector<RawLevel> levels{{}};
    for (const char16_t unit : text) {
        if (!isSeparator(unit)) {
            levels.back().name.push_back(unit);
            continue;
        }
        levels.back().closedBy = unit;
        levels.push_back({});
    }
    return levels;
}

// One level as the system names it, or why it must not be written.
std::optional<std::u16string> systemLevel(const std::u16string& level, NameRules rules, UnsafeName& why)
{
    if (isDotsAndSpacesLevel(level)) {
        why = UnsafeName::LeavesFolder;
        return std::nullopt;
    }
    if (rules == NameRules::Posix)
        return level;
    const std::u16string named = withoutTrailing(level, u". ");
    if (isDeviceName(named)) {
        why = UnsafeName::DeviceName;
        return std::nullopt;
    }
    return named;
}

UnsafeName unsafeCharacters(const std::u16string& text, NameRules rules)
{
    if (std::any_of(text.begin(), text.end(), isControl))
        return UnsafeName::ControlCharacter;
    const std::vector<bool> lone = loneSurrogates(text);
    if (std::find(lone.begin(), lone.end(), true) != lone.end())
        return UnsafeName::LoneSurrogate;
    if (rules == NameRules::Windows && text.find(u':') != std::u16string::npos)
        return UnsafeName::DriveOrStream;
    return UnsafeName::None;
}

std::optional<EntryPath> resolved(const std::u16string& text, NameRules rules, UnsafeName& why)
{
    why = unsafeCharacters(text, rules);
    if (why != UnsafeName::None)
        return std::nullopt;
    const std::vector<RawLevel> levels = rawLevels(text);
    const std::u16string& file = levels.back().name;
    // What ends in a separator or in '.' names a folder: writing it would
    // reach the folder above the one meant.
    if (file.empty() || file == u".") {
        why = UnsafeName::NamesNoFile;
        return std::nullopt;
    }
    EntryPath path;
    for (const RawLevel& level : levels) {
        const std::optional<std::u16string> named = systemLevel(level.name, rules, why);
        if (!named)
            return std::nullopt;
        if (&level == &levels.back())
            path.file = KxString(named->c_str());
        else if (!named->empty() && *named != u".")
            path.folders.push_back({KxString(named->c_str()), level.closedBy == u'\\'});
    }
    // Folder creation makes the whole folder part's last level however it
    // is closed.
    if (!path.folders.empty())
        path.folders.back().madeWhenMissing = true;
    return path;
}

} // namespace

KxString EntryPath::relative() const
{
    KxString path;
    for (const EntryLevel& level : folders)
        path += level.name + u"\\";
    return path + file;
}

// Names are joined to the folder unchanged: a leading separator only
// doubles the folder's own, and lands inside it. A lone surrogate has no
// UTF-8 form: written, it would make a name no other program can spell.
std::optional<EntryPath> resolveEntryName(const KxString& name, NameRules rules, UnsafeName* why)
{
    UnsafeName reason = UnsafeName::None;
    std::optional<EntryPath> path = resolved(std::u16string(name.c_str(), name.length()), rules, reason);
    if (why)
        *why = reason;
    return path;
}

bool sameEntryPath(const KxString& first, const KxString& second, NameRules rules)
{
    return rules == NameRules::Windows ? first.equalsIgnoreCase(second) : first == second;
}

bool isProgramEntry(const KxString& path, NameRules rules)
{
    return sameEntryPath(path, kInstallerFileName, rules) || sameEntryPath(path, kMainToolFileName, rules) ||
           Kavo::fileExtension(path).equalsIgnoreCase(kControlExtension);
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
