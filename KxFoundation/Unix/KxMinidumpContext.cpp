#include "Unix/KxMinidumpContext.h"

#include <cstring>

namespace Kavo::minidump {

#if defined(__x86_64__)

namespace {

constexpr uint16_t kArchitectureAmd64 = 9;
constexpr uint32_t kContextAmd64 = 0x00100000;
constexpr uint32_t kControl = kContextAmd64 | 0x1;
constexpr uint32_t kInteger = kContextAmd64 | 0x2;
constexpr uint32_t kSegments = kContextAmd64 | 0x4;
constexpr uint32_t kFloatingPoint = kContextAmd64 | 0x8;

#pragma pack(push, 4)
struct ContextAmd64 {
    uint64_t parameterHome[6];
    uint32_t contextFlags;
    uint32_t mxCsr;
    uint16_t segCs, segDs, segEs, segFs, segGs, segSs;
    uint32_t eFlags;
    uint64_t debugRegisters[6];
    uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi;
    uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    uint64_t rip;
    uint8_t floatingPointSave[512];
    uint8_t vectorRegisters[26 * 16];
    uint64_t vectorControl;
    uint64_t debugControl;
    uint64_t lastBranchToRip;
    uint64_t lastBranchFromRip;
    uint64_t lastExceptionToRip;
    uint64_t lastExceptionFromRip;
};
#pragma pack(pop)
static_assert(sizeof(ContextAmd64) == kContextRecordCapacity);

// The MXCSR register's place in the FXSAVE area.
constexpr std::size_t kMxCsrOffset = 24;

} // namespace

uint16_t processorArchitecture() { return kArchitectureAmd64; }

std::size_t threadContext(const ucontext_t& context, uint8_t (&bytes)[kContextRecordCapacity])
{
    const greg_t* registers = context.uc_mcontext.gregs;
    ContextAmd64 record{};
    record.contextFlags = kControl | kInteger | kSegments;
    record.segCs = static_cast<uint16_t>(registers[REG_CSGSFS] & 0xFFFF);
    record.segGs = static_cast<uint16_t>((registers[REG_CSGSFS] >> 16) & 0xFFFF);
    record.segFs = static_cast<uint16_t>((registers[REG_CSGSFS] >> 32) & 0xFFFF);
    record.eFlags = static_cast<uint32_t>(registers[REG_EFL]);
    record.rax = registers[REG_RAX];
    record.rcx = registers[REG_RCX];
    record.rdx = registers[REG_RDX];
    record.rbx = registers[REG_RBX];
    record.rsp = registers[REG_RSP];
    record.rbp = registers[REG_RBP];
    record.rsi = registers[REG_RSI];
    record.rdi = registers[REG_RDI];
    record.r8 = registers[REG_R8];
    record.r9 = registers[REG_R9];
    record.r10 = registers[REG_R10];
    record.r11 = registers[REG_R11];
    record.r12 = registers[REG_R12];
    record.r13 = registers[REG_R13];
    record.r14 = registers[REG_R14];
    record.r15 = registers[REG_R15];
    record.rip = registers[REG_RIP];
    if (context.uc_mcontext.fpregs != nullptr) {
        record.contextFlags |= kFloatingPoint;
        std::memcpy(record.floatingPointSave, context.uc_mcontext.fpregs, sizeof record.floatingPointSave);
        std::memcpy(&record.mxCsr, record.floatingPointSave + kMxCsrOffset, sizeof record.mxCsr);
    }
    std::memcpy(bytes, &record, sizeof record);
    return sizeof record;
}

uint64_t stackPointer(const ucontext_t& context) { return context.uc_mcontext.gregs[REG_RSP]; }
uint64_t instructionPointer(const ucontext_t& context) { return context.uc_mcontext.gregs[REG_RIP]; }

#else

// No context record is written for this processor: the dump still holds the
// system, the modules and the exception.
uint16_t processorArchitecture() { return 0xFFFF; }
std::size_t threadContext(const ucontext_t&, uint8_t (&)[kContextRecordCapacity]) { return 0; }
uint64_t stackPointer(const ucontext_t&) { return 0; }
uint64_t instructionPointer(const ucontext_t&) { return 0; }

#endif

} // namespace Kavo::minidump
