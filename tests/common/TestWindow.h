// A top-level window that the code under test can report into, with what it shows read back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Wnd.h"

struct ShownMessageBox {
    std::string text; // as shown, in Windows-1252 ('?' for what it lacks)
    std::string caption;
    UINT type; // MB_OK plus the icon bits (MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONERROR)
};

class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    CWnd& Wnd() { return m_wnd; }
    std::string Caption() const;
    // Every message box owned by this window so far, in order; each was answered with OK.
    std::vector<ShownMessageBox> MessageBoxes() const;
    // How often UpdateData was called, or -1 where the platform cannot tell.
    int UpdateDataCalls() const;

private:
    CWnd m_wnd;
    struct State;
    std::unique_ptr<State> m_state;
};
