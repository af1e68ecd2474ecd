#include "KxMemoryArchive.h"
#include "KxTestPrinting.h"

#include "KxFoundation/KxMemoryStream.h"
#include "KxFoundation/KxTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

using namespace Kavo;

namespace {

KxTime timeOf(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second)
{
    KxTime time;
    time.setFields(year, month, day, hour, minute, second);
    return time;
}

// Runs a test under a fixed time zone and puts the previous one back. The
// environment keeps pointing at what putenv was given, so every assignment
// lives until the process ends.
class FixedTimeZone : public testing::Test {
protected:
    void TearDown() override { useTimeZone(m_previous); }

    static void useTimeZone(const std::string& assignment)
    {
        static std::set<std::string> assignments;
        putenv(const_cast<char*>(assignments.insert(assignment).first->c_str()));
        tzset();
    }

private:
    static std::string currentAssignment()
    {
        const char* zone = std::getenv("TZ");
        return std::string("TZ=") + (zone != nullptr ? zone : "");
    }

    std::string m_previous = currentAssignment();
};

using KxTimeZoneTest = FixedTimeZone;

} // namespace

TEST(KxTime, SetFieldsAcceptsOnlyRealDatesFrom1970To2033)
{
    struct Case { int32_t fields[6]; bool valid; };
    for (const Case& c : std::vector<Case>{
             {{2033, 12, 31, 23, 59, 59}, true},
             {{1970, 1, 1, 0, 0, 0}, true},
             {{2034, 1, 1, 0, 0, 0}, false},
             {{1969, 12, 31, 23, 59, 59}, false},
             {{2024, 2, 29, 0, 0, 0}, true},
             {{2000, 2, 29, 0, 0, 0}, true},
             {{2023, 2, 29, 0, 0, 0}, false},
             {{2024, 4, 31, 12, 0, 0}, false},
             {{2024, 4, 30, 24, 0, 0}, false},
             {{2024, 4, 30, 0, 60, 0}, false},
             {{2024, 4, 30, 0, 0, 60}, false},
             {{2024, 0, 1, 0, 0, 0}, false},
             {{2024, 13, 1, 0, 0, 0}, false},
             {{2024, 1, 0, 0, 0, 0}, false},
             {{2024, 1, 1, -1, 0, 0}, false},
         }) {
        const auto& f = c.fields;
        const KxTime time = timeOf(f[0], f[1], f[2], f[3], f[4], f[5]);
        EXPECT_EQ(time.isValid(), c.valid) << f[0] << "-" << f[1] << "-" << f[2] << " " << f[3] << ":" << f[4] << ":" << f[5];
        if (!c.valid) {
            EXPECT_EQ(time.value(), KxTime::kInvalidValue);
        }
    }
}

TEST(KxTime, DaysInMonth)
{
    struct Case { int32_t year; int32_t month; int32_t days; };
    for (const Case& c : std::vector<Case>{{1900, 2, 28}, {2000, 2, 29}, {2024, 2, 29}, {2023, 2, 28}, {2024, 1, 31},
                                           {2024, 4, 30}, {2024, 12, 31}, {2033, 11, 30}}) {
        EXPECT_EQ(KxTime::daysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
    }
}

TEST(KxTime, PackedValueAndText)
{
    const KxTime time = timeOf(2024, 3, 5, 7, 8, 9);
    EXPECT_EQ(time.value(), 0xD8CA7209u);
    EXPECT_EQ(time.toString(), KxString(u"2024-03-05 07:08:09"));
    EXPECT_EQ(timeOf(2033, 12, 31, 23, 59, 59).toString(), KxString(u"2033-12-31 23:59:59"));

    const KxTime invalid = timeOf(2034, 1, 1, 0, 0, 0);
    EXPECT_EQ(invalid.toString(), KxString(u"1970-13-00 25:61:61"));
    EXPECT_EQ(KxTime().toString(), KxString(u"1970-13-00 25:61:61"));
}

TEST(KxTime, ToTmIsNormalisedByTheCLibrary)
{
    const std::tm fields = timeOf(2024, 3, 5, 7, 8, 9).toTm();
    EXPECT_EQ(fields.tm_year, 124);
    EXPECT_EQ(fields.tm_mon, 2);
    EXPECT_EQ(fields.tm_mday, 5);
    EXPECT_EQ(fields.tm_hour, 7);
    EXPECT_EQ(fields.tm_wday, 2);
    EXPECT_EQ(fields.tm_yday, 64);
}

TEST(KxTime, SerialisedFormIsThePackedValueUnchecked)
{
    KxTime time = timeOf(2024, 3, 5, 7, 8, 9);
    KxMemoryStream stream;
    stream.init(8, true, 0, false, 0);
    time.writeToStream(stream);
    EXPECT_EQ(std::vector<uint8_t>(stream.buffer(), stream.buffer() + stream.length()),
              (std::vector<uint8_t>{0x09, 0x72, 0xCA, 0xD8}));

    KxMemoryArchive archive;
    time.writeToArchive(archive);
    EXPECT_EQ(archive.names.at(1), KxString(u"Value"));
    archive.items[1] = {0, 0, 0, 0};
    KxTime readBack = timeOf(2024, 3, 5, 7, 8, 9);
    readBack.readFromArchive(archive);
    EXPECT_EQ(readBack.value(), 0u);
    EXPECT_FALSE(readBack.isValid());

    stream.setPosition(0);
    readBack.readFromStream(stream);
    EXPECT_EQ(readBack.value(), 0xD8CA7209u);
}

TEST_F(KxTimeZoneTest, FromTimeReadsLocalTime)
{
    struct Case { const char* zone; int32_t seconds; const char16_t* text; };
    for (const Case& c : std::vector<Case>{
             {"TZ=UTC0", 0, u"1970-01-01 00:00:00"},
             {"TZ=EST5", 0, u"1970-13-00 25:61:61"},
             {"TZ=CET-1", 0, u"1970-01-01 01:00:00"},
             {"TZ=UTC0", -1, u"1970-13-00 25:61:61"},
             {"TZ=CET-1", -1, u"1970-13-00 25:61:61"},
             {"TZ=CET-1", INT32_MIN, u"1970-13-00 25:61:61"},
             {"TZ=UTC0", 2000000000, u"2033-05-18 03:33:20"},
             {"TZ=UTC0", 2100000000, u"1970-13-00 25:61:61"},
         }) {
        useTimeZone(c.zone);
        EXPECT_EQ(KxTime(c.seconds).toString(), KxString(c.text)) << c.zone << " " << c.seconds;
    }
}

TEST_F(KxTimeZoneTest, FormatterConversionsHaveTheStandardMeaning)
{
    useTimeZone("TZ=UTC0");
    struct Case { KxTime time; const char16_t* format; const char16_t* text; };
    const KxTime march = timeOf(2024, 3, 5, 7, 8, 9);
    const KxTime newYear = timeOf(2021, 1, 1, 13, 5, 0);
    for (const Case& c : std::vector<Case>{
             {march, u"%Y %y %C %m %d %e %j", u"2024 24 20 03 05  5 065"},
             {march, u"%H %I %M %S %p", u"07 07 08 09 AM"},
             {march, u"%D|%F|%T|%R|%r", u"03/05/24|2024-03-05|07:08:09|07:08|07:08:09 AM"},
             {march, u"%a %A %b %B %h", u"Tue Tuesday Mar March Mar"},
             {march, u"%u %w %U %W %V %G %g", u"2 2 09 10 10 2024 24"},
             {newYear, u"%V %G %g %u %I%p", u"53 2020 20 5 01PM"},
             {march, u"[%n][%t]%z", u"[\n][\t]+0000"},
             {march, u"100%% at %H", u"100% at 07"},
             {march, u"%k%@%Ey.", u"y."},
         }) {
        EXPECT_EQ(KxTimeFormatter(c.format, u"", u"").formatTime(c.time), KxString(c.text))
            << testing::PrintToString(KxString(c.format));
    }
}

TEST(KxTimeFormatter, OwnAmPmTexts)
{
    const KxTime afternoon = timeOf(2024, 3, 5, 13, 5, 0);
    const KxTime morning = timeOf(2024, 3, 5, 11, 59, 0);
    EXPECT_EQ(KxTimeFormatter(u"%I:%M %p", u"AM", u"PM").formatTime(afternoon), KxString(u"01:05 PM"));
    EXPECT_EQ(KxTimeFormatter(u"%p", u"vorm.", u"nachm.").formatTime(morning), KxString(u"vorm."));
    EXPECT_EQ(KxTimeFormatter(u"%p", u"vorm.", u"nachm.").formatTime(afternoon), KxString(u"nachm."));
    EXPECT_EQ(KxTimeFormatter(u"%p", u"", u"").formatTime(afternoon), KxString(u"PM"));
    EXPECT_EQ(KxTimeFormatter(u"100%% at %H", u"", u"").formatTime(timeOf(2024, 3, 5, 14, 0, 0)), KxString(u"100% at 14"));
}

TEST(KxTimeFormatter, NamedConversionsDescriptionAndSerialisation)
{
    const std::vector<KxString> named{KxTimeFormatter::AMPM,   KxTimeFormatter::DAY,    KxTimeFormatter::HOUR12,
                                      KxTimeFormatter::HOUR24, KxTimeFormatter::MINUTE, KxTimeFormatter::MONTH,
                                      KxTimeFormatter::SECOND, KxTimeFormatter::YEAR2,  KxTimeFormatter::YEAR4};
    const std::vector<KxString> texts{u"%p", u"%d", u"%I", u"%H", u"%M", u"%m", u"%S", u"%y", u"%Y"};
    EXPECT_EQ(named, texts);

    KxTimeFormatter formatter(u"%H", u"a", u"p");
    EXPECT_EQ(formatter.toString(), KxString(u"format=\"%H\", am=\"a\", pm=\"p\""));

    KxMemoryStream stream;
    stream.init(16, true, 0, false, 0);
    formatter.writeToStream(stream);
    EXPECT_EQ(std::vector<uint8_t>(stream.buffer(), stream.buffer() + stream.length()),
              (std::vector<uint8_t>{2, 0, '%', 'H', 1, 0, 'a', 1, 0, 'p'}));
    KxTimeFormatter readBack(u"", u"", u"");
    stream.setPosition(0);
    readBack.readFromStream(stream);
    EXPECT_EQ(readBack.toString(), formatter.toString());

    KxMemoryArchive archive;
    formatter.writeToArchive(archive);
    EXPECT_EQ(archive.strings.at(1), KxString(u"%H"));
    EXPECT_EQ(archive.strings.at(3), KxString(u"p"));
    KxTimeFormatter fromArchive(u"", u"", u"");
    fromArchive.readFromArchive(archive);
    EXPECT_EQ(fromArchive.toString(), formatter.toString());
}

TEST(KxTimeFormatterDeathTest, ConversionWithoutAcceptedCharacterAborts)
{
    const KxTime time = timeOf(2024, 3, 5, 7, 8, 9);
    EXPECT_DEATH(KxTimeFormatter(u"%Q", u"", u"").formatTime(time),
                 "^Kavo::KxTimeFormatter::formatTime\\(\\): Unknown type \"%Q\"\n$");
    EXPECT_DEATH(KxTimeFormatter(u"at %H%", u"", u"").formatTime(time),
                 "^Kavo::KxTimeFormatter::formatTime\\(\\): Unknown type \"%");
}
