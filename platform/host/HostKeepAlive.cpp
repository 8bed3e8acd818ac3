// The headless window needs no serving, but a test may act whenever it is served (the hook);
// waits are real, so that another thread can let go of a file meanwhile, and progress lands in
// the display's recorded text.
#include "KeepAlive.h"

#include <chrono>
#include <string>
#include <thread>

#include "HeadlessWindow.h"

namespace {
std::function<void(DWORD)>& ServeHook() {
    static std::function<void(DWORD)> hook;
    return hook;
}
} // namespace

void SetHeadlessServeHook(std::function<void(DWORD waitMs)> hook) {
    ServeHook() = std::move(hook);
}

struct CKeepAlive::State {
    CWnd* display;
    std::string text;
    bool shown = false;
};

CKeepAlive::CKeepAlive(CWnd* display) : m_state(new State{display, {}}) {
    if (display && display->m_hWnd)
        m_state->text = display->m_hWnd->text;
}

CKeepAlive::~CKeepAlive() {
    if (m_state->shown)
        m_state->display->SetWindowTextA(m_state->text.c_str());
    delete m_state;
}

void CKeepAlive::Serve() {
    if (ServeHook())
        ServeHook()(0);
}

void CKeepAlive::Wait(DWORD ms) {
    if (ServeHook())
        ServeHook()(ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Every text is shown here: tests see each step.
bool CKeepAlive::ShowDue() const {
    return m_state->display != nullptr;
}

void CKeepAlive::Show(const CDisplayText& text) {
    if (!m_state->display)
        return;
    m_state->display->SetDisplayText(text);
    m_state->shown = true;
}
