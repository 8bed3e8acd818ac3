// The file version through Windows' own functions, as Windows Installer and VerInstallFile read
// it. version.dll is loaded from the system folder (an import would let a planted copy beside
// the program load).
#include "FileVersion.h"

#include "OptionalApi.h"

namespace {

using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

// Looked up on first use and kept for the process; the pass runs on one thread.
struct Version {
    bool looked;
    SizeFn size;
    InfoFn info;
    QueryFn query;
} g_version;

const Version& Functions() {
    if (!g_version.looked) {
        g_version.looked = true;
        HMODULE module = optional_api::LoadFromSystemFolder("version.dll");
        g_version.size = optional_api::Find<SizeFn>(module, "GetFileVersionInfoSizeA");
        g_version.info = optional_api::Find<InfoFn>(module, "GetFileVersionInfoA");
        g_version.query = optional_api::Find<QueryFn>(module, "VerQueryValueA");
    }
    return g_version;
}

// Every file that can hold a version block (PE, and the 16-bit NE and LE) begins with "MZ".
// Looked at first: version.dll takes several times a file's copy to turn down a file that is
// no program (Wine), and most of a pack's files are none.
bool MayBeProgram(LPCSTR path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char start[2] = {};
    DWORD read = 0;
    const bool program = ReadFile(file, start, sizeof start, &read, nullptr) && read == 2 &&
                         start[0] == 'M' && start[1] == 'Z';
    CloseHandle(file);
    return program;
}

} // namespace

BOOL GetFileVersionA(LPCSTR path, FileVersion& version) {
    const Version& fn = Functions();
    if (!fn.size || !fn.info || !fn.query || !MayBeProgram(path))
        return FALSE;
    DWORD ignored = 0;
    const DWORD size = fn.size(path, &ignored);
    if (size == 0)
        return FALSE;
    // From the heap, not new: nothing here throws or needs unwinding (install.exe stays small).
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    void* value = nullptr;
    UINT length = 0;
    const VS_FIXEDFILEINFO* fixed = nullptr;
    if (block && fn.info(path, 0, size, block) && fn.query(block, "\\", &value, &length) &&
        length >= sizeof(VS_FIXEDFILEINFO))
        fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    const BOOL read = fixed && fixed->dwSignature == 0xFEEF04BD;
    if (read) {
        version.ms = fixed->dwFileVersionMS;
        version.ls = fixed->dwFileVersionLS;
    }
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
    return read;
}
