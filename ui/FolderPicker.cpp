#include "ui/FolderPicker.h"

#include <shlobj.h>

#include <cwchar>
#include <string>

#include "CodePages.h"
#include "WinApp.h"
#include "ui/ServicePackDlg.h"

namespace {

const char kUnnamable[] = "Dieser Ordner kann nicht verwendet werden, weil die Spracheinstellung "
                          "von Windows Zeichen seines Namens nicht darstellen kann:";
const char kChooseAnother[] = "Bitte w\xE4hlen Sie einen anderen Ordner.";

// Called by the browser for every notification: whatever item comes with it, show its folder
// path in the status line. Items without a path (and BFFM_INITIALIZED's null) leave it as is.
int CALLBACK BrowseCallback(HWND hwnd, UINT /*message*/, LPARAM lParam, LPARAM /*data*/) {
    wchar_t path[MAX_PATH] = L"";
    if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path))
        SendMessageW(hwnd, BFFM_SETSTATUSTEXTW, TRUE, reinterpret_cast<LPARAM>(path));
    return 0;
}

// A folder the ANSI code page cannot name is never used under a look-alike name: say so, with
// the folder's real name, over the program's window, and leave the choice as it was.
void RefuseUnnamable(const wchar_t* path) {
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    Utf16 text = WideText(CDisplayText(kUnnamable).Text("\n\n"));
    const Utf16 rest = WideText(CDisplayText("\n\n").Text(kChooseAnother));
    text.pop_back();
    text.insert(text.end(), path, path + wcslen(path));
    text.insert(text.end(), rest.begin(), rest.end());
    MessageBoxW(owner, text.data(), WideText(CServicePackDlg::kCaption).data(),
                MB_OK | MB_ICONWARNING);
}

} // namespace

int CFolderPicker::Browse() {
    IMalloc* malloc = nullptr;
    if (SHGetMalloc(&malloc) != S_OK)
        return 0;

    // In UTF-16 both ways: the title is Windows-1252, the path the ANSI code page's at the end.
    const Utf16 title = WideText(static_cast<const char*>(m_title));
    wchar_t path[MAX_PATH] = L"";
    BROWSEINFOW info = {};
    // No owner: the main dialog stays usable while the browser is open.
    info.hwndOwner = nullptr;
    info.pidlRoot = nullptr;
    info.pszDisplayName = path;
    info.lpszTitle = title.data();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_RETURNFSANCESTORS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(this);

    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item) {
        malloc->Release();
        return 0;
    }
    // The display-name buffer is reused for the full path.
    BOOL found = SHGetPathFromIDListW(item, path);
    malloc->Free(item);
    malloc->Release();
    if (!found)
        return 0;
    std::string ansi;
    if (!ToAnsiName(path, ansi, MAX_PATH)) {
        RefuseUnnamable(path);
        return 0;
    }
    m_path = ansi.c_str();
    return 1;
}
