// CWnd and CDialog on real windows. A dialog is made by the system's dialog manager; at
// WM_INITDIALOG the object takes the window and subclasses it, so that from then on every
// message goes through the object's WindowProc (message map, built-ins) and only what that
// leaves to Default() reaches the dialog manager's own window procedure. Dialogs are made and
// subclassed as Unicode windows: their texts never pass through the ANSI code page, which
// cannot hold the German ones everywhere.
#include "Wnd.h"

#include <exception>

#include "CallbackGuard.h"
#include "CodePages.h"
#include "WinApp.h"

namespace {

// The object that owns a dialog, and the window procedure it replaced, in the two places a
// dialog keeps for its program: read at every message, and a window property would cost a
// round trip to Wine's server each time.
CWnd* ObjectOf(HWND window) {
    return reinterpret_cast<CWnd*>(GetWindowLongPtrW(window, DWLP_USER));
}

WNDPROC OriginalProcOf(HWND window) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

std::exception_ptr keptException;

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void Attach(CWnd* wnd, HWND window) {
    wnd->m_hWnd = window;
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(wnd));
    LONG_PTR original =
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
    SetWindowLongPtrW(window, GWLP_USERDATA, original);
}

// The window is going: give it its own procedure back and let the object go free.
void Detach(CWnd* wnd, HWND window, WNDPROC original) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    SetWindowLongPtrW(window, DWLP_USER, 0);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (!wnd)
        return;
    wnd->m_hWnd = nullptr;
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == wnd) {
        app->m_pMainWnd = nullptr;
        if (app->InMessageLoop())
            PostQuitMessage(0);
    }
}

// Only dialogs are subclassed here; ending the one that failed ends its modal loop.
LRESULT AfterException(HWND window) {
    callback_guard::Keep();
    EndDialog(window, -1);
    return 0;
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = ObjectOf(window);
    WNDPROC original = OriginalProcOf(window);
    if (message == WM_NCDESTROY) {
        LRESULT result = CallWindowProcW(original, window, message, wParam, lParam);
        Detach(wnd, window, original);
        return result;
    }
    if (!wnd)
        return CallWindowProcW(original, window, message, wParam, lParam);
    try {
        return wnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        return AfterException(window);
    }
}

// The dialog manager's callback. Before WM_INITDIALOG the object has not seen the window;
// after it every message reaches the object through SubclassProc, and whatever the object
// leaves to Default() comes back here to be left to the dialog manager (FALSE).
INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    try {
        Attach(dialog, window);
        // Nonzero lets the dialog manager focus the first tab stop.
        return dialog->WindowProc(message, wParam, lParam);
    } catch (...) {
        return AfterException(window);
    }
}

} // namespace

namespace callback_guard {

void Keep() {
    if (!keptException)
        keptException = std::current_exception();
}

void RethrowKept() {
    if (!keptException)
        return;
    std::exception_ptr kept = keptException;
    keptException = nullptr;
    std::rethrow_exception(kept);
}

} // namespace callback_guard

CWnd* CWnd::GetDlgItem(int id) const {
    return WrapChild(::GetDlgItem(m_hWnd, id));
}

BOOL CWnd::EnableWindow(BOOL enable) {
    return ::EnableWindow(m_hWnd, enable);
}

BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}

void CWnd::SetWindowTextA(LPCSTR text) {
    ::SetWindowTextA(m_hWnd, text);
}

void CWnd::SetDisplayText(const CDisplayText& text) {
    ::SetWindowTextW(m_hWnd, WideText(text).data());
}

void CWnd::GetWindowTextA(CString& text) const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    ::GetWindowTextA(m_hWnd, text.GetBuffer(length), length + 1);
    text.ReleaseBuffer();
}

// The dialogs of this program exchange no data with their controls.
BOOL CWnd::UpdateData(BOOL) {
    return TRUE;
}

int CWnd::ShowMessageBox(const CDisplayText& text, const CDisplayText& caption, UINT type) {
    return ::MessageBoxW(m_hWnd, WideText(text).data(), WideText(caption).data(), type);
}

LRESULT CWnd::SendMessageA(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    const CurrentMessage m = m_current;
    // A command no window handles may still be the application's, such as ID_HELP.
    if (m.message == WM_COMMAND) {
        LRESULT result = 0;
        if (CWinApp* app = AfxGetApp())
            if (DispatchMessageMap(app, m.message, m.wParam, m.lParam, result))
                return result;
    }
    if (!m_hWnd)
        return 0;
    WNDPROC original = OriginalProcOf(m_hWnd);
    if (!original)
        return DefWindowProcW(m_hWnd, m.message, m.wParam, m.lParam);
    return CallWindowProcW(original, m_hWnd, m.message, m.wParam, m.lParam);
}

INT_PTR CDialog::DoModal() {
    HWND owner = m_parent ? m_parent->GetSafeHwnd() : nullptr;
    // A dialog without a parent still belongs to the main window, as in the framework we
    // stand in for: the main window is disabled while it is up and active again after it.
    CWinApp* app = AfxGetApp();
    if (!m_parent && app && app->m_pMainWnd && app->m_pMainWnd != this)
        owner = app->m_pMainWnd->GetSafeHwnd();
    INT_PTR result = DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_templateId), owner,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
    callback_guard::RethrowKept();
    return result;
}

void CDialog::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}
