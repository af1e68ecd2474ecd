#include "KxTestPrinting.h"

#include "KxFormat.h"
#include "KxFoundation/KxException.h"
#include "KxFoundation/KxString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace Kavo;

namespace {

KxString formatted(const char16_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::u16string output;
    _kx_wstring_vformat(output, format, arguments);
    va_end(arguments);
    return KxString(output.c_str());
}

} // namespace

TEST(KxFormat, LiteralTextAndPercentSigns)
{
    EXPECT_EQ(formatted(u"plain"), KxString(u"plain"));
    EXPECT_EQ(formatted(u"100%%"), KxString(u"100%"));
    EXPECT_EQ(formatted(u"%%d"), KxString(u"%d"));
    EXPECT_EQ(formatted(u"50% done", 7), KxString(u"50 7one"));
}

TEST(KxFormat, IntegersThroughTheCLibrary)
{
    EXPECT_EQ(formatted(u"%02d:%02d", 7, 5), KxString(u"07:05"));
    EXPECT_EQ(formatted(u"0x%08x", 255), KxString(u"0x000000ff"));
    EXPECT_EQ(formatted(u"%X|%o|%u|%i", 0xBEEF, 8, 4000000000u, -3), KxString(u"BEEF|10|4000000000|-3"));
    EXPECT_EQ(formatted(u"%I64d", 1LL << 40), KxString(u"1099511627776"));
    EXPECT_EQ(formatted(u"%lld", 1LL << 40), KxString(u"1099511627776"));
    EXPECT_EQ(formatted(u"%I64x|%d", 0x123456789ALL, 5), KxString(u"123456789a|5"));
    EXPECT_EQ(formatted(u"%ld|%d", -1, 2), KxString(u"-1|2"));
    EXPECT_EQ(formatted(u"%I32d|%d", 3, 4), KxString(u"3|4"));
    EXPECT_EQ(formatted(u"%hd", 65537), KxString(u"1"));
    EXPECT_EQ(formatted(u"%+5d|%-4d|", 3, 4), KxString(u"   +3|4   |"));
}

TEST(KxFormat, FloatingPoint)
{
    EXPECT_EQ(formatted(u"%.2f|%e|%g", 3.14159, 1.5e10, 0.0001), KxString(u"3.14|1.500000e+10|0.0001"));
    EXPECT_EQ(formatted(u"%G|%E", 1e-10, 2.0), KxString(u"1E-10|2.000000E+00"));
}

TEST(KxFormat, Characters)
{
    EXPECT_EQ(formatted(u"%c", 65), KxString(u"A"));
    EXPECT_EQ(formatted(u"%3c", 65), KxString(u"  A"));
    EXPECT_EQ(formatted(u"%C", 0x20AC), KxString(u"\u20AC"));
    EXPECT_EQ(formatted(u"%C", 0x120AC), KxString(u"\u20AC"));
    // `l` keeps its C meaning: a wide character.
    EXPECT_EQ(formatted(u"%lc", 0x20AC), KxString(u"\u20AC"));
    EXPECT_EQ(formatted(u"%-3lc|", 0x20AC), KxString(u"\u20AC  |"));
    EXPECT_EQ(formatted(u"%hc", 0x141), KxString(u"A"));
}

// Any number of flags, and widths and precisions of any length, as the C
// printf family allows them; only the output is cut.
TEST(KxFormat, LongDirectivesAreFormattedWhole)
{
    using Formatter = KxString (*)(const std::u16string&);
    const Formatter withInt = [](const std::u16string& format) { return formatted(format.c_str(), 42); };
    // A value that needs its high word: GCC 12 for i686 folds a function that
    // passes 42LL to a variadic one into its twin that passes 42 (identical
    // code folding), which would leave the high word unwritten.
    const Formatter withLongLong = [](const std::u16string& format) { return formatted(format.c_str(), 1LL << 40); };
    const Formatter withDouble = [](const std::u16string& format) { return formatted(format.c_str(), 3.14159); };
    const Formatter withWideText = [](const std::u16string& format) { return formatted(format.c_str(), u"ab"); };
    const std::u16string zeros(70, u'0');
    const std::u16string minuses(70, u'-');
    struct Case {
        std::u16string format;
        Formatter formatter;
        std::u16string expected;
    };
    const std::vector<Case> cases{
        {u"%" + zeros + u"5d", withInt, u"00042"},
        {u"%" + zeros + u"14lld", withLongLong, u"01099511627776"},
        {u"%" + minuses + u"5d|", withInt, u"42   |"},
        {u"%" + zeros + u"300d", withInt, std::u16string(255, u'0')},
        {u"%" + zeros + u"8.3f", withDouble, u"0003.142"},
        {u"%" + minuses + u"5S|", withWideText, u"ab   |"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.formatter(c.format), KxString(c.expected.c_str())) << testing::PrintToString(KxString(c.format.c_str()));
}

TEST(KxFormat, PointersTakeFlagsAndWidthButKeepEveryDigit)
{
    const std::u16string digits = sizeof(void*) == 4 ? u"000012AB" : u"00000000000012AB";
    const std::u16string padding(20 - digits.size(), u' ');
    struct Case { const char16_t* format; std::u16string expected; };
    for (const Case& c : std::vector<Case>{
             {u"%p", digits},
             {u"%20p", padding + digits},
             {u"%-20p|", digits + padding + u"|"},
             {u"%020p", padding + digits},
             {u"%.2p", digits},
             {u"%#p", u"0X" + digits},
             {u"%2p", digits},
         }) {
        EXPECT_EQ(formatted(c.format, reinterpret_cast<void*>(0x12AB)), KxString(c.expected.c_str()))
            << testing::PrintToString(KxString(c.format));
    }
    EXPECT_EQ(formatted(u"%p", reinterpret_cast<void*>(~uintptr_t(0))),
              KxString(std::u16string(2 * sizeof(void*), u'F').c_str()));
}

TEST(KxFormat, NarrowText)
{
    EXPECT_EQ(formatted(u"%10s", "ab"), KxString(u"ab"));
    EXPECT_EQ(formatted(u"[%s]", "\xE2\x82\xAC"), KxString(u"[\u20AC]"));
    EXPECT_EQ(formatted(u"[%s]", "a\xFF"), KxString(u"[]"));
    const std::string longText(300, 'q');
    EXPECT_EQ(formatted(u"%s", longText.c_str()).length(), 300u);
}

TEST(KxFormat, WideText)
{
    EXPECT_EQ(formatted(u"%10S", u"ab"), KxString(u"        ab"));
    EXPECT_EQ(formatted(u"%-4S|", u"ab"), KxString(u"ab  |"));
    EXPECT_EQ(formatted(u"%.1S", u"ab"), KxString(u"a"));
    EXPECT_EQ(formatted(u"%S", u"\u00E9\xD83D\xDE00"), KxString(u"\u00E9\xD83D\xDE00"));
    const std::u16string longText(300, u'w');
    EXPECT_EQ(formatted(u"%S", longText.c_str()), KxString(longText.c_str()));
    const std::u16string edge(255, u'e');
    EXPECT_EQ(formatted(u"%S", edge.c_str()).length(), 255u);
}

TEST(KxFormat, OneDirectiveIsCutTo255Units)
{
    const KxString padded = formatted(u"%300d", 1);
    EXPECT_EQ(padded, KxString(std::u16string(255, u' ').c_str()));
    EXPECT_EQ(formatted(u"<%300d>", 1).length(), 257u);
}

namespace {

// A string that describes itself otherwise than by its text.
class QuotedString : public KxString {
public:
    using KxString::KxString;
    KxString toString() const override { return KxString(u"'") + *this + KxString(u"'"); }
};

} // namespace

TEST(KxFormat, ObjectsThroughToString)
{
    const QuotedString quoted(u"q");
    EXPECT_EQ(formatted(u"%@", &quoted), KxString(u"'q'"));
    const KxString abc(u"abc");
    EXPECT_EQ(formatted(u"%@", &abc), KxString(u"abc"));
    EXPECT_EQ(formatted(u"%-10@|%10@", &abc, &abc), KxString(u"abc|abc"));
    EXPECT_EQ(formatted(u"%@", static_cast<KxObject*>(nullptr)), KxString(u"(null)"));
    const KxRangeException range(u"KxString::substring()", KxRange{0, 4, 7});
    EXPECT_EQ(formatted(u"%@!", &range), KxString(u"\"KxString::substring()\", 7 in [0, 4]!"));
    const std::u16string longText(400, u'z');
    const KxString longObject(longText.c_str());
    EXPECT_EQ(formatted(u"%@", &longObject).length(), 400u);
}

TEST(KxFormat, LettersWithoutArguments)
{
    EXPECT_EQ(formatted(u"a%Db%Oc%Ud%ne%d", 9), KxString(u"abcde9"));
}

TEST(KxFormat, FormatAndAppendFormatOnThemselves)
{
    KxString text(u"abc");
    text.format(u"%@", &text);
    EXPECT_EQ(text, KxString(u""));

    KxString doubled(u"abc");
    doubled.appendFormat(u"%@", &doubled);
    EXPECT_EQ(doubled, KxString(u"abcabc"));

    KxString line(u"x");
    line.appendFormat(u"File%02d : %@(%d)\n", 1, &doubled, 1000);
    EXPECT_EQ(line, KxString(u"xFile01 : abcabc(1000)\n"));
}

TEST(KxFormatDeathTest, PercentWithoutDirectiveLetterAborts)
{
    EXPECT_DEATH(formatted(u"abc%"), "^Kavo::_kx_wstring_vformat\\(\\): Unknown type \"%");
    EXPECT_DEATH(formatted(u"x%y"), "^Kavo::_kx_wstring_vformat\\(\\): Unknown type \"%y\"\n$");
    EXPECT_DEATH(formatted(u"%\u00E9"), "Unknown type \"%\xC3\xA9\"");
}

TEST(KxFormat, FormatTakenFromTheStringItself)
{
    KxString text(u"[%d]");
    text.format(text.c_str(), 5);
    EXPECT_EQ(text, KxString(u"[5]"));

    KxString appended(u"<%d>");
    appended.appendFormat(appended.c_str(), 6);
    EXPECT_EQ(appended, KxString(u"<%d><6>"));
}
