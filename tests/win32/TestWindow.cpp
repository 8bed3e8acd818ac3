// A real top-level window; a watcher thread reads and answers the message boxes it owns.
#include "TestWindow.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "ForeignWindow.h"

namespace {

const char kClassName[] = "KqTestWindow";
const int kTextId = 0xFFFF; // the message text, on Windows and Wine alike
const UINT kReplyTimeoutMs = 2000;

ATOM RegisterTestClass() {
    static ATOM atom = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc);
    }();
    return atom;
}

// Text of a window owned by another thread, without waiting forever on that thread.
std::string TextOf(HWND window) {
    return foreign::Text(window, kReplyTimeoutMs, "");
}

bool IsMessageBoxOf(HWND window, HWND owner) {
    return foreign::IsDialog(window) && GetWindow(window, GW_OWNER) == owner;
}

BOOL CALLBACK KeepIfIcon(HWND child, LPARAM data) {
    if (!foreign::IsIcon(child))
        return TRUE;
    DWORD_PTR icon = 0;
    SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kReplyTimeoutMs, &icon);
    *reinterpret_cast<HICON*>(data) = reinterpret_cast<HICON>(icon);
    return icon == 0;
}

// The icon's control shows the shared system icon that LoadIconA returns.
UINT IconKind(HWND box) {
    HICON icon = nullptr;
    EnumChildWindows(box, KeepIfIcon, reinterpret_cast<LPARAM>(&icon));
    if (!icon)
        return 0;
    const struct {
        LPCSTR id;
        UINT kind;
    } kinds[] = {{IDI_INFORMATION, MB_ICONINFORMATION},
                 {IDI_WARNING, MB_ICONWARNING},
                 {IDI_ERROR, MB_ICONERROR},
                 {IDI_QUESTION, MB_ICONQUESTION}};
    for (const auto& k : kinds)
        if (icon == LoadIconA(nullptr, k.id))
            return k.kind;
    ADD_FAILURE() << "message box shows an icon that is no system icon";
    return 0;
}

bool HasVisibleButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    return button && IsWindowVisible(button);
}

UINT ButtonKind(HWND box) {
    bool ok = HasVisibleButton(box, IDOK), cancel = HasVisibleButton(box, IDCANCEL);
    bool yes = HasVisibleButton(box, IDYES), no = HasVisibleButton(box, IDNO);
    if (yes && no)
        return cancel ? MB_YESNOCANCEL : MB_YESNO;
    if (HasVisibleButton(box, IDABORT))
        return MB_ABORTRETRYIGNORE;
    if (HasVisibleButton(box, IDRETRY))
        return MB_RETRYCANCEL;
    if (ok && cancel)
        return MB_OKCANCEL;
    return MB_OK;
}

struct Search {
    HWND owner;
    std::vector<HWND> found;
};

BOOL CALLBACK KeepIfMessageBox(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (IsMessageBoxOf(window, search->owner))
        search->found.push_back(window);
    return TRUE;
}

} // namespace

struct TestWindow::State {
    HWND window = nullptr;
    std::thread watcher;
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::vector<ShownMessageBox> boxes;
    std::vector<HWND> answered; // boxes already read, until they are gone

    void Watch();
    void Answer(HWND box);
};

void TestWindow::State::Watch() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stop) {
        lock.unlock();
        Search search{window, {}};
        EnumWindows(KeepIfMessageBox, reinterpret_cast<LPARAM>(&search));
        // A handle can be reused by a later box once the earlier one is gone.
        answered.erase(std::remove_if(answered.begin(), answered.end(),
                                      [](HWND box) { return !IsWindow(box); }),
                       answered.end());
        for (HWND box : search.found)
            if (std::find(answered.begin(), answered.end(), box) == answered.end())
                Answer(box);
        lock.lock();
        wake.wait_for(lock, std::chrono::milliseconds(10));
    }
}

void TestWindow::State::Answer(HWND box) {
    // Shown only after WM_INITDIALOG has filled in text and icon; a reply to WM_NULL then
    // proves its thread is in the box's loop.
    if (!IsWindowVisible(box) || !foreign::Answers(box, kReplyTimeoutMs))
        return;
    ShownMessageBox shown;
    shown.caption = TextOf(box);
    shown.text = TextOf(GetDlgItem(box, kTextId));
    shown.type = ButtonKind(box) | IconKind(box);
    answered.push_back(box);
    {
        std::lock_guard<std::mutex> guard(mutex);
        boxes.push_back(shown);
    }
    // OK where there is one, otherwise the box's way out.
    foreign::Press(box, HasVisibleButton(box, IDOK) ? IDOK : IDCANCEL);
}

TestWindow::TestWindow() : m_state(std::make_unique<State>()) {
    RegisterTestClass();
    m_state->window =
        CreateWindowExA(0, kClassName, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400,
                        300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(m_state->window, nullptr) << "CreateWindowExA: error " << GetLastError();
    m_wnd.m_hWnd = m_state->window;
    m_state->watcher = std::thread([state = m_state.get()] { state->Watch(); });
}

TestWindow::~TestWindow() {
    {
        std::lock_guard<std::mutex> guard(m_state->mutex);
        m_state->stop = true;
    }
    m_state->wake.notify_all();
    m_state->watcher.join();
    m_wnd.m_hWnd = nullptr;
    if (m_state->window)
        DestroyWindow(m_state->window);
}

std::string TestWindow::Caption() const {
    return foreign::Text(m_state->window, 1000, "");
}

std::vector<ShownMessageBox> TestWindow::MessageBoxes() const {
    std::lock_guard<std::mutex> guard(m_state->mutex);
    return m_state->boxes;
}

int TestWindow::UpdateDataCalls() const {
    return -1;
}
