#include "TestWindow.h"

#include "HeadlessWindow.h"

struct TestWindow::State {
    std::unique_ptr<HeadlessWindow> window;
};

TestWindow::TestWindow() : m_state(new State) {
    m_state->window = MakeHeadlessWindow(m_wnd);
}

TestWindow::~TestWindow() {
    m_wnd.m_hWnd = nullptr;
}

std::string TestWindow::Caption() const {
    return m_state->window->text;
}

std::vector<ShownMessageBox> TestWindow::MessageBoxes() const {
    std::vector<ShownMessageBox> boxes;
    for (const HeadlessMessageBox& box : m_state->window->messageBoxes)
        boxes.push_back({box.text, box.caption, box.type});
    return boxes;
}

int TestWindow::UpdateDataCalls() const {
    return m_state->window->updateDataCalls;
}
