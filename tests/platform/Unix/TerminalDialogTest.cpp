#include "Unix/TerminalDialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace Tessit;

namespace {

class ScriptedClient : public DialogClient {
public:
    std::function<void(DialogHost&)> onInit;
    std::function<void(DialogHost&)> onTick;
    std::vector<std::string> calls;

    bool OnInitDialog(DialogHost& host) override
    {
        calls.push_back("init");
        if (onInit)
            onInit(host);
        return true;
    }
    void OnTimer(DialogHost& host, unsigned id) override
    {
        calls.push_back("timer " + std::to_string(id));
        if (onTick)
            onTick(host);
    }
    void OnPaint(DialogHost&) override { calls.push_back("paint"); }
    IconHandle OnQueryDragIcon() override { return nullptr; }
};

} // namespace

TEST(TerminalDialog, TheTimerFiresOnceAndTheDialogReturnsWhatEndedIt)
{
    struct Case {
        bool armTimer;
        bool endOnTick;
        std::vector<std::string> calls;
        int result;
    };
    const std::vector<Case> cases = {
        {true, true, {"init", "paint", "timer 100"}, kDialogOk},
        {true, false, {"init", "paint", "timer 100"}, -1},
        {false, false, {"init", "paint"}, -1},
    };
    for (const Case& c : cases) {
        ScriptedClient client;
        client.onInit = [&](DialogHost& host) {
            if (c.armTimer)
                host.setTimer(100, 20);
        };
        client.onTick = [&](DialogHost& host) {
            if (c.endOnTick)
                host.endDialog(kDialogOk);
        };
        EXPECT_EQ(TerminalDialog().run(client), c.result);
        EXPECT_EQ(client.calls, c.calls);
    }
}

TEST(TerminalDialog, EndedBeforeTheTimerNoTickIsDelivered)
{
    ScriptedClient client;
    client.onInit = [](DialogHost& host) {
        host.setTimer(100, 20);
        host.endDialog(kDialogCancel);
    };
    EXPECT_EQ(TerminalDialog().run(client), kDialogCancel);
    EXPECT_EQ(client.calls, (std::vector<std::string>{"init", "paint"}));
}
