#include "KxMinidump.h"

#include "KxUtf8Facet.h"
#include "Unix/KxExceptionPointers.h"
#include "Unix/KxMinidumpContext.h"
#include "Unix/KxMinidumpFormat.h"
#include "Unix/KxThreadStack.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <initializer_list>

// The writer runs in fault handlers too: it allocates nothing and takes no
// lock. Records go to the file as they are made, each at the offset that is
// its RVA; the header and the stream directory are written last, in front.
namespace Kavo {

namespace {

using namespace minidump;

// Stack kept per thread: from just below the stack pointer (the red zone a
// leaf function may use) up to this many bytes towards the stack's base.
constexpr uint64_t kRedZoneBytes = 128;
constexpr uint64_t kLargestStackBytes = 256 * 1024;
// Memory is copied a page at a time, so an unreadable page costs only itself.
constexpr uint64_t kPageBytes = 4096;
constexpr std::size_t kLargestModuleCount = 512;
constexpr std::size_t kLargestPathBytes = 4096;
constexpr uint32_t kLargestStreamCount = 5;

// Writes through the system call itself: the stack bytes belong to live
// frames, which a sanitised build's interceptors would take for an access
// to them.
class DumpFile {
public:
    explicit DumpFile(int descriptor) : m_descriptor(descriptor) {}

    uint32_t offset() const { return m_offset; }

    uint32_t append(const void* data, std::size_t size)
    {
        const uint32_t rva = m_offset;
        const auto* bytes = static_cast<const uint8_t*>(data);
        std::size_t written = 0;
        while (written < size) {
            const long result = syscall(SYS_pwrite64, m_descriptor, bytes + written, size - written,
                                        off_t(m_offset + written));
            if (result < 0 && errno == EINTR)
                continue;
            if (result <= 0)
                break;
            written += std::size_t(result);
        }
        m_offset += uint32_t(size);
        return rva;
    }
    template <typename Record>
    uint32_t appendRecord(const Record& record)
    {
        return append(&record, sizeof record);
    }
    void writeAt(uint32_t rva, const void* data, std::size_t size)
    {
        const uint32_t end = m_offset;
        m_offset = rva;
        append(data, size);
        m_offset = end;
    }
    // Live memory a page at a time; a page the system will not read comes
    // out as zeros, so every later offset stays right.
    uint32_t appendMemory(uint64_t start, uint64_t size)
    {
        static const uint8_t zeros[kPageBytes] = {};
        const uint32_t rva = m_offset;
        for (uint64_t at = start; at < start + size;) {
            const uint64_t chunk = std::min(kPageBytes - at % kPageBytes, start + size - at);
            const long result = syscall(SYS_pwrite64, m_descriptor, reinterpret_cast<const void*>(at), chunk,
                                        off_t(m_offset));
            if (result != long(chunk))
                syscall(SYS_pwrite64, m_descriptor, zeros, chunk, off_t(m_offset));
            m_offset += uint32_t(chunk);
            at += chunk;
        }
        return rva;
    }

private:
    int m_descriptor;
    uint32_t m_offset = 0;
};

// Made when the writer is readied, so that no fault handler is the first
// to ask for it.
const detail::utf8_codecvt_facet& utf8Facet()
{
    static const detail::utf8_codecvt_facet facet(1);
    return facet;
}

// UTF-16 text built in place, without allocating.
template <std::size_t Capacity>
class Utf16Text {
public:
    // Decodes UTF-8 through the library's facet; malformed text stops at
    // the first byte that cannot be read.
    void appendUtf8(const char* text, std::size_t length)
    {
        const detail::utf8_codecvt_facet& facet = utf8Facet();
        std::mbstate_t state{};
        const char* next = text;
        const char* end = text + length;
        while (next < end) {
            wchar_t chunk[64];
            wchar_t* decodedEnd = chunk;
            const auto result = facet.in(state, next, end, next, chunk, chunk + 64, decodedEnd);
            for (const wchar_t* value = chunk; value < decodedEnd; ++value)
                appendCodePoint(char32_t(*value));
            if (result == std::codecvt_base::error || decodedEnd == chunk)
                return;
        }
    }
    uint32_t appendTo(DumpFile& file) const
    {
        const auto bytes = uint32_t(m_length * sizeof(char16_t));
        const uint32_t rva = file.appendRecord(bytes);
        file.append(m_units, bytes);
        file.appendRecord(char16_t(0));
        return rva;
    }

private:
    void appendCodePoint(char32_t value)
    {
        if (value < 0x10000) {
            push(char16_t(value));
        } else if (m_length + 2 <= Capacity) {
            push(char16_t(0xD800 + ((value - 0x10000) >> 10)));
            push(char16_t(0xDC00 + ((value - 0x10000) & 0x3FF)));
        }
    }
    void push(char16_t unit)
    {
        if (m_length < Capacity)
            m_units[m_length++] = unit;
    }

    char16_t m_units[Capacity];
    std::size_t m_length = 0;
};

uint32_t versionPart(const char*& text)
{
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    text = *end == '.' ? end + 1 : end;
    return static_cast<uint32_t>(value);
}

// The system as it is at start-up: what describes it takes calls a fault
// handler must not make.
struct SystemDescription {
    SystemInfo info{};
    Utf16Text<4 * sizeof(utsname::release)> text;
};

const SystemDescription& systemDescription()
{
    static const SystemDescription description = [] {
        SystemDescription system;
        system.info.processorArchitecture = processorArchitecture();
        system.info.numberOfProcessors = static_cast<uint8_t>(std::clamp<long>(sysconf(_SC_NPROCESSORS_ONLN), 1, 255));
        system.info.platformId = kPlatformLinux;
        utsname names{};
        if (uname(&names) == 0) {
            const char* release = names.release;
            system.info.majorVersion = versionPart(release);
            system.info.minorVersion = versionPart(release);
            system.info.buildNumber = versionPart(release);
            for (const char* part : std::initializer_list<const char*>{names.sysname, " ", names.release, " ", names.version, " ", names.machine})
                system.text.appendUtf8(part, std::strlen(part));
        }
        return system;
    }();
    return description;
}

Directory appendSystemInfo(DumpFile& file)
{
    const SystemDescription& system = systemDescription();
    SystemInfo info = system.info;
    info.csdVersionRva = system.text.appendTo(file);
    return Directory{kSystemInfoStream, {sizeof info, file.appendRecord(info)}};
}

Directory appendThreadList(DumpFile& file, uint32_t threadId, const LocationDescriptor& context,
                           const MemoryDescriptor& stack)
{
    const uint32_t count = 1;
    const uint32_t rva = file.appendRecord(count);
    Thread thread{};
    thread.threadId = threadId;
    thread.stack = stack;
    thread.threadContext = context;
    file.appendRecord(thread);
    return Directory{kThreadListStream, {sizeof count + sizeof thread, rva}};
}

// The lines of /proc/self/maps through a fixed buffer; a line longer than
// the caller's room is cut.
class MapsReader {
public:
    MapsReader() : m_descriptor(::open("/proc/self/maps", O_RDONLY | O_CLOEXEC)) {}
    ~MapsReader()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    MapsReader(const MapsReader&) = delete;
    MapsReader& operator=(const MapsReader&) = delete;

    bool nextLine(char* line, std::size_t capacity)
    {
        std::size_t length = 0;
        for (;;) {
            if (m_begin == m_end && !refill())
                break;
            const char letter = m_buffer[m_begin++];
            if (letter == '\n')
                break;
            if (length + 1 < capacity)
                line[length++] = letter;
        }
        line[length] = '\0';
        return length > 0 || m_begin < m_end;
    }

private:
    bool refill()
    {
        if (m_descriptor < 0)
            return false;
        ssize_t count;
        do
            count = ::read(m_descriptor, m_buffer, sizeof m_buffer);
        while (count < 0 && errno == EINTR);
        m_begin = 0;
        m_end = count > 0 ? std::size_t(count) : 0;
        return m_end > 0;
    }

    int m_descriptor;
    char m_buffer[kPageBytes];
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};

// One line of /proc/self/maps: "start-end perms offset device inode path".
struct Mapping {
    uint64_t start = 0;
    uint64_t end = 0;
    bool executable = false;
    const char* path = "";
};

bool parseMapping(const char* line, Mapping& mapping)
{
    char* cursor = nullptr;
    mapping.start = std::strtoull(line, &cursor, 16);
    if (*cursor != '-')
        return false;
    mapping.end = std::strtoull(cursor + 1, &cursor, 16);
    while (*cursor == ' ')
        ++cursor;
    mapping.executable = std::strlen(cursor) > 2 && cursor[2] == 'x';
    for (int field = 0; field < 4 && *cursor != '\0'; ++field) {
        while (*cursor != ' ' && *cursor != '\0')
            ++cursor;
        while (*cursor == ' ')
            ++cursor;
    }
    mapping.path = cursor;
    return true;
}

// The files mapped with code, one module each: the mappings of one file
// (its code, data and read-only parts) make up its extent, anonymous ones
// between them included. Names are appended as they are found, the list
// after them.
class ModuleList {
public:
    explicit ModuleList(DumpFile& file) : m_file(file) {}

    void add(const Mapping& mapping)
    {
        if (mapping.path[0] != '/')
            return;
        if (m_open && std::strcmp(mapping.path, m_path) == 0) {
            m_current.end = std::max(m_current.end, mapping.end);
            m_current.executable = m_current.executable || mapping.executable;
            return;
        }
        close();
        std::strncpy(m_path, mapping.path, sizeof m_path - 1);
        m_path[sizeof m_path - 1] = '\0';
        m_current = Mapping{mapping.start, mapping.end, mapping.executable, m_path};
        m_open = true;
    }

    Directory appendList()
    {
        close();
        const auto count = static_cast<uint32_t>(m_count);
        const uint32_t rva = m_file.appendRecord(count);
        for (std::size_t index = 0; index < m_count; ++index) {
            Module record{};
            record.baseOfImage = m_found[index].start;
            record.sizeOfImage = static_cast<uint32_t>(m_found[index].end - m_found[index].start);
            record.moduleNameRva = m_found[index].nameRva;
            m_file.appendRecord(record);
        }
        return Directory{kModuleListStream, {static_cast<uint32_t>(sizeof count + m_count * sizeof(Module)), rva}};
    }

private:
    struct Found {
        uint64_t start;
        uint64_t end;
        uint32_t nameRva;
    };

    void close()
    {
        const bool kept = m_open && m_current.executable && m_count < kLargestModuleCount;
        m_open = false;
        if (!kept)
            return;
        Utf16Text<kLargestPathBytes> name;
        name.appendUtf8(m_path, std::strlen(m_path));
        m_found[m_count++] = Found{m_current.start, m_current.end, name.appendTo(m_file)};
    }

    DumpFile& m_file;
    Found m_found[kLargestModuleCount];
    std::size_t m_count = 0;
    char m_path[kLargestPathBytes];
    Mapping m_current;
    bool m_open = false;
};

Directory appendModuleList(DumpFile& file)
{
    ModuleList modules(file);
    MapsReader maps;
    char line[kLargestPathBytes + 128];
    Mapping mapping;
    while (maps.nextLine(line, sizeof line))
        if (parseMapping(line, mapping))
            modules.add(mapping);
    return modules.appendList();
}

Directory appendException(DumpFile& file, uint32_t threadId, const KxExceptionPointers& exception,
                          const LocationDescriptor& context)
{
    ExceptionStream stream{};
    stream.threadId = threadId;
    stream.exceptionRecord.exceptionCode = exception.code;
    stream.exceptionRecord.exceptionFlags = exception.flags;
    stream.exceptionRecord.exceptionAddress = exception.address;
    stream.threadContext = context;
    return Directory{kExceptionStream, {sizeof stream, file.appendRecord(stream)}};
}

Directory appendMiscInfo(DumpFile& file)
{
    MiscInfo info{};
    info.sizeOfInfo = sizeof info;
    info.flags1 = kMiscInfoProcessId;
    info.processId = static_cast<uint32_t>(getpid());
    return Directory{kMiscInfoStream, {sizeof info, file.appendRecord(info)}};
}

MemoryDescriptor appendStack(DumpFile& file, const KxStackRange& stack, uint64_t stackPointer)
{
    if (stackPointer < stack.start || stackPointer >= stack.end)
        return MemoryDescriptor{};
    const uint64_t start = std::max(stack.start, (stackPointer - kRedZoneBytes) & ~uint64_t(15));
    const uint64_t end = std::min(stack.end, start + kLargestStackBytes);
    return MemoryDescriptor{start, {static_cast<uint32_t>(end - start), file.appendMemory(start, end - start)}};
}

void writeDump(DumpFile& file, const ucontext_t& context, const KxStackRange& stack,
               const KxExceptionPointers* exception)
{
    const uint32_t streamCount = exception != nullptr ? kLargestStreamCount : kLargestStreamCount - 1;
    const auto threadId = static_cast<uint32_t>(syscall(SYS_gettid));
    Header header{};
    header.signature = kSignature;
    header.version = kVersion;
    header.numberOfStreams = streamCount;
    header.streamDirectoryRva = sizeof header;
    header.timeDateStamp = static_cast<uint32_t>(std::time(nullptr));
    Directory directory[kLargestStreamCount] = {};
    file.appendRecord(header);
    file.append(directory, streamCount * sizeof(Directory));

    uint8_t registers[kContextRecordCapacity];
    const std::size_t registerBytes = threadContext(context, registers);
    const LocationDescriptor contextLocation{static_cast<uint32_t>(registerBytes),
                                             registerBytes == 0 ? 0 : file.append(registers, registerBytes)};
    const MemoryDescriptor stackMemory = appendStack(file, stack, stackPointer(context));

    uint32_t next = 0;
    directory[next++] = appendSystemInfo(file);
    directory[next++] = appendThreadList(file, threadId, contextLocation, stackMemory);
    directory[next++] = appendModuleList(file);
    directory[next++] = appendMiscInfo(file);
    if (exception != nullptr)
        directory[next++] = appendException(file, threadId, *exception, contextLocation);
    file.writeAt(header.streamDirectoryRva, directory, streamCount * sizeof(Directory));
}

// The caller's registers as they are on return from here; its frame and
// those below it stay on the stack the dump copies.
__attribute__((noinline)) void captureOwnContext(ucontext_t& context) { getcontext(&context); }

} // namespace

bool _kx_minidump_available()
{
    utf8Facet();
    systemDescription();
    return true;
}

std::string _kx_minidump_path(const KxString& path) { return nativePath(path); }

void _kx_write_minidump(const char* path, const KxExceptionPointers* exceptionPointers)
{
    ucontext_t ownContext;
    KxStackRange ownStack;
    if (exceptionPointers == nullptr) {
        captureOwnContext(ownContext);
        ownStack = _kx_current_thread_stack();
    }
    // A dump holds the process's memory: its owner's alone. It is always a
    // new file, so nothing at its predictable name (a link, another name of
    // someone's file, a FIFO that would block the fault handler) is written
    // through.
    const int descriptor =
        ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (descriptor < 0)
        return;
    DumpFile file(descriptor);
    if (exceptionPointers != nullptr)
        writeDump(file, *exceptionPointers->context, exceptionPointers->stack, exceptionPointers);
    else
        writeDump(file, ownContext, ownStack, nullptr);
    ::close(descriptor);
}

} // namespace Kavo
