#include "KxMemoryArchive.h"
#include "KxTestPrinting.h"

#include "KxFoundation/KxException.h"
#include "KxFoundation/KxMemoryStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Kavo;

namespace {

std::vector<uint8_t> contentOf(const KxMemoryStream& stream)
{
    return std::vector<uint8_t>(stream.buffer(), stream.buffer() + stream.length());
}

void openStream(KxMemoryStream& stream) { stream.init(16, true, 0, false, 0); }

KxString repeated(char16_t unit, std::size_t count)
{
    const std::u16string units(count, unit);
    return KxString(units.c_str());
}

} // namespace

TEST(KxStringSerialisation, StreamRecordIsByteCountThenUtf8)
{
    struct Case { KxString text; std::vector<uint8_t> record; };
    for (const Case& c : std::vector<Case>{
             {u"abc", {3, 0, 'a', 'b', 'c'}},
             {u"", {0, 0}},
             {u"\u00E9\u20AC", {5, 0, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}},
         }) {
        KxString text = c.text;
        KxMemoryStream stream;
        openStream(stream);
        text.writeToStream(stream);
        EXPECT_EQ(contentOf(stream), c.record) << testing::PrintToString(c.text);

        KxString readBack(u"previous");
        stream.setPosition(0);
        readBack.readFromStream(stream);
        EXPECT_EQ(readBack, c.text);
        EXPECT_EQ(stream.remaining(), 0u);
    }
}

TEST(KxStringSerialisation, StreamRecordRefusesFormsBeyondItsCount)
{
    KxString largest = repeated(u'a', 65535);
    KxMemoryStream stream;
    openStream(stream);
    largest.writeToStream(stream);
    stream.setPosition(0);
    KxString readBack;
    readBack.readFromStream(stream);
    EXPECT_EQ(readBack, largest);

    // 21846 three-byte units: fewer units than the count allows, more bytes.
    for (KxString tooLong : {repeated(u'a', 65536), repeated(u'\u20AC', 21846)}) {
        KxMemoryStream target;
        openStream(target);
        try {
            tooLong.writeToStream(target);
            ADD_FAILURE() << "a form of " << tooLong.toNarrow().size() << " bytes was written";
        } catch (const KxRangeException& exception) {
            EXPECT_EQ(exception.where, KxString(u"KxString::writeToStream()"));
            EXPECT_EQ(exception.range().upper, 65535);
            EXPECT_EQ(exception.range().value, static_cast<int32_t>(tooLong.toNarrow().size()));
        }
        EXPECT_EQ(target.length(), 0u);
    }
}

TEST(KxStringSerialisation, FailedStreamReads)
{
    KxString text(u"kept");
    KxMemoryStream noCount;
    EXPECT_THROW(text.readFromStream(noCount), KxRangeException);
    EXPECT_EQ(text, KxString(u"kept"));

    // The count promises five bytes the stream cannot give.
    KxMemoryStream shortRecord;
    shortRecord.init(2, false, 0, true, 0);
    shortRecord.writeUInt16(5);
    shortRecord.setPosition(0);
    EXPECT_THROW(text.readFromStream(shortRecord), KxRangeException);
    EXPECT_EQ(text, KxString());
}

TEST(KxStringSerialisation, ArchiveRecordSplitsLongFormsIntoThreeItems)
{
    struct Case { std::size_t bytes; uint16_t head; std::size_t item2; std::size_t item3; };
    for (const Case& c : std::vector<Case>{{0, 0, 0, 0}, {3, 3, 3, 0}, {65535, 65535, 65535, 0}, {65536, 65535, 65535, 1},
                                           {70000, 65535, 65535, 4465}}) {
        SCOPED_TRACE(c.bytes);
        std::u16string units;
        for (std::size_t i = 0; i < c.bytes; ++i)
            units.push_back(static_cast<char16_t>(u'a' + i % 26));
        KxString text(units.c_str());
        KxMemoryArchive archive;
        text.writeToArchive(archive);

        EXPECT_EQ(archive.items.at(1), (std::vector<uint8_t>{uint8_t(c.head & 0xFF), uint8_t(c.head >> 8)}));
        EXPECT_EQ(archive.items.count(2) ? archive.items.at(2).size() : 0u, c.item2);
        EXPECT_EQ(archive.items.count(3) ? archive.items.at(3).size() : 0u, c.item3);
        EXPECT_EQ(archive.items.size(), 1u + (c.item2 > 0) + (c.item3 > 0));
        for (const auto& name : archive.names)
            EXPECT_EQ(name.second, KxString());

        KxString readBack(u"previous");
        readBack.readFromArchive(archive);
        EXPECT_EQ(readBack, text);
    }
}

TEST(KxStringSerialisation, TreedArchiveKeepsOneStringItem)
{
    KxMemoryTreedArchive archive;
    KxString text(u"tree\u00E9");
    text.writeToArchive(archive);
    EXPECT_TRUE(archive.items.empty());
    EXPECT_EQ(archive.strings.at(2), text);

    KxString readBack(u"previous");
    readBack.readFromArchive(archive);
    EXPECT_EQ(readBack, text);

    archive.currentItem = &readBack;
    readBack.readFromArchive(archive);
    EXPECT_EQ(readBack, text);
}

TEST(KxExceptionSerialisation, OnlyWhereAndCodeTravel)
{
    KxRangeException source(u"KxString::substring()", KxRange{0, 4, 7});
    source.code = -2;
    KxMemoryStream stream;
    openStream(stream);
    source.writeToStream(stream);
    std::vector<uint8_t> expected{21, 0};
    for (char byte : std::string("KxString::substring()"))
        expected.push_back(static_cast<uint8_t>(byte));
    for (uint8_t byte : {0xFE, 0xFF, 0xFF, 0xFF})
        expected.push_back(byte);
    EXPECT_EQ(contentOf(stream), expected);

    KxRangeException target(u"other", KxRange{1, 2, 3});
    stream.setPosition(0);
    target.readFromStream(stream);
    EXPECT_EQ(target.where, source.where);
    EXPECT_EQ(target.code, -2);
    EXPECT_EQ(target.toString(), KxString(u"\"KxString::substring()\", 3 in [1, 2]"));

    KxException plain(u"KxMemoryStream::init()", 42, reinterpret_cast<void*>(0x1234));
    KxMemoryArchive archive;
    plain.writeToArchive(archive);
    EXPECT_EQ(archive.strings.at(1), KxString(u"KxMemoryStream::init()"));
    EXPECT_EQ(archive.items.at(2), (std::vector<uint8_t>{42, 0, 0, 0}));
    EXPECT_EQ(archive.names.at(1), KxString());
    EXPECT_EQ(archive.names.at(2), KxString());

    KxBadCastException cast(u"x", 0, reinterpret_cast<void*>(0x99));
    cast.readFromArchive(archive);
    EXPECT_EQ(cast.where, plain.where);
    EXPECT_EQ(cast.code, 42);
    EXPECT_EQ(cast.detail, reinterpret_cast<void*>(0x99));
}
