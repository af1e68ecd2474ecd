#include "KxTestPrinting.h"

#include "app/Tessit.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Tessit;
using Kavo::KxString;

namespace {

struct OptionCase {
    std::vector<const char16_t*> arguments;
    bool diagnosis;
    int32_t oemId;
    const char16_t* modelName;
};

std::vector<KxString> texts(const std::vector<const char16_t*>& arguments)
{
    return std::vector<KxString>(arguments.begin(), arguments.end());
}

} // namespace

TEST(LaunchOptions, ParsedInOrderWithLaterValuesWinning)
{
    const std::vector<OptionCase> cases = {
        {{}, false, -1, u""},
        {{u"-diagnosis"}, true, -1, u""},
        {{u"-Diagnosis"}, false, -1, u""},
        {{u"-diagnosis2"}, false, -1, u""},
        {{u"-OEM:47"}, false, 47, u""},
        {{u"-OEM:0"}, false, 0, u""},
        {{u"-OEM:2147483647"}, false, 2147483647, u""},
        {{u"-OEM:047"}, false, -1, u""},
        {{u"-OEM:+47"}, false, -1, u""},
        {{u"-OEM:-1"}, false, -1, u""},
        {{u"-OEM: 47"}, false, -1, u""},
        {{u"-OEM:47 "}, false, -1, u""},
        {{u"-OEM:4x"}, false, -1, u""},
        {{u"-OEM:2147483648"}, false, -1, u""},
        {{u"-OEM:"}, false, -1, u""},
        {{u"-oem:47"}, false, -1, u""},
        {{u"-OEM:5", u"-OEM:abc"}, false, 5, u""},
        {{u"-OEM:5", u"-OEM:6"}, false, 6, u""},
        {{u"-NAME:ModelX"}, false, -1, u"ModelX"},
        {{u"-name:Model"}, false, -1, u"Model"},
        {{u"-NAME:"}, false, -1, u""},
        {{u"-NAME:a b"}, false, -1, u"a b"},
        {{u"-NAME:A", u"-NAME:B"}, false, -1, u"B"},
        {{u"-NAME:-OEM:5"}, false, -1, u"-OEM:5"},
        {{u"-diagnosis", u"-OEM:12", u"-NAME:ModelX"}, true, 12, u"ModelX"},
        {{u"ModelX", u"-x", u""}, false, -1, u""},
    };
    for (const OptionCase& c : cases) {
        const LaunchSettings settings = ParseLaunchOptions(texts(c.arguments));
        const std::string label = testing::PrintToString(texts(c.arguments));
        EXPECT_EQ(settings.diagnosis, c.diagnosis) << label;
        EXPECT_EQ(settings.oemId, c.oemId) << label;
        EXPECT_EQ(settings.modelName, KxString(c.modelName)) << label;
    }
}

TEST(LaunchOptions, DebugIsFoundAnywhereInTheRawTextInAnyCase)
{
    EXPECT_TRUE(DebugRequested(u"DEBUG"));
    EXPECT_TRUE(DebugRequested(u"-OEM:5 debug"));
    EXPECT_TRUE(DebugRequested(u"-NAME:debugger"));
    EXPECT_TRUE(DebugRequested(u"\"-NAME:Model DeBuG\""));
    EXPECT_FALSE(DebugRequested(u""));
    EXPECT_FALSE(DebugRequested(u"-NAME:DEBU G"));
}
