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
//   WindowDriver state <caption>             caption, focus, controls and where the window
//                                            and its client area are on the screen
//   WindowDriver endsession <caption>        its answer to WM_QUERYENDSESSION, as at logoff
//   WindowDriver run <command line> <ms>     runs it: exit code in full, windows=0 if none seen
//   WindowDriver alive <caption> <ms> <id>...  while the window's pass runs, until a message
//                                            box of it is up: its slowest answer, whether the
//                                            system took it for hung, what its start button
//                                            showed; presses each control id and closes it
//                                            meanwhile
//
// The shell's folder browser and the message boxes of the process that shows <caption>:
//   WindowDriver browser <caption> <ms>      until its browser is up; title, status line,
//                                            owner and whether OK is enabled
//   WindowDriver select <caption> <folder>   selects the folder in that browser, as a click
//                                            in its tree would; the status line afterwards
//   WindowDriver browser-press <caption> <id> <ms>   presses button id, until it is gone
//   WindowDriver message <caption> <ms>      until a message box owned by the window is up;
//                                            caption, text lines, icon kind, buttons, place
//   WindowDriver message-press <caption> <id> <ms>   presses button id, until it is gone
//
// A caption that ends in '*' matches every caption that starts with the rest; where windows
// share a caption (a message box takes its owner's), the unowned one counts. Exit status 0
// on success, 1 when the window is missing or the wait ran out, 2 on bad usage. Texts in and
// out are UTF-8, whatever the ANSI code page: what the windows show, read in UTF-16.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../win32/ForeignWindow.h"

namespace {

bool Matches(const std::string& text, const std::string& pattern) {
    if (!pattern.empty() && pattern.back() == '*')
        return text.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return text == pattern;
}

std::string TextOf(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return foreign::Encode(text, CP_UTF8);
}

std::wstring WideOf(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(
        CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], utf8.size() + 1)));
    return wide;
}

struct Search {
    const std::string* pattern;
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (!IsWindowVisible(window) || !Matches(TextOf(window), *search->pattern))
        return TRUE;
    if (!search->found || (GetWindow(search->found, GW_OWNER) && !GetWindow(window, GW_OWNER)))
        search->found = window;
    return TRUE;
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

void PrintPlace(HWND window) {
    RECT place;
    GetWindowRect(window, &place);
    printf("window=%ld %ld %ld %ld\n", place.left, place.top, place.right - place.left,
           place.bottom - place.top);
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
    PrintPlace(window);
    // What an unpainted dialog background would show.
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    printf("face=%02x%02x%02x\n", GetRValue(face), GetGValue(face), GetBValue(face));
}

const DWORD kReplyMs = 5000;

// Text of a control of another process, without waiting forever on its thread.
std::string ControlText(HWND window, int id) {
    return foreign::Text(GetDlgItem(window, id), kReplyMs, "", CP_UTF8);
}

// The control ids of the shell's classic folder browser, the same in Wine.
const int kTreeId = 0x3741, kTitleId = 0x3742, kStatusId = 0x3743;
// The text of a message box; the About box's statics share this id, not its caption.
const int kMessageTextId = 0xFFFF;

struct Related {
    HWND main;
    bool browser; // else: a message box owned by main
    HWND found;
};

BOOL CALLBACK VisitRelated(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Related*>(data);
    if (window == search->main || !foreign::IsDialog(window) || !IsWindowVisible(window))
        return TRUE;
    bool match;
    if (search->browser) {
        DWORD process = 0, mainProcess = 0;
        GetWindowThreadProcessId(window, &process);
        GetWindowThreadProcessId(search->main, &mainProcess);
        match = process == mainProcess && GetDlgItem(window, kTreeId);
    } else {
        match = GetWindow(window, GW_OWNER) == search->main && GetDlgItem(window, kMessageTextId);
    }
    if (!match)
        return TRUE;
    search->found = window;
    return FALSE;
}

// The folder browser of main's process, or a message box that main owns, once it answers.
HWND WaitRelated(HWND main, bool browser, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        Related search = {main, browser, nullptr};
        EnumWindows(VisitRelated, reinterpret_cast<LPARAM>(&search));
        if (search.found && foreign::Answers(search.found, kReplyMs))
            return search.found;
        if (GetTickCount() - start >= ms)
            return nullptr;
        Sleep(50);
    }
}

bool WaitGone(HWND window, DWORD ms) {
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(50);
    }
    return true;
}

// BFFM_SETSELECTIONW takes a pointer that the browser reads in its own process, so the path
// is written there first.
bool SelectFolder(HWND browser, const std::string& utf8) {
    const std::wstring folder = WideOf(utf8);
    const size_t bytes = (folder.size() + 1) * sizeof(wchar_t);
    DWORD id = 0;
    GetWindowThreadProcessId(browser, &id);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, id);
    if (!process) {
        fprintf(stderr, "OpenProcess(%lu): error %lu\n", id, GetLastError());
        return false;
    }
    void* remote =
        VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool sent = remote && WriteProcessMemory(process, remote, folder.c_str(), bytes, nullptr) &&
                SendMessageTimeoutW(browser, WM_USER + 103, TRUE, reinterpret_cast<LPARAM>(remote),
                                    SMTO_ABORTIFHUNG, kReplyMs, nullptr);
    if (!sent)
        fprintf(stderr, "could not hand %s to the browser: error %lu\n", utf8.c_str(),
                GetLastError());
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return sent;
}

void PrintBrowser(HWND browser) {
    printf("title=%s\n", ControlText(browser, kTitleId).c_str());
    printf("status=%s\n", ControlText(browser, kStatusId).c_str());
    printf("owner=%s\n", GetWindow(browser, GW_OWNER) ? "some" : "none");
    printf("ok=%d\n", IsWindowEnabled(GetDlgItem(browser, IDOK)) ? 1 : 0);
}

BOOL CALLBACK KeepIfIcon(HWND child, LPARAM data) {
    if (!foreign::IsIcon(child))
        return TRUE;
    *reinterpret_cast<HWND*>(data) = child;
    return FALSE;
}

// A 32-bit top-down picture to draw into and compare.
struct Picture {
    Picture(HDC screen, int w, int h) : width(w), height(h) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(screen);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~Picture() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Pixels that differ clearly; edges the icon blends into the background may differ a bit.
    int Differences(const Picture& other) const {
        GdiFlush();
        int count = 0;
        for (int i = 0; i < width * height; ++i)
            for (int shift = 0; shift < 24; shift += 8)
                if (abs(int((bits[i] >> shift) & 0xFF) - int((other.bits[i] >> shift) & 0xFF)) >
                    24) {
                    ++count;
                    break;
                }
        return count;
    }

    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits = nullptr;
};

// Which system icon the message box shows. Its handle cannot tell: Wine loads the system
// icons anew in each process, so this program's LoadIconA handles differ from the box's. The
// picture on screen is compared instead with each system icon drawn the way a static draws
// it, over the background the captured picture shows at its corner.
std::string IconKind(HWND box) {
    HWND icon = nullptr;
    EnumChildWindows(box, KeepIfIcon, reinterpret_cast<LPARAM>(&icon));
    if (!icon)
        return "none";
    RECT client;
    GetClientRect(icon, &client);
    POINT origin = {0, 0};
    ClientToScreen(icon, &origin);
    HDC screen = GetDC(nullptr);
    Picture shown(screen, client.right, client.bottom);
    const struct {
        LPCSTR id;
        const char* name;
    } kinds[] = {{IDI_INFORMATION, "information"},
                 {IDI_WARNING, "warning"},
                 {IDI_ERROR, "error"},
                 {IDI_QUESTION, "question"}};
    std::string kind = "unknown";
    // The box may not have painted yet.
    for (int attempt = 0; attempt < 40 && kind == "unknown"; ++attempt, Sleep(50)) {
        BitBlt(shown.dc, 0, 0, shown.width, shown.height, screen, origin.x, origin.y, SRCCOPY);
        GdiFlush();
        int best = shown.width * shown.height, second = best;
        for (const auto& k : kinds) {
            Picture drawn(screen, shown.width, shown.height);
            DWORD corner = shown.bits[0]; // 0xRRGGBB
            HBRUSH background =
                CreateSolidBrush(RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF));
            FillRect(drawn.dc, &client, background);
            DeleteObject(background);
            DrawIconEx(drawn.dc, 0, 0, LoadIconA(nullptr, k.id), shown.width, shown.height, 0,
                       nullptr, DI_NORMAL);
            int differences = drawn.Differences(shown);
            if (differences < best) {
                second = best;
                best = differences;
                if (best * 20 <= shown.width * shown.height)
                    kind = k.name;
            } else if (differences < second) {
                second = differences;
            }
        }
        // Two icons alike enough to pass would make the answer a guess.
        if (kind != "unknown" && second < 4 * best + 16)
            kind = "unknown";
    }
    ReleaseDC(nullptr, screen);
    return kind;
}

void PrintMessage(HWND box) {
    printf("caption=%s\n", TextOf(box).c_str());
    std::string text = ControlText(box, kMessageTextId);
    for (size_t begin = 0, end; begin <= text.size(); begin = end + 1) {
        end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        printf("text=%s\n", text.substr(begin, end - begin).c_str());
    }
    printf("icon=%s\n", IconKind(box).c_str());
    std::string shown;
    const struct {
        int id;
        const char* name;
    } buttons[] = {{IDOK, "ok"},       {IDCANCEL, "cancel"}, {IDYES, "yes"},      {IDNO, "no"},
                   {IDABORT, "abort"}, {IDRETRY, "retry"},   {IDIGNORE, "ignore"}};
    for (const auto& b : buttons) {
        HWND button = GetDlgItem(box, b.id);
        if (button && IsWindowVisible(button))
            shown += shown.empty() ? b.name : std::string(",") + b.name;
    }
    printf("buttons=%s\n", shown.c_str());
    PrintPlace(box);
}

unsigned long Number(const char* text) {
    return strtoul(text, nullptr, 0);
}

// The window probed every few milliseconds with a message that must wait for its thread to
// read the queue. Windows takes a window for hung after five seconds without such a read.
int Alive(HWND window, DWORD ms, char** ids, int idCount) {
    const DWORD start = GetTickCount();
    DWORD slowest = 0;
    int probes = 0;
    bool hung = false, pressed = false;
    std::vector<std::string> shown;
    while (GetTickCount() - start < ms) {
        Related box = {window, false, nullptr};
        EnumWindows(VisitRelated, reinterpret_cast<LPARAM>(&box));
        if (box.found)
            break;
        const DWORD sent = GetTickCount();
        DWORD_PTR result;
        if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result))
            break; // gone
        slowest = std::max(slowest, GetTickCount() - sent);
        hung = hung || IsHungAppWindow(window);
        const std::string text = ControlText(window, 1001);
        if (std::find(shown.begin(), shown.end(), text) == shown.end())
            shown.push_back(text);
        if (++probes == 2 && !pressed) {
            for (int i = 0; i < idCount; ++i)
                foreign::Press(window, static_cast<int>(Number(ids[i])));
            PostMessageA(window, WM_CLOSE, 0, 0);
            pressed = true;
        }
        Sleep(20);
    }
    printf("duration=%lu\nprobes=%d\nslowest=%lu\nhung=%d\n", GetTickCount() - start, probes,
           slowest, hung ? 1 : 0);
    for (const std::string& text : shown)
        printf("shown=%s\n", text.c_str());
    return pressed ? 0 : 1;
}

BOOL CALLBACK CountShown(HWND window, LPARAM counted) {
    auto* count = reinterpret_cast<std::pair<DWORD, int>*>(counted);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    count->second += process == count->first && IsWindowVisible(window);
    return TRUE;
}

int Run(const std::string& commandLine, DWORD ms) {
    std::wstring line = WideOf(commandLine);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 1;
    std::pair<DWORD, int> shown(process.dwProcessId, 0);
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT && GetTickCount() - start < ms)
        EnumWindows(CountShown, reinterpret_cast<LPARAM>(&shown));
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    if (code == STILL_ACTIVE)
        TerminateProcess(process.hProcess, 1);
    printf("exit=%lu\nwindows=%d\n", code, shown.second);
    return code == STILL_ACTIVE ? 1 : 0;
}

int Drive(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: WindowDriver <command> <caption> ...\n");
        return 2;
    }
    std::string command = argv[1], caption = argv[2];
    if (command == "run" && argc == 4)
        return Run(caption, Number(argv[3]));
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
        foreign::Press(window, static_cast<int>(Number(argv[3])));
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
    if (command == "alive" && argc >= 4)
        return Alive(window, Number(argv[3]), argv + 4, argc - 4);
    if (command == "endsession" && argc == 3) {
        DWORD_PTR answer = 2;
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, kReplyMs,
                            &answer);
        printf("%lu\n", static_cast<unsigned long>(answer));
        return 0;
    }
    if (command == "state" && argc == 3) {
        PrintState(window);
        return 0;
    }
    if ((command == "browser" || command == "message") && argc == 4) {
        HWND related = WaitRelated(window, command == "browser", Number(argv[3]));
        if (!related) {
            fprintf(stderr, "no %s of %s after %s ms\n",
                    command == "browser" ? "folder browser" : "message box", caption.c_str(),
                    argv[3]);
            return 1;
        }
        if (command == "browser")
            PrintBrowser(related);
        else
            PrintMessage(related);
        return 0;
    }
    if (command == "select" && argc == 4) {
        HWND browser = WaitRelated(window, true, 0);
        if (!browser || !SelectFolder(browser, argv[3]))
            return 1;
        PrintBrowser(browser);
        return 0;
    }
    if ((command == "browser-press" || command == "message-press") && argc == 5) {
        HWND related = WaitRelated(window, command == "browser-press", 0);
        if (!related) {
            fprintf(stderr, "nothing to press on for %s\n", caption.c_str());
            return 1;
        }
        foreign::Press(related, static_cast<int>(Number(argv[3])));
        if (WaitGone(related, Number(argv[4])))
            return 0;
        fprintf(stderr, "still shown %s ms after pressing %s\n", argv[4], argv[3]);
        return 1;
    }
    fprintf(stderr, "bad usage of %s\n", command.c_str());
    return 2;
}

} // namespace

// The arguments in UTF-16, so that no caption or path passes through the ANSI code page.
int main() {
    int argc = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    std::vector<char*> argv;
    for (int i = 0; i < argc; ++i)
        args.push_back(foreign::Encode(wide[i], CP_UTF8));
    LocalFree(wide);
    for (std::string& arg : args)
        argv.push_back(&arg[0]);
    return Drive(argc, argv.data());
}
