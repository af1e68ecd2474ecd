#include "KxTestPrinting.h"

#include "KxConversion.h"
#include "KxFoundation/KxString.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace Kavo;

TEST(KxConversion, EncodesEachUnitByItself)
{
    struct Case { std::u16string units; std::string bytes; };
    for (const Case& c : std::vector<Case>{
             {u"abc", "abc"},
             {u"\u00E9", "\xC3\xA9"},
             {u"\u20AC", "\xE2\x82\xAC"},
             {u"\xD83D\xDE00", "\xED\xA0\xBD\xED\xB8\x80"},
             {u"", ""},
         }) {
        EXPECT_EQ(KxString(c.units.c_str()).toNarrow(_kx_conversion_locale()), c.bytes);
        EXPECT_EQ(KxString(c.bytes.c_str()), KxString(c.units.c_str())) << "decoding back";
    }
}

TEST(KxConversion, NulUnitEndsTheNarrowText)
{
    KxString text(u"ab");
    text.resize(4);
    EXPECT_EQ(text.toNarrow(_kx_conversion_locale()), "ab");
}

TEST(KxConversion, DecodingRules)
{
    struct Case { std::string bytes; std::u16string units; };
    for (const Case& c : std::vector<Case>{
             {"\xFF", u""},
             {"\xFE", u""},
             {"a\x80", u""},
             {"a\xC3" "b", u""},
             {"ab\xE2\x82", u"ab"},
             {"\xF0\x9F\x98\x80", u"\xF600"},            // U+1F600 keeps its low 16 bits
             {"\xF8\x88\x80\x80\x80", u"\x0000"},         // five bytes: U+200000 cut to 0 ends the text
             {"\xF8\x88\x80\x80\x81x", u"\x0001x"},
             {"\xFC\x84\x80\x80\x80\x81", u"\x0001"},     // six bytes: U+4000001
         }) {
        KxString decoded(c.bytes.c_str());
        EXPECT_EQ(decoded, KxString(c.units.c_str())) << testing::PrintToString(c.bytes);
        KxString assigned(u"old");
        assigned.assignNarrow(c.bytes.c_str(), _kx_conversion_locale());
        EXPECT_EQ(assigned, decoded);
    }
}

TEST(KxConversion, LocaleAndLockAreCreatedOnceUnderConcurrentFirstUse)
{
    std::vector<const void*> locales(4), locks(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            locales[i] = &_kx_conversion_locale();
            locks[i] = &_kx_conversion_mutex();
        });
    for (auto& thread : threads)
        thread.join();
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(locales[i], locales[0]);
        EXPECT_EQ(locks[i], locks[0]);
    }
}
