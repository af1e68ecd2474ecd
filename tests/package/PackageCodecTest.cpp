#include "KxTestPrinting.h"
#include "PackageFixture.h"

#include "package/PackageCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessit;

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

} // namespace

// The codec writes the header and footer exactly as the fixture lays them
// out byte by byte, and reads the entry table back from those bytes.
TEST(PackageCodec, MatchesTheLayoutByteForByte)
{
    PackageLayout layout;
    layout.oemId = -5;
    layout.entries = {{u"QIRA_t.exe", "main", {}, true},
                      {u"docs\\\u00FCber.txt", "", {}, true},
                      {std::u16string(63, u'n'), "x", {}, true}};
    PackageRegions regions;
    const std::string file = buildPackage(layout, &regions);
    const std::vector<uint8_t> headerBytes = bytesOf(file.substr(regions.header, regions.data - regions.header));
    const std::vector<uint8_t> footerBytes = bytesOf(file.substr(regions.footer, kFooterBytes));

    PackageHeader header;
    header.oemId = layout.oemId;
    header.count = int32_t(layout.entries.size());
    const size_t sizesAt = kHeaderFixedBytes;
    const size_t namesAt = sizesAt + 4 * layout.entries.size();
    decodeEntryTable(&headerBytes[sizesAt], &headerBytes[namesAt], header);

    EXPECT_EQ(header.sizes, (std::vector<int32_t>{4, 0, 1}));
    for (size_t entry = 0; entry < layout.entries.size(); ++entry)
        EXPECT_EQ(header.name(int32_t(entry)), Kavo::KxString(layout.entries[entry].name.c_str()));
    EXPECT_EQ(encodeHeader(header), headerBytes);
    const FooterBytes footer = encodeFooter(uint32_t(regions.header));
    EXPECT_EQ(std::vector<uint8_t>(footer.begin(), footer.end()), footerBytes);
    EXPECT_TRUE(isMagicAt(footer.data()));
    EXPECT_FALSE(isMagicAt(footer.data() + 4));
}
