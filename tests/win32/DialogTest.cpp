// CDialog on real dialog windows: the About box template, borrowed from install.exe's
// resources, run modally in this process. Each case scripts the user through a command it
// posts to itself from OnInitDialog; a watchdog closes any dialog that is still up after a
// while, so a fault fails the case instead of hanging the suite.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ForeignWindow.h"
#include "WinApp.h"
#include "app/ServicePackApp.h"
#include "Wnd.h"
#include "res/resource.h"
#include "ui/ServicePackDlg.h"

namespace {

const UINT kStep = 4100;    // posted by OnInitDialog: the scripted part runs on its arrival
const UINT kAppOnly = 4101; // a command only the application maps
const auto kWatchdogTimeout = std::chrono::seconds(20);

class TestApp : public CWinApp {
public:
    TestApp() : CWinApp("DialogTest") {}

    void OnAppOnly() { ++appOnlyCalls; }

    int appOnlyCalls = 0;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestApp, CWinApp)
ON_COMMAND(TestApp, kAppOnly, OnAppOnly)
END_MESSAGE_MAP()

class ScriptedDialog : public CDialog {
public:
    explicit ScriptedDialog(CWnd* parent = nullptr) : CDialog(IDD_ABOUTBOX, parent) {}

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (init)
            return init(*this);
        PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(kStep, 0), 0);
        return TRUE;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        return CDialog::WindowProc(message, wParam, lParam);
    }

    void OnStep() {
        if (step)
            step(*this);
    }

    std::function<BOOL(ScriptedDialog&)> init; // replaces the posting of kStep
    std::function<void(ScriptedDialog&)> step;
    std::vector<UINT> seen;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ScriptedDialog, CDialog)
ON_COMMAND(ScriptedDialog, kStep, OnStep)
END_MESSAGE_MAP()

// The installer's main dialog itself, with a scripted step after its own initialisation.
class ScriptedMainDialog : public CServicePackDlg {
public:
    BOOL OnInitDialog() override {
        const BOOL result = CServicePackDlg::OnInitDialog();
        PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(kStep, 0), 0);
        return result;
    }
    void OnStep() { step(*this); }
    HICON Icon() const { return m_icon; }

    std::function<void(ScriptedMainDialog&)> step;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ScriptedMainDialog, CServicePackDlg)
ON_COMMAND(ScriptedMainDialog, kStep, OnStep)
END_MESSAGE_MAP()

// Closes every window of the calling thread that is still up when the time runs out.
class Watchdog {
public:
    Watchdog() : m_thread(GetCurrentThreadId()), m_watcher([this] { Watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_watcher.join();
        EXPECT_FALSE(m_fired) << "a dialog was still up after "
                              << std::chrono::seconds(kWatchdogTimeout).count() << " s";
    }

private:
    static BOOL CALLBACK Close(HWND window, LPARAM) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return TRUE;
    }

    void Watch() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_done) {
            if (m_wake.wait_for(lock, kWatchdogTimeout) == std::cv_status::timeout && !m_done) {
                m_fired = true;
                EnumThreadWindows(m_thread, Close, 0);
            }
        }
    }

    DWORD m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    bool m_fired = false;
    std::thread m_watcher;
};

// install.exe holds the templates; it is built into the top of the tree, above tests/.
HMODULE LoadInstallerResources() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string installer(path);
    installer.resize(installer.find_last_of('\\'));
    installer.resize(installer.find_last_of('\\') + 1);
    installer += "install.exe";
    HMODULE module = LoadLibraryExA(installer.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(module, nullptr) << "cannot load the dialog templates from " << installer
                               << " (error " << GetLastError() << "); build install.exe first";
    return module;
}

class DialogTest : public testing::Test {
protected:
    void SetUp() override {
        m_resources = LoadInstallerResources();
        ASSERT_NE(m_resources, nullptr);
        app.m_hInstance = m_resources;
    }
    void TearDown() override {
        if (m_resources)
            FreeLibrary(m_resources);
    }

    TestApp app;
    Watchdog watchdog;

private:
    HMODULE m_resources = nullptr;
};

HWND OkButton(CDialog& dialog) {
    return GetDlgItem(dialog.m_hWnd, IDOK);
}

} // namespace

TEST_F(DialogTest, DoModalReturnsWhatEndDialogWasGiven) {
    ScriptedDialog dialog;
    HWND window = nullptr;
    dialog.step = [&](ScriptedDialog& d) {
        window = d.m_hWnd;
        d.EndDialog(42);
    };
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(dialog.m_hWnd, nullptr) << "still attached after the window was destroyed";
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(DialogTest, InitDialogReturnValueDecidesTheFocus) {
    for (BOOL result : {TRUE, FALSE}) {
        ScriptedDialog dialog;
        HWND chosen = nullptr, focus = nullptr;
        dialog.init = [&](ScriptedDialog& d) {
            // Focus on the first static text: TRUE lets the dialog manager move it on to the
            // first tab stop, FALSE keeps it where OnInitDialog put it.
            chosen = GetWindow(d.m_hWnd, GW_CHILD);
            SetFocus(chosen);
            PostMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(kStep, 0), 0);
            return result;
        };
        dialog.step = [&](ScriptedDialog& d) {
            focus = GetFocus();
            if (result) {
                EXPECT_EQ(focus, OkButton(d));
            }
            d.EndDialog(IDOK);
        };
        dialog.DoModal();
        ASSERT_NE(chosen, nullptr);
        if (!result) {
            EXPECT_EQ(focus, chosen);
        }
    }
}

TEST_F(DialogTest, EveryMessageGoesThroughTheObject) {
    ScriptedDialog dialog;
    dialog.step = [](ScriptedDialog& d) {
        // Shown and painted now: the dialog manager would only show it once the queue is empty.
        ShowWindow(d.m_hWnd, SW_SHOW);
        UpdateWindow(d.m_hWnd);
        SendMessageA(d.m_hWnd, WM_USER + 7, 0, 0);
        d.EndDialog(IDOK);
    };
    dialog.DoModal();
    auto saw = [&](UINT message) {
        for (UINT m : dialog.seen)
            if (m == message)
                return true;
        return false;
    };
    EXPECT_TRUE(saw(WM_INITDIALOG));
    EXPECT_TRUE(saw(WM_USER + 7));
    EXPECT_TRUE(saw(WM_PAINT)) << "painting bypassed the object";
    // Sent by BeginPaint inside the dialog manager's WM_PAINT handling, which Default() ran.
    EXPECT_TRUE(saw(WM_ERASEBKGND)) << "the default painting bypassed the object";
}

TEST_F(DialogTest, UnhandledMessagesReachTheDialogManager) {
    ScriptedDialog dialog;
    LRESULT defId = 0;
    std::string caption;
    dialog.step = [&](ScriptedDialog& d) {
        // Only the dialog manager's own procedure knows the default button.
        defId = SendMessageA(d.m_hWnd, DM_GETDEFID, 0, 0);
        caption = foreign::Text(d.m_hWnd, 1000, "");
        d.EndDialog(IDOK);
    };
    dialog.DoModal();
    EXPECT_EQ(HIWORD(defId), DC_HASDEFID);
    EXPECT_EQ(LOWORD(defId), IDOK);
    EXPECT_EQ(caption, "Info \xFC"
                       "ber Korvo2016 - SP");
}

TEST_F(DialogTest, EscapeAndCloseBoxEndWithCancel) {
    for (UINT how : {0u, 1u}) {
        ScriptedDialog dialog;
        dialog.step = [&](ScriptedDialog& d) {
            if (how == 0) {
                PostMessageA(OkButton(d), WM_KEYDOWN, VK_ESCAPE, 1);
                PostMessageA(OkButton(d), WM_KEYUP, VK_ESCAPE, 0xC0000001);
            } else {
                PostMessageA(d.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
        };
        EXPECT_EQ(dialog.DoModal(), IDCANCEL) << (how == 0 ? "Escape" : "close box");
    }
}

TEST_F(DialogTest, OkButtonEndsWithOk) {
    ScriptedDialog dialog;
    dialog.step = [](ScriptedDialog& d) { PostMessageA(OkButton(d), BM_CLICK, 0, 0); };
    EXPECT_EQ(dialog.DoModal(), IDOK);
}

TEST_F(DialogTest, CommandNoWindowMapsGoesToTheApplication) {
    ScriptedDialog dialog;
    dialog.step = [](ScriptedDialog& d) {
        SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(kAppOnly, 0), 0);
        d.EndDialog(IDOK);
    };
    dialog.DoModal();
    EXPECT_EQ(app.appOnlyCalls, 1);
}

TEST_F(DialogTest, DialogWithoutParentIsOwnedByTheMainWindow) {
    ScriptedDialog main, inner;
    app.m_pMainWnd = &main;
    HWND owner = nullptr, mainWindow = nullptr;
    BOOL mainEnabled = TRUE;
    main.step = [&](ScriptedDialog& d) {
        inner.DoModal();
        d.EndDialog(IDOK);
    };
    inner.step = [&](ScriptedDialog& d) {
        owner = GetWindow(d.m_hWnd, GW_OWNER);
        mainWindow = main.m_hWnd;
        mainEnabled = IsWindowEnabled(main.m_hWnd);
        d.EndDialog(IDOK);
    };
    main.DoModal();
    EXPECT_NE(mainWindow, nullptr);
    EXPECT_EQ(owner, mainWindow);
    EXPECT_FALSE(mainEnabled) << "the main window took input under a modal dialog";
    EXPECT_EQ(app.m_pMainWnd, nullptr) << "the main window's end was not noticed";
}

TEST_F(DialogTest, ExceptionInAHandlerEndsTheDialogAndComesOutOfDoModal) {
    ScriptedDialog dialog;
    HWND window = nullptr;
    dialog.step = [&](ScriptedDialog& d) {
        window = d.m_hWnd;
        throw std::runtime_error("im Handler");
    };
    EXPECT_THROW(dialog.DoModal(), std::runtime_error);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    // The next dialog is not haunted by the first one's exception.
    ScriptedDialog next;
    next.step = [](ScriptedDialog& d) { d.EndDialog(7); };
    EXPECT_EQ(next.DoModal(), 7);
}

TEST_F(DialogTest, ExceptionInOnInitDialogComesOutOfDoModal) {
    ScriptedDialog dialog;
    dialog.init = [](ScriptedDialog&) -> BOOL { throw std::runtime_error("beim Start"); };
    EXPECT_THROW(dialog.DoModal(), std::runtime_error);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST_F(DialogTest, ExceptionInANestedDialogEndsBoth) {
    ScriptedDialog outer, inner;
    bool outerCarriedOn = false;
    outer.step = [&](ScriptedDialog& d) {
        inner.DoModal();
        outerCarriedOn = true;
        d.EndDialog(IDOK);
    };
    inner.step = [](ScriptedDialog&) { throw std::logic_error("innen"); };
    EXPECT_THROW(outer.DoModal(), std::logic_error);
    EXPECT_FALSE(outerCarriedOn);
    EXPECT_EQ(outer.m_hWnd, nullptr);
    EXPECT_EQ(inner.m_hWnd, nullptr);
}

// In this process, since Wine lets no other process read a window's menu.
static BOOL CALLBACK KeepVisibleDialog(HWND window, LPARAM found) {
    if (!foreign::IsDialog(window) || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Out of the whole program: WinMain ends it with a box under the program's own caption.
TEST(UnexpectedError, EndsTheProgramWithABoxUnderTheProgramsCaption) {
    EXPECT_STREQ(CServicePackDlg::kCaption, CServicePackApp().ErrorCaption().Bytes());
    struct ThrowingApp : CWinApp {
        ThrowingApp() : CWinApp("DialogTest") {}
        BOOL InitInstance() override { throw std::runtime_error("unerwartet"); }
        CDisplayText ErrorCaption() const override { return "Z\xE4hler - Fehler"; }
    } app;
    const DWORD thread = GetCurrentThreadId();
    std::string caption = "(no box)", text;
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i, Sleep(10)) {
            HWND box = nullptr;
            EnumThreadWindows(thread, KeepVisibleDialog, reinterpret_cast<LPARAM>(&box));
            if (box && foreign::Answers(box, 2000)) {
                caption = foreign::Text(box, 2000, "");
                text = foreign::Text(GetDlgItem(box, 0xFFFF), 2000, "");
                foreign::Press(box, IDOK);
                return;
            }
        }
    });
    EXPECT_EQ(1, WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOW));
    reader.join();
    EXPECT_EQ("Z\xE4hler - Fehler", caption);
    EXPECT_EQ("Das Programm wurde wegen eines unerwarteten Fehlers beendet. "
              "Bitte starten Sie es erneut.",
              text);
}

TEST_F(DialogTest, MainDialogAddsTheAboutItemSetsBothIconsAndErasesItsBackground) {
    ScriptedMainDialog dialog;
    std::string about;
    UINT aboutId = 0, separator = 0;
    HICON big = nullptr, small = nullptr;
    LRESULT erased = 0;
    dialog.step = [&](ScriptedMainDialog& d) {
        HMENU menu = GetSystemMenu(d.m_hWnd, FALSE);
        const int count = GetMenuItemCount(menu);
        wchar_t text[64] = L"";
        GetMenuStringW(menu, count - 1, text, 64, MF_BYPOSITION);
        about = foreign::Encode(text, 1252);
        aboutId = GetMenuItemID(menu, count - 1);
        separator = GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR;
        big = reinterpret_cast<HICON>(SendMessageA(d.m_hWnd, WM_GETICON, ICON_BIG, 0));
        small = reinterpret_cast<HICON>(SendMessageA(d.m_hWnd, WM_GETICON, ICON_SMALL, 0));
        HDC dc = GetDC(d.m_hWnd);
        erased = SendMessageA(d.m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(d.m_hWnd, dc);
        d.EndDialog(IDOK);
    };
    dialog.DoModal();
    EXPECT_EQ("Info \xFC"
              "ber Korvo2013 - SP...",
              about);
    EXPECT_EQ(UINT(IDM_ABOUTBOX), aboutId);
    EXPECT_NE(0u, separator) << "no separator before the About item";
    EXPECT_NE(nullptr, dialog.Icon());
    EXPECT_EQ(dialog.Icon(), big);
    EXPECT_EQ(dialog.Icon(), small);
    EXPECT_NE(0, erased) << "the background erase reported that nothing was erased";
}
