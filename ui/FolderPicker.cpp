#include "ui/FolderPicker.h"

#include <shlobj.h>

namespace {

// Called by the browser for every notification: whatever item comes with it, show its folder
// path in the status line. Items without a path (and BFFM_INITIALIZED's null) leave it as is.
int CALLBACK BrowseCallback(HWND hwnd, UINT /*message*/, LPARAM lParam, LPARAM /*data*/) {
    char path[MAX_PATH] = "";
    if (SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path))
        SendMessageA(hwnd, BFFM_SETSTATUSTEXTA, TRUE, reinterpret_cast<LPARAM>(path));
    return 0;
}

} // namespace

int CFolderPicker::Browse() {
    IMalloc* malloc = nullptr;
    if (SHGetMalloc(&malloc) != S_OK)
        return 0;

    BROWSEINFOA info = {};
    // No owner: the main dialog stays usable while the browser is open.
    info.hwndOwner = nullptr;
    info.pidlRoot = nullptr;
    info.pszDisplayName = m_path.GetBuffer(MAX_PATH);
    info.lpszTitle = m_title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_RETURNFSANCESTORS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(this);

    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    if (!item) {
        m_path.ReleaseBuffer();
        malloc->Release();
        return 0;
    }
    // The display-name buffer is reused for the full path.
    BOOL found = SHGetPathFromIDListA(item, info.pszDisplayName);
    m_path.ReleaseBuffer();
    malloc->Free(item);
    malloc->Release();
    return found ? 1 : 0;
}
