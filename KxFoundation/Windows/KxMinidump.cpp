#include "KxMinidump.h"

#include "Windows/KxExceptionPointers.h"
#include "KxFoundation/KxString.h"

#include <windows.h>

#include <dbghelp.h>

#include <atomic>
#include <string>

namespace Kavo {

namespace {

constexpr int kLargestPathUnits = 1024;

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

// The debug-help library is single-threaded: two threads writing at once
// corrupt its symbol tables and crash inside it. So one thread writes at a
// time and the others wait their turn; a thread that faults inside its own
// dump gives up the second one rather than enter the library again. A plain
// atomic owner, not a lock object, because fault handlers come through here.
class OneWriterAtATime {
public:
    OneWriterAtATime() : m_entered(enter()) {}
    ~OneWriterAtATime()
    {
        if (m_entered)
            s_writer.store(0);
    }
    OneWriterAtATime(const OneWriterAtATime&) = delete;
    OneWriterAtATime& operator=(const OneWriterAtATime&) = delete;

    bool entered() const { return m_entered; }

private:
    static bool enter()
    {
        const DWORD self = GetCurrentThreadId();
        DWORD owner = 0;
        while (!s_writer.compare_exchange_weak(owner, self)) {
            if (owner == self)
                return false;
            owner = 0;
            Sleep(1);
        }
        return true;
    }

    static std::atomic<DWORD> s_writer;
    const bool m_entered;
};

std::atomic<DWORD> OneWriterAtATime::s_writer{0};

} // namespace

bool _kx_minidump_available() { return debugHelp().writeDump() != nullptr; }

std::string _kx_minidump_path(const KxString& path)
{
    const wchar_t* wide = wideUnits(path);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(std::size_t(bytes > 0 ? bytes : 1), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(std::char_traits<char>::length(narrow.c_str()));
    return narrow;
}

// The path comes back to UTF-16 in a fixed buffer: a longer one could not
// be created without the long-path prefix anyway.
void _kx_write_minidump(const char* path, const KxExceptionPointers* exceptionPointers)
{
    const OneWriterAtATime turn;
    if (!turn.entered())
        return;
    wchar_t widePath[kLargestPathUnits];
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, widePath, kLargestPathUnits) == 0)
        return;
    // Always a new file: whatever is at the name already is never written through.
    const HANDLE file = CreateFileW(widePath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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
