#include "KxFoundation/KxMinidump.h"

#include "KxFoundation/KxString.h"
#include "KxFoundation/Windows/KxExceptionPointers.h"

#include <windows.h>

#include <dbghelp.h>

namespace Kavo {

namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// The debug-help library, loaded from the system folder only so that a
// DBGHELP.DLL planted beside the executable is never run; freed at exit.
class DebugHelp {
public:
    DebugHelp()
        : m_module(LoadLibraryExW(L"DBGHELP.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)),
          m_writeDump(m_module != nullptr
                          ? reinterpret_cast<MiniDumpWriteDumpFunction>(
                                reinterpret_cast<void*>(GetProcAddress(m_module, "MiniDumpWriteDump")))
                          : nullptr)
    {
    }
    ~DebugHelp()
    {
        if (m_module != nullptr)
            FreeLibrary(m_module);
    }
    DebugHelp(const DebugHelp&) = delete;
    DebugHelp& operator=(const DebugHelp&) = delete;

    MiniDumpWriteDumpFunction writeDump() const { return m_writeDump; }

private:
    HMODULE m_module;
    MiniDumpWriteDumpFunction m_writeDump;
};

const DebugHelp& debugHelp()
{
    static const DebugHelp library;
    return library;
}

} // namespace

bool _kx_minidump_available() { return debugHelp().writeDump() != nullptr; }

void _kx_write_minidump(const KxString& path, const KxExceptionPointers* exceptionPointers)
{
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    MINIDUMP_EXCEPTION_INFORMATION exception{};
    if (exceptionPointers != nullptr) {
        exception.ThreadId = GetCurrentThreadId();
        exception.ExceptionPointers = exceptionPointers->pointers;
        exception.ClientPointers = FALSE;
    }
    debugHelp().writeDump()(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                            exceptionPointers != nullptr ? &exception : nullptr, nullptr, nullptr);
    CloseHandle(file);
}

} // namespace Kavo
