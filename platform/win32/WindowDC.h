// Drawing contexts of a window, held for the life of a stack object: CClientDC for the client
// area at any time, CPaintDC for answering WM_PAINT (BeginPaint/EndPaint).
#pragma once

#include "DC.h"
#include "Wnd.h"

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);
    ~CClientDC() override;

private:
    HWND m_window;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

private:
    HWND m_window;
};
