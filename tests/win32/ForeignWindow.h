// Windows of another thread or process, read and worked with bounded waits, so that a hung or
// vanished window fails a check instead of hanging it. Shared by the Windows tests and the
// end-to-end window driver, which is compiled on its own.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

namespace foreign {

// The window's text; fallback when there is no window or it does not answer in time.
inline std::string Text(HWND window, DWORD timeoutMs, const char* fallback) {
    char text[1024] = "";
    if (!window ||
        !SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, timeoutMs, nullptr))
        return fallback;
    return text;
}

// Whether the window's thread answers: it is in its message loop, set up and ready for input.
inline bool Answers(HWND window, DWORD timeoutMs) {
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, nullptr) != 0;
}

// WM_COMMAND as button id sends it; posted, it also reaches a dialog whose button is grey.
inline void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Of the dialog class, as message boxes and the shell's folder browser are.
inline bool IsDialog(HWND window) {
    char name[16] = "";
    return GetClassNameA(window, name, sizeof name) && std::strcmp(name, "#32770") == 0;
}

// A visible static control that shows an icon. Its id differs (0x14 in a Windows message box,
// 0x440 in Wine's); its SS_ICON style finds it on both.
inline bool IsIcon(HWND child) {
    char name[16] = "";
    GetClassNameA(child, name, sizeof name);
    return _stricmp(name, "Static") == 0 &&
           (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child);
}

} // namespace foreign
