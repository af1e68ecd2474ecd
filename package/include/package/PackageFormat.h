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

// Checks that a header read at `headerOffset` describes a package that ends
// exactly at the footer found before the padding and the certificate table:
// every size 0 or more, every name slot terminated, and the data area
// filling the room between header and footer with or without the bytes of
// entries named like the launcher. Gives whether those bytes are stored;
// nothing when neither layout fits.
std::optional<bool> launcherEntriesCarryData(const PackageHeader& header, const PackageLocation& location);

} // namespace Tessit

#endif
