// The message pump that keeps a window alive during a long job on its thread. Windows judges a
// window hung when its thread has read no message for five seconds; every read here counts.
#include "KeepAlive.h"

#include "CodePages.h"

namespace {

// Often enough that no click waits long for its paint, rarely enough to cost nothing.
const DWORD kServeEveryMs = 50;
const DWORD kShowEveryMs = 250;

// What a user or another program does to start, stop or move something. Painting, timers and
// the system's own traffic pass.
bool IsInput(const MSG& msg) {
    const UINT m = msg.message;
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
           (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK) || m == WM_COMMAND ||
           m == WM_SYSCOMMAND || m == WM_CLOSE;
}

} // namespace

struct CKeepAlive::State {
    CWnd* display;
    Utf16 text; // the display's own, with its NUL
    bool shown;
    DWORD lastServed;
    DWORD lastShown;
    HCURSOR wait;
    bool quit;
    WPARAM quitCode;

    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
            } else if (!IsInput(msg)) {
                DispatchMessageW(&msg);
            }
        }
        // A window the mouse crosses sets its own cursor.
        SetCursor(wait);
        lastServed = GetTickCount();
    }
};

CKeepAlive::CKeepAlive(CWnd* display)
    : m_state(new State{
          display, {}, false, GetTickCount(), 0, LoadCursorA(nullptr, IDC_WAIT), false, 0}) {
    if (HWND shown = display ? display->GetSafeHwnd() : nullptr) {
        m_state->text.assign(static_cast<size_t>(GetWindowTextLengthW(shown)) + 1, L'\0');
        GetWindowTextW(shown, m_state->text.data(), static_cast<int>(m_state->text.size()));
    }
}

CKeepAlive::~CKeepAlive() {
    // Input that came in since the last look goes too, not to the window once the job is over.
    m_state->Pump();
    if (m_state->shown && IsWindow(m_state->display->GetSafeHwnd()))
        SetWindowTextW(m_state->display->GetSafeHwnd(), m_state->text.data());
    if (m_state->quit)
        PostQuitMessage(static_cast<int>(m_state->quitCode));
    delete m_state;
}

void CKeepAlive::Serve() {
    if (GetTickCount() - m_state->lastServed >= kServeEveryMs)
        m_state->Pump();
}

void CKeepAlive::Wait(DWORD ms) {
    const DWORD start = GetTickCount();
    for (DWORD waited = 0; waited < ms; waited = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - waited, QS_ALLINPUT);
        m_state->Pump();
    }
}

bool CKeepAlive::ShowDue() const {
    return m_state->display &&
           (!m_state->shown || GetTickCount() - m_state->lastShown >= kShowEveryMs);
}

void CKeepAlive::Show(const CDisplayText& text) {
    if (!m_state->display)
        return;
    m_state->display->SetDisplayText(text);
    m_state->shown = true;
    m_state->lastShown = GetTickCount();
}
