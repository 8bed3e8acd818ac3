// CopyFileExA over CopyFileA. The progress routine is called once, when the file is copied:
// Windows calls it between chunks too, Wine not at all.
#include "HostErrors.h"
#include "WinApi.h"

extern "C" BOOL CopyFileExA(LPCSTR source, LPCSTR target, LPPROGRESS_ROUTINE progress, LPVOID data,
                            BOOL* cancel, DWORD flags) {
    if (cancel || (flags & ~DWORD(COPY_FILE_FAIL_IF_EXISTS)))
        return hostfs::Fail(ERROR_NOT_SUPPORTED); // nothing the installer asks for
    if (!CopyFileA(source, target, (flags & COPY_FILE_FAIL_IF_EXISTS) ? TRUE : FALSE))
        return FALSE;
    if (progress) {
        LARGE_INTEGER none = {};
        progress(none, none, none, none, 1, 0, nullptr, nullptr, data);
    }
    return TRUE;
}
