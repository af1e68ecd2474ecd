#ifndef TESSIT_PACKAGE_PACKAGEFORMAT_H
#define TESSIT_PACKAGE_PACKAGEFORMAT_H

#include "package/LittleEndian.h"
#include "package/Package.h"

#include <cstdint>
#include <optional>

namespace Tessit {

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
