#ifndef TESSIT_PLATFORM_UNIX_TERMINALDIALOG_H
#define TESSIT_PLATFORM_UNIX_TERMINALDIALOG_H

#include "platform/Platform.h"

#include <optional>

namespace Tessit {

// The progress window where there is no window system: showing it writes
// "Please wait..." on standard error when that is a terminal, and an armed
// timer fires once, its period after initialisation. Nothing else can end
// the dialog, so one that the tick leaves open ends with -1.
class TerminalDialog : public DialogHost {
public:
    int run(DialogClient& client);

    void setIcon(IconHandle icon, bool big) override;
    void setWindowText(const KxString& text) override;
    void setTimer(unsigned id, unsigned periodMilliseconds) override;
    void killTimer(unsigned id) override;
    void endDialog(int result) override;
    void defaultHandling() override;
    bool isIconic() override;
    void clientSize(int& width, int& height) override;
    void iconSize(int& width, int& height) override;
    void eraseIconBackground() override;
    void drawIcon(int x, int y, IconHandle icon) override;
    void defaultPaint() override;

private:
    struct Timer {
        unsigned id;
        unsigned periodMilliseconds;
    };

    std::optional<Timer> m_timer;
    std::optional<int> m_result;
};

} // namespace Tessit

#endif
