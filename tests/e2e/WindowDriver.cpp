// Drives the installer from outside, as a user would, for the end-to-end scripts: finds its
// windows by caption, clicks, presses keys and reads back what they show. A Windows console
// program, run under Wine next to the program under test.
//
//   WindowDriver wait <caption> <ms>         until a visible window has that caption
//   WindowDriver gone <caption> <ms>         until no visible window has it
//   WindowDriver click <caption> <id>        BN_CLICKED from control id, posted
//   WindowDriver syscommand <caption> <cmd>  WM_SYSCOMMAND, posted
//   WindowDriver key <caption> <vk>          key down and up at the window's focus
//   WindowDriver focus <caption> <id> <ms>   until the keyboard focus is on control id
//   WindowDriver state <caption>             caption, focus, controls and where the client
//                                            area is on the screen, one per line
//
// A caption that ends in '*' matches every caption that starts with the rest. Exit status 0
// on success, 1 when the window is missing or the wait ran out, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool Matches(const std::string& text, const std::string& pattern) {
    if (!pattern.empty() && pattern.back() == '*')
        return text.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return text == pattern;
}

std::string TextOf(HWND window) {
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct Search {
    const std::string* pattern;
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (!IsWindowVisible(window) || !Matches(TextOf(window), *search->pattern))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND Find(const std::string& pattern) {
    Search search = {&pattern, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitFor(const std::string& pattern, bool present, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if ((Find(pattern) != nullptr) == present)
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(50);
    }
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// The id of the control of window that has the keyboard focus, or -1.
int FocusedControl(HWND window) {
    HWND focus = FocusOf(window);
    return focus && GetParent(focus) == window ? GetDlgCtrlID(focus) : -1;
}

void PrintState(HWND window) {
    printf("caption=%s\n", TextOf(window).c_str());
    printf("enabled=%d\n", IsWindowEnabled(window) ? 1 : 0);
    printf("focus=%d\n", FocusedControl(window));
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        printf("control %d enabled=%d text=%s\n", GetDlgCtrlID(child),
               IsWindowEnabled(child) ? 1 : 0, TextOf(child).c_str());
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    printf("client=%ld %ld %ld %ld\n", origin.x, origin.y, client.right - client.left,
           client.bottom - client.top);
    // What an unpainted dialog background would show.
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    printf("face=%02x%02x%02x\n", GetRValue(face), GetGValue(face), GetBValue(face));
}

unsigned long Number(const char* text) {
    return strtoul(text, nullptr, 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: WindowDriver wait|gone|click|syscommand|key|state <caption> ...\n");
        return 2;
    }
    std::string command = argv[1], caption = argv[2];
    if ((command == "wait" || command == "gone") && argc == 4) {
        if (WaitFor(caption, command == "wait", Number(argv[3])))
            return 0;
        fprintf(stderr, "%s: still %s after %s ms\n", caption.c_str(),
                command == "wait" ? "not shown" : "shown", argv[3]);
        return 1;
    }
    HWND window = Find(caption);
    if (!window) {
        fprintf(stderr, "no visible window with caption %s\n", caption.c_str());
        return 1;
    }
    if (command == "click" && argc == 4) {
        int id = static_cast<int>(Number(argv[3]));
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
        return 0;
    }
    if (command == "syscommand" && argc == 4) {
        PostMessageA(window, WM_SYSCOMMAND, Number(argv[3]), 0);
        return 0;
    }
    if (command == "key" && argc == 4) {
        // The dialog's own loop takes posted keys through IsDialogMessage, as typed ones.
        HWND target = FocusOf(window);
        if (!target)
            target = window;
        WPARAM vk = Number(argv[3]);
        PostMessageA(target, WM_KEYDOWN, vk, 1);
        PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
        return 0;
    }
    if (command == "focus" && argc == 5) {
        int id = static_cast<int>(Number(argv[3]));
        DWORD start = GetTickCount(), ms = Number(argv[4]);
        while (FocusedControl(window) != id) {
            if (GetTickCount() - start >= ms) {
                fprintf(stderr, "focus is on %d, not on %d, after %lu ms\n", FocusedControl(window),
                        id, ms);
                return 1;
            }
            Sleep(50);
        }
        return 0;
    }
    if (command == "state" && argc == 3) {
        PrintState(window);
        return 0;
    }
    fprintf(stderr, "bad usage of %s\n", command.c_str());
    return 2;
}
