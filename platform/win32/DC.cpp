#include "DC.h"

#include "WindowDC.h"

// Whatever is still attached is this object's to delete; borrowers Detach first.
CDC::~CDC() {
    DeleteDC();
}

BOOL CDC::Attach(HDC dc) {
    m_hDC = dc;
    return dc != nullptr;
}

HDC CDC::Detach() {
    HDC dc = m_hDC;
    m_hDC = nullptr;
    return dc;
}

BOOL CDC::DeleteDC() {
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
    return Attach(::CreateCompatibleDC(dc ? dc->m_hDC : nullptr));
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) {
    return ::SelectObject(m_hDC, object);
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw,
                     int sh, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, sw,
                        sh, rop);
}

BOOL CDC::DrawIcon(int x, int y, HICON icon) {
    return ::DrawIcon(m_hDC, x, y, icon);
}

CClientDC::CClientDC(CWnd* wnd) : m_window(wnd ? wnd->GetSafeHwnd() : nullptr) {
    Attach(::GetDC(m_window));
}

// A DC from GetDC goes back with ReleaseDC, never DeleteDC.
CClientDC::~CClientDC() {
    if (m_hDC)
        ::ReleaseDC(m_window, Detach());
}

CPaintDC::CPaintDC(CWnd* wnd) : m_ps(), m_window(wnd->GetSafeHwnd()) {
    Attach(::BeginPaint(m_window, &m_ps));
}

CPaintDC::~CPaintDC() {
    Detach();
    ::EndPaint(m_window, &m_ps);
}
