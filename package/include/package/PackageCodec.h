#ifndef TESSIT_PACKAGE_PACKAGECODEC_H
#define TESSIT_PACKAGE_PACKAGECODEC_H

#include "package/PackageFormat.h"

#include <array>
#include <cstdint>
#include <vector>

namespace Tessit {

// The one place that turns the package's header and footer into bytes and
// back: every integer little-endian and every name a slot of 64 UTF-16LE
// units, whatever the machine. The launcher reads with it, the packer
// writes with it.

// OEM number, count, the sizes, then the name slots.
std::vector<uint8_t> encodeHeader(const PackageHeader& header);

// The sizes (4 bytes each) and name slots of `header.count` entries, as
// they follow the OEM number and the count.
void decodeEntryTable(const uint8_t* sizes, const uint8_t* nameSlots, PackageHeader& header);

using FooterBytes = std::array<uint8_t, kFooterBytes>;

// The magic, then the header's offset.
FooterBytes encodeFooter(uint32_t headerOffset);

// Whether the 4 bytes at `bytes` are the footer's magic.
bool isMagicAt(const uint8_t* bytes);

} // namespace Tessit

#endif
