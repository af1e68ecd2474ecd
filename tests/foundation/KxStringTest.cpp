#include "KxTestPrinting.h"

#include "KxFoundation/KxException.h"
#include "KxFoundation/KxString.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace Kavo;

namespace {

class PlainObject : public KxObject {
public:
    ~PlainObject() override = default;
};

} // namespace

TEST(KxString, CompareIsOrdinalAndThreeWay)
{
    struct Case { const char16_t* left; const char16_t* right; int expected; };
    for (const Case& c : std::vector<Case>{
             {u"", u"", 0}, {u"a", u"ab", -1}, {u"b", u"ab", 1}, {u"A", u"a", -1},
             {u"abc", u"abc", 0}, {u"\uFFFF", u"a", 1}, {u"", u"a", -1}}) {
        EXPECT_EQ(KxString(c.left).compare(c.right), c.expected) << "left " << testing::PrintToString(KxString(c.left));
    }
}

TEST(KxString, CaseInsensitiveOperations)
{
    EXPECT_TRUE(KxString(u"-name:").equalsIgnoreCase(u"-NAME:"));
    EXPECT_FALSE(KxString(u"abc").equalsIgnoreCase(u"AB"));
    EXPECT_FALSE(KxString(u"ab").equalsIgnoreCase(u"abc"));
    EXPECT_TRUE(KxString(u"").equalsIgnoreCase(u""));
    EXPECT_TRUE(KxString(u"Tessit.exe").equalsIgnoreCase(u"tessit.EXE"));

    EXPECT_EQ(KxString(u"xxdebugxx").indexOfIgnoreCase(u"DEBUG"), 2);
    EXPECT_EQ(KxString(u"DEBUG").indexOfIgnoreCase(u"debug"), 0);
    EXPECT_EQ(KxString(u"xxdebugxx").indexOfIgnoreCase(u""), -1);
    EXPECT_EQ(KxString(u"").indexOfIgnoreCase(u"a"), -1);
    EXPECT_EQ(KxString(u"deb").indexOfIgnoreCase(u"debug"), -1);
    EXPECT_EQ(KxString(u"xxdebu").indexOfIgnoreCase(u"debug"), -1);
}

TEST(KxString, SearchForAnyOfASet)
{
    const KxString path(u"a/b\\c");
    EXPECT_EQ(path.lastIndexOfAny(u"/\\", uint32_t(-1)), 3);
    EXPECT_EQ(path.lastIndexOfAny(u"/\\", 2), 1);
    EXPECT_EQ(path.lastIndexOfAny(u"/\\", 0), -1);
    EXPECT_EQ(path.lastIndexOfAny(u"", uint32_t(-1)), -1);
    EXPECT_EQ(KxString(u"").lastIndexOfAny(u"/", uint32_t(-1)), -1);
    EXPECT_EQ(path.indexOfAny(u"/\\", 2), 3);
    EXPECT_EQ(path.indexOfAny(u"/\\", 0), 1);
    EXPECT_EQ(path.indexOfAny(u"/\\", 5), -1);
    EXPECT_EQ(path.indexOfAny(u"", 0), -1);
    EXPECT_EQ(path.indexOfAny(u"z", 0), -1);
}

TEST(KxString, SubstringWithinRange)
{
    const KxString text(u"abc");
    EXPECT_EQ(text.substring(0, uint32_t(-1)), KxString(u"abc"));
    EXPECT_EQ(text.substring(1, 2), KxString(u"bc"));
    EXPECT_EQ(text.substring(2, 0), KxString(u""));
}

TEST(KxString, SubstringOutOfRangeRaisesWithTheRange)
{
    struct Case { const char16_t* text; uint32_t start; uint32_t count; KxRange range; };
    for (const Case& c : std::vector<Case>{{u"abc", 3, 0, {0, 2, 3}},
                                           {u"abc", 1, 3, {0, 2, 4}},
                                           {u"", 0, 0, {0, -1, 0}},
                                           {u"", 5, uint32_t(-1), {0, -1, 5}}}) {
        const KxString text(c.text);
        try {
            text.substring(c.start, c.count);
            ADD_FAILURE() << "no exception for start " << c.start;
        } catch (const KxRangeException& exception) {
            EXPECT_EQ(exception.where, KxString(u"KxString::substring()"));
            EXPECT_EQ(exception.code, 0);
            EXPECT_EQ(exception.range().lower, c.range.lower);
            EXPECT_EQ(exception.range().upper, c.range.upper);
            EXPECT_EQ(exception.range().value, c.range.value);
        }
        EXPECT_EQ(text, KxString(c.text));
    }
}

TEST(KxString, ToInt32AcceptsOnlyPlainDecimalNumbers)
{
    struct Case { const char16_t* text; int32_t value; };
    for (const Case& c : std::vector<Case>{{u"123", 123}, {u"+7", 7}, {u"007", 7}, {u"-2147483648", INT32_MIN},
                                           {u"2147483647", INT32_MAX}, {u"-0", 0}}) {
        EXPECT_EQ(KxString(c.text).toInt32(), c.value);
    }
    for (const char16_t* bad : {u"2147483648", u" 1", u"1 ", u"0x10", u"1.0", u"", u"-", u"+", u"-2147483649",
                                u"\uFF11"}) {
        try {
            KxString(bad).toInt32();
            ADD_FAILURE() << "accepted " << testing::PrintToString(KxString(bad));
        } catch (const KxBadCastException& exception) {
            EXPECT_EQ(exception.where, KxString(u"KxString::toInt32()"));
            EXPECT_EQ(exception.code, 0);
            EXPECT_EQ(exception.detail, nullptr);
        }
    }
}

TEST(KxString, ResizeCutsOrPadsWithNul)
{
    KxString text(u"abc");
    text.resize(1);
    EXPECT_EQ(text, KxString(u"a"));
    text.resize(3);
    EXPECT_EQ(text.length(), 3u);
    EXPECT_EQ(text.c_str()[1], u'\0');
    EXPECT_EQ(text.c_str()[2], u'\0');
    EXPECT_EQ(KxString(text.c_str()), KxString(u"a"));
}

TEST(KxString, HashIsFnv1aOverLowThenHighByte)
{
    EXPECT_EQ(KxString(u"").hashCode(), 0x811C9DC5u);
    // FNV-1a of the bytes 61 00: ((0x811C9DC5 ^ 0x61) * p ^ 0x00) * p.
    uint32_t expected = 0x811C9DC5u;
    for (uint32_t byte : {0x61u, 0x00u}) {
        expected ^= byte;
        expected *= 0x01000193u;
    }
    EXPECT_EQ(KxString(u"a").hashCode(), expected);
    EXPECT_NE(KxString(u"\u0100").hashCode(), KxString(u"\u0001").hashCode());
}

TEST(KxString, ValueSemantics)
{
    KxString original(u"text");
    KxString copy(original);
    copy += KxString(u"!");
    EXPECT_EQ(original, KxString(u"text"));

    KxString moved(std::move(copy));
    EXPECT_EQ(moved, KxString(u"text!"));
    EXPECT_EQ(copy.length(), 0u);

    KxString assigned;
    assigned = std::move(moved);
    EXPECT_EQ(moved.length(), 0u);
    EXPECT_EQ(assigned, KxString(u"text!"));
    static_assert(std::is_nothrow_move_constructible_v<KxString>);
    static_assert(std::is_nothrow_move_assignable_v<KxString>);

    std::unique_ptr<KxObject> clone(assigned.clone());
    EXPECT_EQ(clone->toString(), KxString(u"text!"));
    EXPECT_EQ(KxString(u"a/") + KxString(u"b") + u"c", KxString(u"a/bc"));
}

TEST(KxObject, DefaultsOfTheRootInterface)
{
    PlainObject object;
    EXPECT_EQ(object.clone(), nullptr);
    EXPECT_EQ(object.hashCode(), 0u);
    EXPECT_EQ(object.toString(), KxString());
}

TEST(KxObjectDeathTest, DefaultHandlersAbort)
{
    PlainObject object;
    KxException exception(u"where", 1, nullptr);
    EXPECT_DEATH(object.handleException(exception), "");
    EXPECT_DEATH(object.handleObject(object), "");
    EXPECT_DEATH(object.handleStdException(std::runtime_error("boom")), "");
    EXPECT_DEATH(object.handleUnknown(), "");
}
