// The file version through Windows' own functions, as Windows Installer and VerInstallFile read
// it. version.dll is loaded from the system folder (an import would let a planted copy beside
// the program load).
#include "FileVersion.h"

#include <memory>

#include "OptionalApi.h"

namespace {

using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

struct Version {
    SizeFn size = nullptr;
    InfoFn info = nullptr;
    QueryFn query = nullptr;
};

template <typename Fn> Fn Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(module ? GetProcAddress(module, name) : nullptr));
}

// Loaded once for the process and kept.
const Version& Functions() {
    static const Version version = [] {
        Version v;
        HMODULE module = optional_api::LoadFromSystemFolder("version.dll");
        v.size = Lookup<SizeFn>(module, "GetFileVersionInfoSizeA");
        v.info = Lookup<InfoFn>(module, "GetFileVersionInfoA");
        v.query = Lookup<QueryFn>(module, "VerQueryValueA");
        return v;
    }();
    return version;
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
    std::unique_ptr<unsigned char[]> block(new unsigned char[size]);
    void* value = nullptr;
    UINT length = 0;
    if (!fn.info(path, 0, size, block.get()) || !fn.query(block.get(), "\\", &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return FALSE;
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature != 0xFEEF04BD)
        return FALSE;
    version.ms = fixed->dwFileVersionMS;
    version.ls = fixed->dwFileVersionLS;
    return TRUE;
}
