#include "Wnd.h"

CWnd::~CWnd() = default;

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // Handlers may send further messages; each sees its own message in Default().
    CurrentMessage outer = m_current;
    m_current = {message, wParam, lParam};
    LRESULT result = 0;
    if (!DispatchMessageMap(this, message, wParam, lParam, result))
        result = OnUnmapped(message, wParam);
    m_current = outer;
    return result;
}

LRESULT CWnd::OnUnmapped(UINT, WPARAM) {
    return Default();
}

CWnd* CWnd::WrapChild(HWND child) const {
    if (!child)
        return nullptr;
    for (const auto& w : m_children)
        if (w->m_hWnd == child)
            return w.get();
    m_children.push_back(std::make_unique<CWnd>());
    m_children.back()->m_hWnd = child;
    return m_children.back().get();
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    return CWnd::WindowProc(message, wParam, lParam);
}

LRESULT CDialog::OnUnmapped(UINT message, WPARAM wParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) {
        OnOK();
        return 0;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDCANCEL) {
        OnCancel();
        return 0;
    }
    return Default();
}
