#include "TargetLaunchers.h"

#include <windows.h>

#include <vector>

namespace Tessit {

std::filesystem::path runningProgram()
{
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            throw std::filesystem::filesystem_error("cannot name the running program", std::error_code(
                                                        static_cast<int>(GetLastError()), std::system_category()));
        if (length < name.size())
            return std::filesystem::path(name.data(), name.data() + length);
        name.resize(name.size() * 2);
    }
}

} // namespace Tessit
