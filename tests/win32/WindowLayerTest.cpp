// The Windows backend of the window classes: where commands go, the window members the logic
// calls on real windows, drawing contexts, the wait cursor, the application object, keep-alive.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DC.h"
#include "KeepAlive.h"
#include "app/RedirectionGuard.h"
#include "WaitCursor.h"
#include "WinApp.h"
#include "Wnd.h"
#include "res/resource.h"

namespace {

const UINT kWindowCommand = 4000;
const UINT kUnmappedCommand = 4001;

WPARAM Command(UINT id) {
    return MAKEWPARAM(id, 0);
}

class CountingApp : public CWinApp {
public:
    CountingApp() : CWinApp("Z\xE4hler") {}

    void OnHelpCommand() { ++helpCalls; }
    void OnWindowCommand() { ++windowCommandCalls; }

    int helpCalls = 0;
    int windowCommandCalls = 0;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CountingApp, CWinApp)
ON_COMMAND(CountingApp, ID_HELP, OnHelpCommand)
ON_COMMAND(CountingApp, kWindowCommand, OnWindowCommand)
END_MESSAGE_MAP()

class CountingWnd : public CWnd {
public:
    void OnWindowCommand() { ++windowCommandCalls; }

    int windowCommandCalls = 0;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CountingWnd, CWnd)
ON_COMMAND(CountingWnd, kWindowCommand, OnWindowCommand)
END_MESSAGE_MAP()

// A top-level window with one child control, destroyed with the object.
class RealWindow {
public:
    static const int kChildId = 1000;

    RealWindow() {
        m_parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
        m_child =
            CreateWindowExA(0, "BUTTON", "Knopf", WS_CHILD | BS_PUSHBUTTON, 0, 0, 80, 20, m_parent,
                            reinterpret_cast<HMENU>(kChildId), GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(m_child, nullptr) << "CreateWindowExA: error " << GetLastError();
        wnd.m_hWnd = m_parent;
    }
    ~RealWindow() {
        wnd.m_hWnd = nullptr;
        DestroyWindow(m_parent);
    }

    HWND Child() const { return m_child; }

    CWnd wnd;

private:
    HWND m_parent = nullptr;
    HWND m_child = nullptr;
};

std::string TextOf(HWND window) {
    char text[4096] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// A memory context holding a fresh width x height bitmap of the screen's format.
struct Canvas {
    Canvas(int width, int height) {
        HDC screen = GetDC(nullptr);
        bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        dc.CreateCompatibleDC(nullptr);
        previous = dc.SelectObject(bitmap);
        RECT all = {0, 0, width, height};
        FillRect(dc.m_hDC, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Canvas() {
        dc.SelectObject(previous);
        dc.DeleteDC();
        DeleteObject(bitmap);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc.m_hDC, x, y); }
    void Set(int x, int y, COLORREF colour) { SetPixel(dc.m_hDC, x, y, colour); }

    CDC dc;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};

} // namespace

TEST(CommandRouting, CommandTheWindowLeavesGoesToTheApplication) {
    CountingApp app;
    CountingWnd wnd; // no window: only the routing is at stake
    EXPECT_EQ(wnd.WindowProc(WM_COMMAND, Command(ID_HELP), 0), 0);
    EXPECT_EQ(app.helpCalls, 1);
    EXPECT_EQ(wnd.windowCommandCalls, 0);
}

TEST(CommandRouting, WindowMapComesBeforeTheApplications) {
    CountingApp app;
    CountingWnd wnd;
    wnd.WindowProc(WM_COMMAND, Command(kWindowCommand), 0);
    EXPECT_EQ(wnd.windowCommandCalls, 1);
    EXPECT_EQ(app.windowCommandCalls, 0);
}

TEST(CommandRouting, CommandNobodyMapsReachesNoHandler) {
    CountingApp app;
    CountingWnd wnd;
    EXPECT_EQ(wnd.WindowProc(WM_COMMAND, Command(kUnmappedCommand), 0), 0);
    EXPECT_EQ(app.helpCalls + app.windowCommandCalls + wnd.windowCommandCalls, 0);
}

TEST(CommandRouting, OnlyCommandsAreOfferedToTheApplication) {
    CountingApp app;
    CWnd wnd;
    // WM_SYSCOMMAND carries its id in wParam like a command; the application takes none.
    wnd.WindowProc(WM_SYSCOMMAND, ID_HELP, 0);
    EXPECT_EQ(app.helpCalls, 0);
}

TEST(CommandRouting, NoApplicationObjectIsNoFault) {
    ASSERT_EQ(AfxGetApp(), nullptr);
    CountingWnd wnd;
    EXPECT_EQ(wnd.WindowProc(WM_COMMAND, Command(ID_HELP), 0), 0);
}

TEST(ApplicationObject, RegistersForItsLifetime) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        CountingApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_STREQ(app.m_pszAppName, "Z\xE4hler");
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST(ApplicationObject, NullNameIsTheExecutablesName) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    char name[_MAX_FNAME] = "";
    _splitpath(path, nullptr, nullptr, name, nullptr);
    CWinApp app(nullptr);
    EXPECT_STREQ(app.m_pszAppName, name) << "executable: " << path;
    EXPECT_STRNE(app.m_pszAppName, "");
}

TEST(ApplicationObject, ResourcesComeFromTheExecutableByDefault) {
    CWinApp app;
    EXPECT_EQ(AfxGetResourceHandle(), GetModuleHandleA(nullptr));
}

static struct {
    int calls, policy;
    DWORD flags;
    SIZE_T length;
} asked;

static BOOL WINAPI RecordMitigation(int policy, PVOID buffer, SIZE_T length) {
    asked = {asked.calls + 1, policy, *static_cast<DWORD*>(buffer), length};
    return TRUE;
}

TEST(ApplicationObject, RedirectionGuardIsAskedForWheneverTheSystemHasTheFunction) {
    EXPECT_EQ(reinterpret_cast<void*>(
                  GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetProcessMitigationPolicy")),
              reinterpret_cast<void*>(optional_api::SetProcessMitigationPolicy()));
    EXPECT_FALSE(TurnOnRedirectionGuard(nullptr)) << "nothing to ask, and the start goes on";
    EXPECT_TRUE(TurnOnRedirectionGuard(RecordMitigation));
    EXPECT_EQ(1, asked.calls);
    EXPECT_EQ(16, asked.policy) << "ProcessRedirectionTrustPolicy";
    EXPECT_EQ(1u, asked.flags) << "EnforceRedirectionTrust alone";
    EXPECT_EQ(sizeof(DWORD), asked.length);
}

TEST(WindowMembers, DlgItemWrapsTheChildOnce) {
    RealWindow window;
    CWnd* child = window.wnd.GetDlgItem(RealWindow::kChildId);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->m_hWnd, window.Child());
    EXPECT_EQ(window.wnd.GetDlgItem(RealWindow::kChildId), child);
    EXPECT_EQ(window.wnd.GetDlgItem(RealWindow::kChildId + 1), nullptr);
}

TEST(WindowMembers, EnableWindowSaysWhetherItWasDisabled) {
    RealWindow window;
    CWnd* child = window.wnd.GetDlgItem(RealWindow::kChildId);
    ASSERT_NE(child, nullptr);
    EXPECT_FALSE(child->EnableWindow(FALSE));
    EXPECT_FALSE(child->IsWindowEnabled());
    EXPECT_FALSE(IsWindowEnabled(window.Child()));
    EXPECT_TRUE(child->EnableWindow(FALSE));
    EXPECT_TRUE(child->EnableWindow(TRUE));
    EXPECT_TRUE(child->IsWindowEnabled());
}

TEST(WindowMembers, TextRoundTripsAsAnsiBytes) {
    RealWindow window;
    CWnd* child = window.wnd.GetDlgItem(RealWindow::kChildId);
    ASSERT_NE(child, nullptr);
    const char german[] = "C:\\Programme\\Korvo \xC4nderungen \xFC\xF6\xE4\xDF";
    child->SetWindowTextA(german);
    EXPECT_EQ(TextOf(window.Child()), german);
    CString text;
    child->GetWindowTextA(text);
    EXPECT_STREQ(text, german);
}

TEST(WindowMembers, TextOfAnyLength) {
    RealWindow window;
    const std::string longText(1500, 'k');
    for (const std::string& sent : {std::string(), std::string("x"), longText}) {
        SetWindowTextA(window.Child(), sent.c_str());
        CString text("vorher");
        window.wnd.GetDlgItem(RealWindow::kChildId)->GetWindowTextA(text);
        EXPECT_EQ(text.GetLength(), static_cast<int>(sent.size()));
        EXPECT_STREQ(text, sent.c_str());
    }
}

TEST(WindowMembers, SendMessageReachesTheWindow) {
    RealWindow window;
    CWnd* child = window.wnd.GetDlgItem(RealWindow::kChildId);
    ASSERT_NE(child, nullptr);
    child->SendMessageA(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("gesendet"));
    EXPECT_EQ(TextOf(window.Child()), "gesendet");
    EXPECT_EQ(child->SendMessageA(WM_GETTEXTLENGTH), 8);
}

TEST(DrawingContext, CreatedContextGoesWithTheObject) {
    HDC made;
    {
        CDC dc;
        ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
        made = dc.GetSafeHdc();
        EXPECT_EQ(GetObjectType(made), static_cast<DWORD>(OBJ_MEMDC));
    }
    EXPECT_EQ(GetObjectType(made), 0u) << "the memory context outlived its CDC";
}

TEST(DrawingContext, DetachedContextStaysTheCallers) {
    HDC borrowed = CreateCompatibleDC(nullptr);
    {
        CDC dc;
        dc.Attach(borrowed);
        EXPECT_EQ(dc.Detach(), borrowed);
        EXPECT_EQ(dc.GetSafeHdc(), nullptr);
    }
    EXPECT_EQ(GetObjectType(borrowed), static_cast<DWORD>(OBJ_MEMDC));
    DeleteDC(borrowed);
}

TEST(DrawingContext, DeleteDCEmptiesTheObject) {
    CDC dc;
    EXPECT_FALSE(dc.DeleteDC());
    dc.CreateCompatibleDC(nullptr);
    HDC made = dc.GetSafeHdc();
    EXPECT_TRUE(dc.DeleteDC());
    EXPECT_EQ(dc.GetSafeHdc(), nullptr);
    EXPECT_EQ(GetObjectType(made), 0u);
}

TEST(DrawingContext, StretchBltMapsSourceRectangleOntoDestination) {
    // Source: a 4 x 4 picture whose 2 x 2 block at (1, 1) is red, green over blue, black.
    Canvas source(4, 4);
    source.Set(1, 1, RGB(255, 0, 0));
    source.Set(2, 1, RGB(0, 255, 0));
    source.Set(1, 2, RGB(0, 0, 255));
    source.Set(2, 2, RGB(0, 0, 0));
    // Destination: that block doubled, at (3, 5).
    Canvas target(10, 10);
    ASSERT_TRUE(target.dc.StretchBlt(3, 5, 4, 4, &source.dc, 1, 1, 2, 2, SRCCOPY));
    EXPECT_EQ(target.At(3, 5), RGB(255, 0, 0));
    EXPECT_EQ(target.At(4, 6), RGB(255, 0, 0));
    EXPECT_EQ(target.At(5, 5), RGB(0, 255, 0));
    EXPECT_EQ(target.At(3, 7), RGB(0, 0, 255));
    EXPECT_EQ(target.At(6, 8), RGB(0, 0, 0));
    // Nothing outside the destination rectangle.
    EXPECT_EQ(target.At(2, 5), RGB(255, 255, 255));
    EXPECT_EQ(target.At(7, 5), RGB(255, 255, 255));
    EXPECT_EQ(target.At(3, 4), RGB(255, 255, 255));
    EXPECT_EQ(target.At(3, 9), RGB(255, 255, 255));
}

TEST(DrawingContext, DrawIconDrawsAtTheGivenPoint) {
    const int size = GetSystemMetrics(SM_CXICON);
    Canvas canvas(3 * size, 3 * size);
    ASSERT_TRUE(canvas.dc.DrawIcon(size, size, LoadIconA(nullptr, IDI_ERROR)));
    auto painted = [&](int left, int top) {
        for (int y = top; y < top + size; ++y)
            for (int x = left; x < left + size; ++x)
                if (canvas.At(x, y) != RGB(255, 255, 255))
                    return true;
        return false;
    };
    EXPECT_TRUE(painted(size, size));
    EXPECT_FALSE(painted(0, 0));
    EXPECT_FALSE(painted(2 * size, 2 * size));
}

TEST(WaitCursor, ShownWhileAliveThenThePreviousCursorReturns) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    SetCursor(arrow);
    {
        CWaitCursor outer;
        EXPECT_EQ(GetCursor(), wait);
        {
            CWaitCursor inner;
            EXPECT_EQ(GetCursor(), wait);
        }
        EXPECT_EQ(GetCursor(), wait) << "an inner wait cursor ended the outer one";
    }
    EXPECT_EQ(GetCursor(), arrow);
}

static std::vector<UINT> g_arrived;
static LRESULT CALLBACK Recording(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (l == 21) // posted by the test
        g_arrived.push_back(message);
    return DefWindowProcA(window, message, w, l);
}

// During a pass what the controller does not guard (keys, the system menu's About item) never
// reaches the window, the rest does, and the progress text changes at most four times a second.
TEST(KeepAlive, DropsInputServesTheRestAndShowsAtMostFourTextsASecond) {
    RealWindow window;
    SetWindowLongPtrA(window.wnd.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Recording));
    for (UINT message : {UINT(WM_KEYDOWN), UINT(WM_SYSCOMMAND), UINT(WM_APP)})
        PostMessageA(window.wnd.m_hWnd, message, message == WM_SYSCOMMAND ? IDM_ABOUTBOX : 0, 21);
    int shown = 0;
    {
        CKeepAlive alive(&window.wnd);
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 600; alive.Wait(10))
            if (alive.ShowDue() && ++shown)
                alive.Show("Datei");
    }
    EXPECT_EQ(std::vector<UINT>{WM_APP}, g_arrived) << "keys and the system menu dropped";
    EXPECT_TRUE(shown == 2 || shown == 3) << shown << " texts in 0.6 s";
}
