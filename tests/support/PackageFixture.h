#ifndef TESSIT_TESTS_SUPPORT_PACKAGEFIXTURE_H
#define TESSIT_TESTS_SUPPORT_PACKAGEFIXTURE_H

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Tessit {

// Executable files laid out byte by byte as a packer and a signer leave
// them, written independently of the locator they test.

enum class PeKind { Pe32, Pe32Plus };

inline void putLittleEndian(std::string& bytes, size_t at, uint32_t value, int width = 4)
{
    for (int index = 0; index < width; ++index)
        bytes[at + size_t(index)] = char(value >> (8 * index));
}

inline uint32_t getLittleEndian(const std::string& bytes, size_t at, int width = 4)
{
    uint32_t value = 0;
    for (int index = width - 1; index >= 0; --index)
        value = value << 8 | uint8_t(bytes[at + size_t(index)]);
    return value;
}

// The smallest headers a loader would look at: DOS header, PE signature,
// file header and an optional header with its sixteen data directories.
inline std::string minimalPe(PeKind kind)
{
    std::string image(512, '\0');
    image[0] = 'M', image[1] = 'Z';
    putLittleEndian(image, 0x3C, 0x40);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    const bool plus = kind == PeKind::Pe32Plus;
    putLittleEndian(image, 0x44, plus ? 0x8664 : 0x14C, 2);
    putLittleEndian(image, 0x54, plus ? 240 : 224, 2);
    putLittleEndian(image, 0x58, plus ? 0x20B : 0x10B, 2);
    putLittleEndian(image, 0x58 + (plus ? 108 : 92), 16);
    return image;
}

// Where the security directory entry of a PE image lies.
inline size_t securityEntryOffset(const std::string& image)
{
    const size_t optionalHeader = getLittleEndian(image, 0x3C) + 24;
    return optionalHeader + (getLittleEndian(image, optionalHeader, 2) == 0x20B ? 144 : 128);
}

struct FixtureEntry {
    FixtureEntry(std::u16string name, std::string data, std::optional<int32_t> recordedSize = std::nullopt,
                 bool dataStored = true)
        : name(std::move(name)), data(std::move(data)), recordedSize(recordedSize), dataStored(dataStored)
    {
    }

    std::u16string name;
    std::string data;
    std::optional<int32_t> recordedSize; // a size that differs from the data's
    bool dataStored;
};

struct PackageLayout {
    std::string image = minimalPe(PeKind::Pe32);
    int32_t oemId = 7;
    std::optional<int32_t> recordedCount;
    std::vector<FixtureEntry> entries;
    uint32_t padding = 0;
    uint32_t certificateSize = 0; // signed when not 0
    bool terminateNames = true;
};

// Offsets of the regions of a built file.
struct PackageRegions {
    size_t header, data, footer, padding, certificate, end;
};

inline std::string nameSlot(const std::u16string& name, bool terminate)
{
    std::string slot(128, '\0');
    for (size_t unit = 0; unit < 64; ++unit) {
        const char16_t value = unit < name.size() ? name[unit] : (terminate ? u'\0' : u'x');
        slot[2 * unit] = char(value & 0xFF);
        slot[2 * unit + 1] = char(value >> 8);
    }
    return slot;
}

inline std::string buildPackage(const PackageLayout& layout, PackageRegions* regions = nullptr)
{
    std::string file = layout.image;
    const size_t header = file.size();
    std::string word(4, '\0');
    putLittleEndian(word, 0, uint32_t(layout.oemId));
    file += word;
    putLittleEndian(word, 0, uint32_t(layout.recordedCount.value_or(int32_t(layout.entries.size()))));
    file += word;
    for (const FixtureEntry& entry : layout.entries) {
        putLittleEndian(word, 0, uint32_t(entry.recordedSize.value_or(int32_t(entry.data.size()))));
        file += word;
    }
    for (const FixtureEntry& entry : layout.entries)
        file += nameSlot(entry.name, layout.terminateNames);
    const size_t data = file.size();
    for (const FixtureEntry& entry : layout.entries)
        if (entry.dataStored)
            file += entry.data;
    const size_t footer = file.size();
    putLittleEndian(word, 0, 0xFEBA37D1u);
    file += word;
    putLittleEndian(word, 0, uint32_t(header));
    file += word;
    const size_t padding = file.size();
    file += std::string(layout.padding, '\0');
    const size_t certificate = file.size();
    if (layout.certificateSize != 0) {
        file += std::string(layout.certificateSize, '\xC5');
        putLittleEndian(file, securityEntryOffset(file), uint32_t(certificate));
        putLittleEndian(file, securityEntryOffset(file) + 4, layout.certificateSize);
    }
    if (regions)
        *regions = PackageRegions{header, data, footer, padding, certificate, file.size()};
    return file;
}

inline std::string littleEndianWord(uint32_t value)
{
    std::string bytes(4, '\0');
    putLittleEndian(bytes, 0, value);
    return bytes;
}

inline std::string packageMagic() { return littleEndianWord(0xFEBA37D1u); }

// A package of its own, whose header sits at file offset `at` and whose
// footer names it: carried at the end of an entry that starts at `at`, it
// is what a locator taking the earliest magic would open.
inline std::string hiddenPackage(size_t at)
{
    PackageLayout hidden;
    hidden.image = std::string(at, '\0');
    hidden.oemId = 666;
    hidden.entries = {{u"QIRA_t.exe", "hidden main tool", {}, true}};
    return buildPackage(hidden).substr(at);
}

// Writes an unsigned launcher file carrying `entries`: a stand-in image,
// the header, the data area and the footer as its last 8 bytes.
inline void writePackageFile(const std::filesystem::path& path, int32_t oemId, const std::vector<FixtureEntry>& entries)
{
    PackageLayout layout;
    layout.image = std::string(256, 'L');
    layout.oemId = oemId;
    layout.entries = entries;
    std::ofstream(path, std::ios::binary) << buildPackage(layout);
}

inline std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

} // namespace Tessit

#endif
