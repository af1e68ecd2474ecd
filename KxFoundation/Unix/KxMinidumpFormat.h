#ifndef KAVO_UNIX_KXMINIDUMPFORMAT_H
#define KAVO_UNIX_KXMINIDUMPFORMAT_H

#include <cstdint>

// The records of the MDMP minidump format, little-endian and laid out as
// the format fixes them (4-byte packing).
namespace Kavo::minidump {

constexpr uint32_t kSignature = 0x504D444D; // "MDMP"
constexpr uint32_t kVersion = 0xA793;

enum StreamType : uint32_t {
    kThreadListStream = 3,
    kModuleListStream = 4,
    kExceptionStream = 6,
    kSystemInfoStream = 7,
    kMiscInfoStream = 15,
};

constexpr uint32_t kPlatformLinux = 0x8201;
constexpr uint32_t kMiscInfoProcessId = 0x1;

#pragma pack(push, 4)

struct LocationDescriptor {
    uint32_t dataSize;
    uint32_t rva;
};

struct MemoryDescriptor {
    uint64_t startOfMemoryRange;
    LocationDescriptor memory;
};

struct Header {
    uint32_t signature;
    uint32_t version;
    uint32_t numberOfStreams;
    uint32_t streamDirectoryRva;
    uint32_t checkSum;
    uint32_t timeDateStamp;
    uint64_t flags;
};

struct Directory {
    uint32_t streamType;
    LocationDescriptor location;
};

struct SystemInfo {
    uint16_t processorArchitecture;
    uint16_t processorLevel;
    uint16_t processorRevision;
    uint8_t numberOfProcessors;
    uint8_t productType;
    uint32_t majorVersion;
    uint32_t minorVersion;
    uint32_t buildNumber;
    uint32_t platformId;
    uint32_t csdVersionRva;
    uint16_t suiteMask;
    uint16_t reserved2;
    uint64_t processorFeatures[3];
};

struct Thread {
    uint32_t threadId;
    uint32_t suspendCount;
    uint32_t priorityClass;
    uint32_t priority;
    uint64_t teb;
    MemoryDescriptor stack;
    LocationDescriptor threadContext;
};

struct FixedFileInfo {
    uint32_t fields[13];
};

struct Module {
    uint64_t baseOfImage;
    uint32_t sizeOfImage;
    uint32_t checkSum;
    uint32_t timeDateStamp;
    uint32_t moduleNameRva;
    FixedFileInfo versionInfo;
    LocationDescriptor cvRecord;
    LocationDescriptor miscRecord;
    uint64_t reserved0;
    uint64_t reserved1;
};

struct Exception {
    uint32_t exceptionCode;
    uint32_t exceptionFlags;
    uint64_t exceptionRecord;
    uint64_t exceptionAddress;
    uint32_t numberParameters;
    uint32_t unusedAlignment;
    uint64_t exceptionInformation[15];
};

struct ExceptionStream {
    uint32_t threadId;
    uint32_t alignment;
    Exception exceptionRecord;
    LocationDescriptor threadContext;
};

struct MiscInfo {
    uint32_t sizeOfInfo;
    uint32_t flags1;
    uint32_t processId;
    uint32_t processCreateTime;
    uint32_t processUserTime;
    uint32_t processKernelTime;
};

#pragma pack(pop)

static_assert(sizeof(Header) == 32);
static_assert(sizeof(Directory) == 12);
static_assert(sizeof(SystemInfo) == 56);
static_assert(sizeof(Thread) == 48);
static_assert(sizeof(Module) == 108);
static_assert(sizeof(ExceptionStream) == 168);
static_assert(sizeof(MiscInfo) == 24);

} // namespace Kavo::minidump

#endif
