#ifndef TESSIT_TESTS_KXDUMPFILES_H
#define TESSIT_TESTS_KXDUMPFILES_H

#include "KxFoundation/KxPath.h"
#include "KxFoundation/KxString.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace Kavo {

// The dumps beside the test executable whose name part is `safeName`,
// sorted; each is "<executable>.<safeName>.<YYYYMMDDhhmmss>_<n>.dmp".
inline std::vector<std::filesystem::path> dumpFilesNamed(const KxString& safeName)
{
    const auto executable = std::filesystem::u8path(modulePath().toNarrow());
    const std::string prefix = executable.filename().u8string() + "." + safeName.toNarrow() + ".";
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(executable.parent_path())) {
        const std::string name = entry.path().filename().u8string();
        if (name.size() > prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - 4, 4, ".dmp") == 0 &&
            name.find('.', prefix.size()) == name.size() - 4)
            found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The "<YYYYMMDDhhmmss>_<n>" part of a dump's file name.
inline std::string dumpStampAndNumber(const std::filesystem::path& dump)
{
    const std::string stem = dump.stem().u8string();
    return stem.substr(stem.rfind('.') + 1);
}

inline void removeDumpFilesNamed(const KxString& safeName)
{
    for (const auto& dump : dumpFilesNamed(safeName))
        std::filesystem::remove(dump);
}

} // namespace Kavo

#endif
