// Windows of another thread or process, read and worked with bounded waits, so that a hung or
// vanished window fails a check instead of hanging it. Shared by the Windows tests and the
// end-to-end window driver, which is compiled on its own.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

namespace foreign {

// Text in a code page, '?' for what it lacks: never a look-alike, so that a wrong character
// never passes for the right one.
inline std::string Encode(const std::wstring& text, UINT codePage) {
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(text.size());
    std::string encoded(text.size() * 4, '\0');
    encoded.resize(static_cast<size_t>(WideCharToMultiByte(
        codePage, flags, text.data(), size, &encoded[0], size * 4, nullptr, nullptr)));
    return encoded;
}

// The text as the window shows it, spelt in Windows-1252 (or another code page); fallback when
// there is no window or it does not answer in time.
inline std::string Text(HWND window, DWORD timeoutMs, const char* fallback, UINT codePage = 1252) {
    wchar_t text[1024] = L"";
    if (!window ||
        !SendMessageTimeoutW(window, WM_GETTEXT, sizeof text / sizeof *text,
                             reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, timeoutMs, nullptr))
        return fallback;
    return Encode(text, codePage);
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
