#ifndef KAVO_KXDUMP_H
#define KAVO_KXDUMP_H

#include "KxFoundation/KxString.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace Kavo {

// The platform's record of an exception being dispatched: the exception
// pointers on Windows, a fault signal's information and interrupted context
// on Unix.
struct KxExceptionPointers;

// Writes a minidump of the running process beside the executable, named
// "<module path>.<safe name>.<YYYYMMDDhhmmss>_<n>.dmp". `name` may be null
// (taken as empty). Returns 1 in every case, also when nothing was written.
int _kx_write_dump(const KxExceptionPointers* exceptionPointers, const char16_t* name);

// The name with each of \ / : * ? " < > | replaced by '_'.
KxString _kx_dump_safe_name(const KxString& name);

// One dump, made ready before it is needed: its path up to the time stamp,
// in the system's form with room for the rest, and the local time's offset
// from UTC. Writing it then takes no lock and allocates nothing of its own,
// so a fault handler may write it. One thread writes a request at a time.
class KxDumpRequest {
public:
    explicit KxDumpRequest(const KxString& safeName);

    // Takes the next number, also when no dump can be written, and writes
    // the dump stamped with the current local time.
    void write(const KxExceptionPointers* exceptionPointers);

private:
    std::string m_path;
    std::size_t m_prefixLength;
    int32_t m_utcOffset;
};

// The process-wide dump writer, set up before the program starts.
class KxDumpState {
public:
    static KxDumpState& instance();

    // Takes the next number, also when no dump can be written, so that
    // concurrent requests never share one.
    int write(const KxExceptionPointers* exceptionPointers, const KxString& safeName);
    // The number the next request will take.
    int32_t dumpCounter() const { return m_dumpCounter.load(); }
    int32_t takeNumber() { return m_dumpCounter.fetch_add(1); }

private:
    KxDumpState();

    std::atomic<int32_t> m_dumpCounter{0};
};

} // namespace Kavo

#endif
