// The least a dialog program can do: the yardstick for install.exe's time to its window.
#include <windows.h>
#ifdef KQ_LIKE_INSTALLER
#include <shlobj.h>
#endif

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
#ifdef KQ_LIKE_INSTALLER
        // Never taken (DialogBoxParamA passes 0); it makes shell32 an import, as in install.exe.
        if (lParam == 1)
            SHBrowseForFolderA(nullptr);
#else
        (void)lParam;
#endif
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(1), nullptr, DialogProc, 0));
}
