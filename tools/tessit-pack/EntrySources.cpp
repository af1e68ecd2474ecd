#include "EntrySources.h"

#include "PackError.h"
#include "PathText.h"
#include "package/PackageFormat.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace Tessit {

namespace fs = std::filesystem;

namespace {

std::string quoted(const Kavo::KxString& name) { return "'" + utf8Of(name) + "'"; }

PackEntry fileEntry(const Kavo::KxString& name, const fs::path& source)
{
    std::error_code error;
    if (!fs::is_regular_file(source, error))
        throw PackError(source, "not a regular file");
    return PackEntry{name, source, fs::file_size(source)};
}

Kavo::KxString relativeName(const fs::path& relative)
{
    Kavo::KxString name;
    for (const fs::path& level : relative) {
        if (name.length() != 0)
            name += u"\\";
        name += textOf(level);
    }
    return name;
}

// A link inside a folder packs what it leads to, which may be anywhere
// (another user's file, a secret of the system's): only on request.
void addFolder(const fs::path& folder, bool dereference, std::vector<PackEntry>& entries)
{
    const fs::directory_options options =
        dereference ? fs::directory_options::follow_directory_symlink : fs::directory_options::none;
    std::vector<fs::path> files;
    for (const fs::directory_entry& item : fs::recursive_directory_iterator(folder, options)) {
        if (!dereference && item.is_symlink())
            throw PackError(item.path(), "is a link; --dereference packs what links lead to");
        if (item.is_regular_file())
            files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    if (files.empty())
        throw PackError(folder, "folder holds no files");
    for (const fs::path& file : files)
        entries.push_back(fileEntry(relativeName(file.lexically_relative(folder)), file));
}

// Names given on the command line may use '/' between levels as well.
Kavo::KxString packagedName(std::string name)
{
    std::replace(name.begin(), name.end(), '/', '\\');
    return textOf(pathFromUtf8(name));
}

} // namespace

std::vector<PackEntry> collectEntries(const std::vector<std::string>& items, bool dereference)
{
    std::vector<PackEntry> entries;
    for (const std::string& item : items) {
        const fs::path path = pathFromUtf8(item);
        std::error_code error;
        const size_t equals = item.find('=');
        if (!fs::exists(path, error) && equals != std::string::npos && equals != 0) {
            entries.push_back(fileEntry(packagedName(item.substr(0, equals)), pathFromUtf8(item.substr(equals + 1))));
        } else if (fs::is_directory(path, error)) {
            addFolder(path, dereference, entries);
        } else if (fs::exists(path, error)) {
            entries.push_back(fileEntry(textOf(path.filename()), path));
        } else {
            throw PackError(item + ": no such file or folder");
        }
    }
    return entries;
}

std::vector<std::string> missingPrograms(const std::vector<Kavo::KxString>& names, NameRules rules)
{
    const auto has = [&](const char16_t* program) {
        return std::any_of(names.begin(), names.end(), [&](const Kavo::KxString& name) {
            const std::optional<EntryPath> path = resolveEntryName(name, rules);
            return path && sameEntryPath(path->relative(), program, rules);
        });
    };
    std::vector<std::string> warnings;
    if (!has(kMainToolFileName))
        warnings.push_back("no entry is the main tool " + utf8Of(Kavo::KxString(kMainToolFileName)) +
                           ": the launcher runs the installer, then ends with exit code 1");
    if (!has(kInstallerFileName))
        warnings.push_back("no entry is the installer " + utf8Of(Kavo::KxString(kInstallerFileName)) +
                           ": the launcher starts none");
    return warnings;
}

std::string unsafeNameReason(UnsafeName why)
{
    switch (why) {
    case UnsafeName::None: break;
    case UnsafeName::NamesNoFile: return "names a folder, not a file";
    case UnsafeName::LeavesFolder: return "would be written outside the target folder";
    case UnsafeName::ControlCharacter: return "holds a control character";
    case UnsafeName::LoneSurrogate: return "holds half of a UTF-16 surrogate pair";
    case UnsafeName::DriveOrStream: return "holds ':', which Windows reads as a drive or a stream";
    case UnsafeName::DeviceName: return "names a device on Windows";
    }
    return "can be written";
}

void checkEntries(const std::vector<PackEntry>& entries, NameRules rules)
{
    if (entries.empty() || entries.size() > size_t(kMaxEntries))
        throw PackError(std::to_string(entries.size()) + " entries; a package holds 1 to " +
                        std::to_string(kMaxEntries));
    std::vector<Kavo::KxString> paths;
    for (size_t index = 0; index < entries.size(); ++index) {
        const PackEntry& entry = entries[index];
        if (entry.name.length() == 0)
            throw PackError(entry.source, "empty entry name");
        if (entry.name.length() > kMaxNameUnits)
            throw PackError("entry name " + quoted(entry.name) + " is longer than " + std::to_string(kMaxNameUnits) +
                            " UTF-16 units");
        UnsafeName why = UnsafeName::None;
        const std::optional<EntryPath> path = resolveEntryName(entry.name, rules, &why);
        if (!path)
            throw PackError("entry name " + quoted(entry.name) + " " + unsafeNameReason(why));
        if (entry.size > uint64_t(std::numeric_limits<int32_t>::max()))
            throw PackError(entry.source, "larger than 2147483647 bytes");
        for (size_t earlier = 0; earlier < index; ++earlier)
            if (sameEntryPath(paths[earlier], path->relative(), rules))
                throw PackError("entry names " + quoted(entries[earlier].name) + " and " + quoted(entry.name) +
                                " are the same file" + (rules == NameRules::Windows ? " on Windows" : ""));
        paths.push_back(path->relative());
        if (isLauncherEntry(entry.name))
            std::fprintf(stderr, "tessit-pack: warning: entry %s has the launcher's own name and is never written\n",
                         quoted(entry.name).c_str());
    }
}

} // namespace Tessit
