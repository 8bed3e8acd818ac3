// The About box, opened from the main dialog's system menu. Its OK button, Escape and the
// close box end it; it has no handlers of its own.
#pragma once

#include "Wnd.h"
#include "res/resource.h"

class CAboutBox : public CDialog {
public:
    static constexpr UINT IDD = IDD_ABOUTBOX;

    explicit CAboutBox(CWnd* parent = nullptr);
};
