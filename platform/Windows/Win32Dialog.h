#ifndef TESSIT_PLATFORM_WINDOWS_WIN32DIALOG_H
#define TESSIT_PLATFORM_WINDOWS_WIN32DIALOG_H

#include "platform/Platform.h"

#include <windows.h>

namespace Tessit {

// A modal dialog made from a template resource, delivering to its client
// what the framework's CDialog delivers: initialisation, timer, paint and
// drag-icon queries; OK and Cancel (Enter, Escape, closing) end it with
// IDOK and IDCANCEL.
class Win32Dialog : public DialogHost {
public:
    Win32Dialog(HINSTANCE instance, int templateId, DialogClient& client);

    // Runs the dialog until it ends; what endDialog was given, or -1 when it
    // could not be created.
    int run();
    // The dialog's window while it runs, else null.
    HWND window() const { return m_window; }

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
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam);
    template <typename Handler>
    INT_PTR deliver(Handler handler);
    HDC paintContext();

    HINSTANCE m_instance;
    int m_templateId;
    DialogClient& m_client;
    HWND m_window = nullptr;
    // Set by defaultHandling and defaultPaint: the message goes on to the
    // dialog manager's default processing.
    bool m_passToDefault = false;
    HDC m_paintContext = nullptr;
    PAINTSTRUCT m_paint{};
};

} // namespace Tessit

#endif
