#include <gtest/gtest.h>

#include <exception>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace {

[[noreturn]] void terminateWhileHandling(const char* text)
{
    try {
        throw std::runtime_error(text);
    } catch (...) {
        std::terminate();
    }
}

} // namespace

// The launcher's own terminate handler, in place of the run time's: what
// ended the process is still named and told, and the process still aborts.
TEST(TerminateReportDeathTest, NamesTheExceptionAndTellsItsText)
{
    const std::string typeLine =
        std::string("terminate called after throwing an instance of '") + typeid(std::runtime_error).name() + "'";
    EXPECT_DEATH(terminateWhileHandling("no way on"), typeLine);
    EXPECT_DEATH(terminateWhileHandling("no way on"), "  what\\(\\):  no way on");
}

TEST(TerminateReportDeathTest, SaysSoWithoutAnException)
{
    EXPECT_DEATH(std::terminate(), "terminate called without an active exception");
}
