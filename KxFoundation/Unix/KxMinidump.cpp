#include "KxFoundation/KxMinidump.h"

#include "KxFoundation/KxString.h"
#include "KxFoundation/Unix/KxExceptionPointers.h"
#include "KxFoundation/Unix/KxMinidumpContext.h"
#include "KxFoundation/Unix/KxMinidumpFormat.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace Kavo {

namespace {

using namespace minidump;

// Stack kept per thread: from just below the stack pointer (the red zone a
// leaf function may use) up to this many bytes towards the stack's base.
constexpr uint64_t kRedZoneBytes = 128;
constexpr uint64_t kLargestStackBytes = 256 * 1024;

struct MemoryRange {
    uint64_t start = 0;
    uint64_t end = 0;
};

struct ModuleImage {
    std::string path;
    MemoryRange range;
    bool executable = false;
};

// The file as it is laid out: records are appended, and their RVA is their
// offset. What a record points at is appended before it.
class DumpImage {
public:
    uint32_t append(const void* data, std::size_t size)
    {
        const auto rva = static_cast<uint32_t>(m_bytes.size());
        const auto* bytes = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), bytes, bytes + size);
        return rva;
    }
    template <typename Record>
    uint32_t appendRecord(const Record& record)
    {
        return append(&record, sizeof record);
    }
    // A length-prefixed UTF-16 string with its terminator.
    uint32_t appendString(const std::u16string& text)
    {
        const auto length = static_cast<uint32_t>(text.size() * sizeof(char16_t));
        const uint32_t rva = append(&length, sizeof length);
        append(text.c_str(), length + sizeof(char16_t));
        return rva;
    }
    uint32_t size() const { return static_cast<uint32_t>(m_bytes.size()); }
    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

std::u16string toUtf16(const std::string& text)
{
    return std::u16string(KxString(text.c_str()).c_str());
}

// Stack memory is read as raw bytes: the instrumentation of a sanitised
// build must not see it as an access to the frames' local variables.
__attribute__((no_sanitize("address"))) void copyStackBytes(uint8_t* destination, const uint8_t* source,
                                                           std::size_t count)
{
    const volatile uint8_t* from = source;
    for (std::size_t index = 0; index < count; ++index)
        destination[index] = from[index];
}

// The main thread's stack holds the arguments and the environment above
// its first frame; they stay out of the dump.
extern "C" void* __libc_stack_end;

MemoryRange currentThreadStack()
{
    MemoryRange range;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return range;
    void* lowest = nullptr;
    std::size_t size = 0;
    if (pthread_attr_getstack(&attributes, &lowest, &size) == 0) {
        range.start = reinterpret_cast<uintptr_t>(lowest);
        range.end = range.start + size;
    }
    const auto firstFrame = reinterpret_cast<uintptr_t>(__libc_stack_end);
    if (range.start < firstFrame && firstFrame < range.end)
        range.end = firstFrame;
    pthread_attr_destroy(&attributes);
    return range;
}

// The files of /proc/self/maps that are mapped with code, one module each,
// spanning all of that file's mappings.
std::vector<ModuleImage> loadedModules()
{
    std::vector<ModuleImage> images;
    std::map<std::string, std::size_t> indexOfPath;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::string addresses, permissions, offset, device, inode, path;
        fields >> addresses >> permissions >> offset >> device >> inode;
        std::getline(fields >> std::ws, path);
        if (path.empty() || path.front() != '/')
            continue;
        const std::size_t dash = addresses.find('-');
        const MemoryRange range{std::stoull(addresses.substr(0, dash), nullptr, 16),
                                std::stoull(addresses.substr(dash + 1), nullptr, 16)};
        const auto known = indexOfPath.emplace(path, images.size());
        if (known.second)
            images.push_back(ModuleImage{path, range});
        ModuleImage& image = images[known.first->second];
        image.range.start = std::min(image.range.start, range.start);
        image.range.end = std::max(image.range.end, range.end);
        image.executable = image.executable || permissions.find('x') != std::string::npos;
    }
    std::vector<ModuleImage> modules;
    std::copy_if(images.begin(), images.end(), std::back_inserter(modules),
                 [](const ModuleImage& image) { return image.executable; });
    return modules;
}

uint32_t versionPart(const char*& text)
{
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    text = *end == '.' ? end + 1 : end;
    return static_cast<uint32_t>(value);
}

Directory appendSystemInfo(DumpImage& image)
{
    SystemInfo info{};
    info.processorArchitecture = processorArchitecture();
    info.numberOfProcessors = static_cast<uint8_t>(std::clamp<long>(sysconf(_SC_NPROCESSORS_ONLN), 1, 255));
    info.platformId = kPlatformLinux;
    utsname system{};
    std::string description;
    if (uname(&system) == 0) {
        const char* release = system.release;
        info.majorVersion = versionPart(release);
        info.minorVersion = versionPart(release);
        info.buildNumber = versionPart(release);
        description = std::string(system.sysname) + " " + system.release + " " + system.version + " " + system.machine;
    }
    info.csdVersionRva = image.appendString(toUtf16(description));
    return Directory{kSystemInfoStream, {sizeof info, image.appendRecord(info)}};
}

Directory appendThreadList(DumpImage& image, uint32_t threadId, const LocationDescriptor& context,
                           const MemoryDescriptor& stack)
{
    const uint32_t count = 1;
    const uint32_t rva = image.appendRecord(count);
    Thread thread{};
    thread.threadId = threadId;
    thread.stack = stack;
    thread.threadContext = context;
    image.appendRecord(thread);
    return Directory{kThreadListStream, {sizeof count + sizeof thread, rva}};
}

Directory appendModuleList(DumpImage& image, const std::vector<ModuleImage>& modules)
{
    std::vector<Module> records(modules.size());
    for (std::size_t index = 0; index < modules.size(); ++index) {
        records[index].baseOfImage = modules[index].range.start;
        records[index].sizeOfImage = static_cast<uint32_t>(modules[index].range.end - modules[index].range.start);
        records[index].moduleNameRva = image.appendString(toUtf16(modules[index].path));
    }
    const auto count = static_cast<uint32_t>(records.size());
    const uint32_t rva = image.appendRecord(count);
    image.append(records.data(), records.size() * sizeof(Module));
    return Directory{kModuleListStream, {static_cast<uint32_t>(sizeof count + records.size() * sizeof(Module)), rva}};
}

Directory appendException(DumpImage& image, uint32_t threadId, const siginfo_t& info,
                          const LocationDescriptor& context)
{
    ExceptionStream stream{};
    stream.threadId = threadId;
    stream.exceptionRecord.exceptionCode = static_cast<uint32_t>(info.si_signo);
    stream.exceptionRecord.exceptionFlags = static_cast<uint32_t>(info.si_code);
    stream.exceptionRecord.exceptionAddress = reinterpret_cast<uintptr_t>(info.si_addr);
    stream.threadContext = context;
    return Directory{kExceptionStream, {sizeof stream, image.appendRecord(stream)}};
}

Directory appendMiscInfo(DumpImage& image)
{
    MiscInfo info{};
    info.sizeOfInfo = sizeof info;
    info.flags1 = kMiscInfoProcessId;
    info.processId = static_cast<uint32_t>(getpid());
    return Directory{kMiscInfoStream, {sizeof info, image.appendRecord(info)}};
}

MemoryDescriptor appendStack(DumpImage& image, uint64_t stackPointer)
{
    const MemoryRange stack = currentThreadStack();
    if (stackPointer < stack.start || stackPointer >= stack.end)
        return MemoryDescriptor{};
    const uint64_t start = std::max(stack.start, (stackPointer - kRedZoneBytes) & ~uint64_t(15));
    const uint64_t end = std::min(stack.end, start + kLargestStackBytes);
    const auto size = static_cast<std::size_t>(end - start);
    std::vector<uint8_t>& bytes = image.bytes();
    const uint32_t rva = image.size();
    bytes.resize(bytes.size() + size);
    copyStackBytes(bytes.data() + rva, reinterpret_cast<const uint8_t*>(start), size);
    return MemoryDescriptor{start, {static_cast<uint32_t>(size), rva}};
}

std::vector<uint8_t> buildDump(const ucontext_t& context, const siginfo_t* exception)
{
    constexpr uint32_t kStreamCount = 4;
    const uint32_t streamCount = kStreamCount + (exception != nullptr ? 1 : 0);
    const auto threadId = static_cast<uint32_t>(syscall(SYS_gettid));

    DumpImage image;
    Header header{};
    header.signature = kSignature;
    header.version = kVersion;
    header.numberOfStreams = streamCount;
    header.streamDirectoryRva = sizeof header;
    header.timeDateStamp = static_cast<uint32_t>(std::time(nullptr));
    image.appendRecord(header);
    std::vector<Directory> directory(streamCount);
    image.append(directory.data(), directory.size() * sizeof(Directory));

    const std::vector<uint8_t> registers = threadContext(context);
    const LocationDescriptor contextLocation{static_cast<uint32_t>(registers.size()),
                                             registers.empty() ? 0 : image.append(registers.data(), registers.size())};
    const MemoryDescriptor stack = appendStack(image, stackPointer(context));

    std::size_t next = 0;
    directory[next++] = appendSystemInfo(image);
    directory[next++] = appendThreadList(image, threadId, contextLocation, stack);
    directory[next++] = appendModuleList(image, loadedModules());
    directory[next++] = appendMiscInfo(image);
    if (exception != nullptr)
        directory[next++] = appendException(image, threadId, *exception, contextLocation);
    std::memcpy(image.bytes().data() + header.streamDirectoryRva, directory.data(),
                directory.size() * sizeof(Directory));
    return std::move(image.bytes());
}

void writeWhole(int descriptor, const std::vector<uint8_t>& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (result <= 0)
            return;
        written += static_cast<std::size_t>(result);
    }
}

// The caller's registers as they are on return from here; its frame and
// those below it stay on the stack the dump copies.
__attribute__((noinline)) void captureOwnContext(ucontext_t& context) { getcontext(&context); }

} // namespace

bool _kx_minidump_available() { return true; }

void _kx_write_minidump(const KxString& path, const KxExceptionPointers* exceptionPointers)
{
    ucontext_t ownContext;
    if (exceptionPointers == nullptr)
        captureOwnContext(ownContext);
    const std::vector<uint8_t> bytes = exceptionPointers != nullptr
        ? buildDump(*exceptionPointers->context, exceptionPointers->info)
        : buildDump(ownContext, nullptr);
    const int descriptor = ::open(_kx_native_path(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return;
    writeWhole(descriptor, bytes);
    ::close(descriptor);
}

} // namespace Kavo
