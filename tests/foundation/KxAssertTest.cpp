#include "KxDumpFiles.h"
#include "KxTestPrinting.h"

#include "KxDump.h"
#include "KxFoundation/KxAssert.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/KxTime.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Kavo;

namespace {

struct AssertCall {
    KxString expression, message, function, file;
    int32_t line = 0;
    int calls = 0;
};

AssertCall lastAssert;

void recordingHandler(const KxString& expression, const KxString& message, const KxString& function,
                      const KxString& file, int32_t line)
{
    lastAssert = AssertCall{expression, message, function, file, line, lastAssert.calls + 1};
}

KxString repeated(char16_t unit, std::size_t count)
{
    const std::u16string units(count, unit);
    return KxString(units.c_str());
}

// The assertion in KxTime::daysInMonth, the site these tests go through.
const int32_t kMonthAssertLine = 43;
const char16_t* const kMonthReport =
    u"KxASSERT(1 <= month && month <= 12, ) - Kavo::KxTime::daysInMonth (KxTime.cpp,43)";

} // namespace

TEST(KxAssert, SiteHandsTheHandlerItsExpressionFunctionFileAndLine)
{
    lastAssert = AssertCall{};
    _kx_assert_handler = recordingHandler;
    const int32_t days = KxTime::daysInMonth(2024, 13);
    _kx_assert_handler = _kx_assert_report;

    EXPECT_EQ(days, 0);
    EXPECT_EQ(lastAssert.calls, 1);
    EXPECT_EQ(lastAssert.expression, KxString(u"1 <= month && month <= 12"));
    EXPECT_EQ(lastAssert.message, KxString());
    EXPECT_EQ(lastAssert.function, KxString(u"Kavo::KxTime::daysInMonth"));
    EXPECT_EQ(lastPathComponent(lastAssert.file), KxString(u"KxTime.cpp"));
    EXPECT_EQ(lastAssert.line, kMonthAssertLine);
}

TEST(KxAssert, FunctionNameFromTheCompilersSignature)
{
    struct Case { const char* signature; const char16_t* name; };
    for (const Case& c : std::vector<Case>{
             {"static int32_t Kavo::KxTime::daysInMonth(int32_t, int32_t)", u"Kavo::KxTime::daysInMonth"},
             {"Kavo::KxTime::KxTime(int32_t)", u"Kavo::KxTime::KxTime"},
             {"std::map<int, int> Kavo::table(int)", u"Kavo::table"},
             {"bool Kavo::Less::operator()(int, int) const", u"Kavo::Less::operator()"},
             {"void Kavo::f(T) [with T = std::pair<int, int>]", u"Kavo::f"},
         }) {
        EXPECT_EQ(_kx_function_name(c.signature), KxString(c.name)) << c.signature;
    }
}

TEST(KxAssert, DebuggerLineIsCutTo1023Units)
{
    struct Case { std::size_t reportUnits; std::size_t lineUnits; bool endsWithLineFeed; };
    for (const Case& c : std::vector<Case>{{10, 11, true}, {1022, 1023, true}, {1023, 1023, false}, {3000, 1023, false}}) {
        const KxString line = _kx_debugger_line(repeated(u'r', c.reportUnits));
        EXPECT_EQ(line.length(), c.lineUnits) << c.reportUnits;
        EXPECT_EQ(line.c_str()[line.length() - 1] == u'\n', c.endsWithLineFeed) << c.reportUnits;
    }
}

TEST(KxAssertDeathTest, DefaultReportWritesADumpNamedAfterItAndAborts)
{
    const KxString safeReport = _kx_dump_safe_name(kMonthReport);
    removeDumpFilesNamed(safeReport);
    EXPECT_DEATH(KxTime::daysInMonth(2024, 13), "");
    EXPECT_EQ(dumpFilesNamed(safeReport).size(), 1u) << testing::PrintToString(safeReport);
    removeDumpFilesNamed(safeReport);
}
