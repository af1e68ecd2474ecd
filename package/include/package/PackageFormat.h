#ifndef TESSIT_PACKAGE_PACKAGEFORMAT_H
#define TESSIT_PACKAGE_PACKAGEFORMAT_H

#include "KxFoundation/KxString.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// How a package lies in the launcher's file: the header with its entry
// table, the data area, the footer and the padding in front of the
// certificate table, and what the locator found of them.

namespace Tessit {

using Kavo::KxString;

// The footer's magic, bytes D1 37 BA FE in the file.
constexpr uint32_t PACKAGE_MAGIC = 0xFEBA37D1u;
constexpr int32_t kMaxEntries = 30;
constexpr size_t kNameSlotUnits = 64;

using NameSlot = std::array<char16_t, kNameSlotUnits>;

// The package header as read from the file.
struct PackageHeader {
    int32_t oemId = 0;
    int32_t count = 0;
    std::vector<int32_t> sizes;
    std::vector<NameSlot> names;
    // Whether entries named like the launcher have their bytes in the data
    // area (they are passed over) or are not stored there at all.
    bool launcherEntriesCarryData = false;

    // Entry `index`'s name: its slot up to the first U+0000, never beyond it.
    KxString name(int32_t index) const;
};

// The launcher's own file name; entries named so are never written.
extern const char16_t* const kLauncherFileName;
// The programs the launcher starts once the entries are written: the
// installer, the main tool, and each control (by its extension).
inline constexpr char16_t kInstallerFileName[] = u"mDNSResponder.exe";
inline constexpr char16_t kMainToolFileName[] = u"QIRA_t.exe";
inline constexpr char16_t kControlExtension[] = u"ocx";

// Where the locator found the package's parts in the file.
struct PackageLocation {
    uint64_t fileLength = 0;
    uint32_t certificateOffset = 0; // as the security directory records it
    uint32_t certificateSize = 0;   // C: the table ends at the end of the file
    int32_t padding = 0;            // P: zero bytes between the footer and the table or the end
    uint32_t footerCandidates = 0;  // places before the table where a footer fits
    uint32_t headerOffset = 0;      // H
    uint64_t slack = 0;             // bytes between the data area and the footer, never read
    bool peImage = false;           // a Windows launcher's: its entries' names are read as Windows reads them
};

// Sizes of the package's fixed parts, in bytes.
constexpr uint32_t kHeaderFixedBytes = 8;                       // OEM number and count
constexpr uint32_t kNameSlotBytes = kNameSlotUnits * 2;
constexpr uint32_t kEntryTableBytes = 4 + kNameSlotBytes;       // one size and one name slot
constexpr uint32_t kFooterBytes = 8;                            // magic and header offset
constexpr uint32_t kPaddingWindowBytes = 16;
constexpr int32_t kMaxPadding = 7;                              // a signer aligns its table to 8 bytes
constexpr uint32_t kMaxNameUnits = kNameSlotUnits - 1;

inline uint64_t headerBytes(int32_t count) { return kHeaderFixedBytes + uint64_t(count) * kEntryTableBytes; }

bool isLauncherEntry(const KxString& name);

// How the entries' bytes lie between the header and the footer.
struct DataArea {
    bool launcherEntriesCarryData; // entries named like the launcher have bytes there
    uint64_t slack;                // bytes after the last entry that no entry reads
};

// Checks that a header read at `headerOffset` describes a package whose data
// area ends at or before the footer found in front of the padding and the
// certificate table: every size 0 or more and every name slot terminated.
// A data area that fills the room exactly tells whether entries named like
// the launcher carry bytes; otherwise they carry none (nothing reads them)
// and what is left before the footer is slack, never read. Nothing when
// the entries do not fit.
std::optional<DataArea> fitDataArea(const PackageHeader& header, const PackageLocation& location);

} // namespace Tessit

#endif
