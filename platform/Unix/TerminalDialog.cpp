#include "Unix/TerminalDialog.h"

#include "texts/WindowText.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace Tessit {

int TerminalDialog::run(DialogClient& client)
{
    client.OnInitDialog(*this);
    client.OnPaint(*this);
    if (m_timer && !m_result) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_timer->periodMilliseconds));
        client.OnTimer(*this, m_timer->id);
    }
    return m_result.value_or(-1);
}

void TerminalDialog::setIcon(IconHandle, bool) {}

void TerminalDialog::setWindowText(const KxString&) {}

void TerminalDialog::setTimer(unsigned id, unsigned periodMilliseconds) { m_timer = Timer{id, periodMilliseconds}; }

void TerminalDialog::killTimer(unsigned id)
{
    if (m_timer && m_timer->id == id)
        m_timer.reset();
}

void TerminalDialog::endDialog(int result) { m_result = result; }

void TerminalDialog::defaultHandling() {}

bool TerminalDialog::isIconic() { return false; }

void TerminalDialog::clientSize(int& width, int& height) { width = height = 0; }

void TerminalDialog::iconSize(int& width, int& height) { width = height = 0; }

void TerminalDialog::eraseIconBackground() {}

void TerminalDialog::drawIcon(int, int, IconHandle) {}

void TerminalDialog::defaultPaint()
{
    if (isatty(STDERR_FILENO)) {
        std::fputs(TESSIT_WINDOW_LINE "\n", stderr);
        std::fflush(stderr);
    }
}

} // namespace Tessit
