#ifndef TESSIT_TESTS_KXMINIDUMPREADER_H
#define TESSIT_TESTS_KXMINIDUMPREADER_H

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Kavo {

// Reads an MDMP file by the offsets the format fixes, independently of any
// writer's own record definitions.
class KxMinidumpReader {
public:
    struct Location {
        uint32_t size = 0;
        uint32_t rva = 0;
    };
    struct Thread {
        uint32_t id = 0;
        uint64_t stackStart = 0;
        Location stack;
        Location context;
    };
    struct Exception {
        uint32_t threadId = 0;
        uint32_t code = 0;
        uint64_t address = 0;
        Location context;
    };

    static constexpr uint32_t kAmd64ContextBytes = 1232;
    static constexpr uint32_t kThreadList = 3;
    static constexpr uint32_t kModuleList = 4;
    static constexpr uint32_t kException = 6;
    static constexpr uint32_t kSystemInfo = 7;

    explicit KxMinidumpReader(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        m_bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        if (m_bytes.size() < 32)
            throw std::runtime_error("shorter than a minidump header");
        const uint32_t count = read<uint32_t>(8);
        const uint32_t directory = read<uint32_t>(12);
        for (uint32_t index = 0; index < count; ++index) {
            const uint32_t entry = directory + index * 12;
            m_streams[read<uint32_t>(entry)] = location(entry + 4);
        }
    }

    uint32_t signature() const { return read<uint32_t>(0); }
    uint16_t version() const { return read<uint16_t>(4); }
    bool hasStream(uint32_t type) const { return m_streams.count(type) != 0; }

    static constexpr uint32_t kPlatformLinux = 0x8201;
    uint32_t platformId() const { return read<uint32_t>(stream(kSystemInfo).rva + 20); }

    std::vector<Thread> threads() const
    {
        const uint32_t list = stream(kThreadList).rva;
        std::vector<Thread> threads(read<uint32_t>(list));
        for (std::size_t index = 0; index < threads.size(); ++index) {
            const uint32_t entry = list + 4 + static_cast<uint32_t>(index) * 48;
            threads[index] = Thread{read<uint32_t>(entry), read<uint64_t>(entry + 24), location(entry + 32),
                                    location(entry + 40)};
        }
        return threads;
    }

    std::vector<std::u16string> moduleNames() const
    {
        const uint32_t list = stream(kModuleList).rva;
        std::vector<std::u16string> names(read<uint32_t>(list));
        for (std::size_t index = 0; index < names.size(); ++index)
            names[index] = string(read<uint32_t>(list + 4 + static_cast<uint32_t>(index) * 108 + 20));
        return names;
    }

    std::optional<Exception> exception() const
    {
        if (!hasStream(kException))
            return std::nullopt;
        const uint32_t at = stream(kException).rva;
        return Exception{read<uint32_t>(at), read<uint32_t>(at + 8), read<uint64_t>(at + 24), location(at + 160)};
    }

    std::size_t size() const { return m_bytes.size(); }

    // The instruction and stack pointers of a context record: AMD64 (1232
    // bytes) or x86 (716 bytes).
    uint64_t instructionPointer(Location context) const
    {
        return context.size == kAmd64ContextBytes ? read<uint64_t>(context.rva + 0xF8) : read<uint32_t>(context.rva + 0xB8);
    }
    uint64_t stackPointer(Location context) const
    {
        return context.size == kAmd64ContextBytes ? read<uint64_t>(context.rva + 0x98) : read<uint32_t>(context.rva + 0xC4);
    }

    // The pointer-sized words of the dumped stack memory from `address` up,
    // as far as the thread's stack that holds it was dumped; `wordBytes` is
    // 8 for AMD64 contexts and 4 for x86 ones.
    std::vector<uint64_t> stackWordsFrom(uint64_t address, std::size_t wordBytes) const
    {
        std::vector<uint64_t> words;
        for (const Thread& thread : threads()) {
            if (address < thread.stackStart || address >= thread.stackStart + thread.stack.size)
                continue;
            for (uint64_t at = address; at + wordBytes <= thread.stackStart + thread.stack.size; at += wordBytes) {
                const uint64_t offset = thread.stack.rva + (at - thread.stackStart);
                words.push_back(wordBytes == 8 ? read<uint64_t>(offset) : read<uint32_t>(offset));
            }
        }
        return words;
    }
    static std::size_t wordBytesOf(Location context) { return context.size == kAmd64ContextBytes ? 8 : 4; }

private:
    template <typename Value>
    Value read(uint64_t offset) const
    {
        if (offset + sizeof(Value) > m_bytes.size())
            throw std::out_of_range("minidump read past its end");
        Value value;
        std::memcpy(&value, m_bytes.data() + offset, sizeof value);
        return value;
    }
    Location location(uint32_t offset) const { return Location{read<uint32_t>(offset), read<uint32_t>(offset + 4)}; }
    Location stream(uint32_t type) const { return m_streams.at(type); }
    std::u16string string(uint32_t rva) const
    {
        const uint32_t bytes = read<uint32_t>(rva);
        std::u16string text(bytes / 2, u'\0');
        for (uint32_t index = 0; index < bytes / 2; ++index)
            text[index] = read<char16_t>(rva + 4 + index * 2);
        return text;
    }

    std::vector<uint8_t> m_bytes;
    std::map<uint32_t, Location> m_streams;
};

} // namespace Kavo

#endif
