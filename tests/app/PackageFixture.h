#ifndef TESSIT_TESTS_APP_PACKAGEFIXTURE_H
#define TESSIT_TESTS_APP_PACKAGEFIXTURE_H

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace Tessit {

struct FixtureEntry {
    std::u16string name;
    std::string bytes;
};

// Writes an unsigned launcher file carrying `entries`: a stand-in image,
// the header, the data area and the footer as its last 8 bytes.
inline void writePackageFile(const std::filesystem::path& path, int32_t oemId, const std::vector<FixtureEntry>& entries)
{
    std::string file(256, 'L');
    const auto put32 = [&file](uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            file.push_back(char((value >> shift) & 0xFF));
    };
    const uint32_t headerOffset = uint32_t(file.size());
    put32(uint32_t(oemId));
    put32(uint32_t(entries.size()));
    for (const FixtureEntry& entry : entries)
        put32(uint32_t(entry.bytes.size()));
    for (const FixtureEntry& entry : entries) {
        std::u16string slot = entry.name;
        slot.resize(64, u'\0');
        for (const char16_t unit : slot) {
            file.push_back(char(unit & 0xFF));
            file.push_back(char(unit >> 8));
        }
    }
    for (const FixtureEntry& entry : entries)
        file += entry.bytes;
    put32(0xFEBA37D1u);
    put32(headerOffset);
    std::ofstream(path, std::ios::binary) << file;
}

} // namespace Tessit

#endif
