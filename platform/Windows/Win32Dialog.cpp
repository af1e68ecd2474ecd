#include "Windows/Win32Dialog.h"

#include "KxFoundation/KxString.h"

namespace Tessit {

namespace {

HICON iconOf(IconHandle icon) { return static_cast<HICON>(const_cast<void*>(icon)); }

} // namespace

Win32Dialog::Win32Dialog(HINSTANCE instance, int templateId, DialogClient& client)
    : m_instance(instance), m_templateId(templateId), m_client(client)
{
}

int Win32Dialog::run()
{
    const INT_PTR result = DialogBoxParamW(m_instance, MAKEINTRESOURCEW(m_templateId), nullptr, procedure,
                                           reinterpret_cast<LPARAM>(this));
    m_window = nullptr;
    return static_cast<int>(result);
}

INT_PTR CALLBACK Win32Dialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Win32Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->m_window = window;
        return dialog->m_client.OnInitDialog(*dialog) ? TRUE : FALSE;
    }
    auto* dialog = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return dialog ? dialog->handle(message, wParam) : FALSE;
}

// The message boxes a handler shows run a message loop that delivers
// messages to this dialog again, so each delivery keeps its own default flag.
template <typename Handler>
INT_PTR Win32Dialog::deliver(Handler handler)
{
    const bool outer = m_passToDefault;
    m_passToDefault = false;
    handler();
    const bool passToDefault = m_passToDefault;
    m_passToDefault = outer;
    return passToDefault ? FALSE : TRUE;
}

INT_PTR Win32Dialog::handle(UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_TIMER:
        return deliver([&] { m_client.OnTimer(*this, static_cast<unsigned>(wParam)); });
    case WM_PAINT:
        return deliver([&] {
            m_client.OnPaint(*this);
            if (m_paintContext) {
                EndPaint(m_window, &m_paint);
                m_paintContext = nullptr;
            }
        });
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(m_client.OnQueryDragIcon());
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(m_window, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

HDC Win32Dialog::paintContext()
{
    if (!m_paintContext)
        m_paintContext = BeginPaint(m_window, &m_paint);
    return m_paintContext;
}

void Win32Dialog::setIcon(IconHandle icon, bool big)
{
    SendMessageW(m_window, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(iconOf(icon)));
}

void Win32Dialog::setWindowText(const KxString& text) { SetWindowTextW(m_window, wideUnits(text)); }

void Win32Dialog::setTimer(unsigned id, unsigned periodMilliseconds) { SetTimer(m_window, id, periodMilliseconds, nullptr); }

void Win32Dialog::killTimer(unsigned id) { KillTimer(m_window, id); }

void Win32Dialog::endDialog(int result) { EndDialog(m_window, result); }

void Win32Dialog::defaultHandling() { m_passToDefault = true; }

bool Win32Dialog::isIconic() { return IsIconic(m_window) != FALSE; }

void Win32Dialog::clientSize(int& width, int& height)
{
    RECT client{};
    GetClientRect(m_window, &client);
    width = client.right - client.left;
    height = client.bottom - client.top;
}

void Win32Dialog::iconSize(int& width, int& height)
{
    width = GetSystemMetrics(SM_CXICON);
    height = GetSystemMetrics(SM_CYICON);
}

void Win32Dialog::eraseIconBackground()
{
    SendMessageW(m_window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paintContext()), 0);
}

void Win32Dialog::drawIcon(int x, int y, IconHandle icon) { DrawIcon(paintContext(), x, y, iconOf(icon)); }

void Win32Dialog::defaultPaint() { m_passToDefault = true; }

} // namespace Tessit
