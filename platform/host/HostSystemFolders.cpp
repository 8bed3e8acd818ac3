// GetWindowsDirectoryA and the system folders, below a Windows folder that tests may move.
#include "HostSystemFolders.h"

#include <cstring>
#include <string>

#include "WinApi.h"

namespace {

std::string& WindowsFolder() {
    static std::string folder = "C:\\windows";
    return folder;
}

// As the A functions answer: the length copied, or the size needed with the NUL.
UINT Answer(const std::string& path, LPSTR buffer, UINT size) {
    if (path.size() >= size)
        return static_cast<UINT>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<UINT>(path.size());
}

} // namespace

void SetHostWindowsFolder(const char* windowsPath) {
    WindowsFolder() = windowsPath ? windowsPath : "C:\\windows";
}

extern "C" UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return Answer(WindowsFolder(), buffer, size);
}

extern "C" UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return Answer(WindowsFolder() + "\\system32", buffer, size);
}

extern "C" UINT GetSystemWow64DirectoryA(LPSTR buffer, UINT size) {
    return Answer(WindowsFolder() + "\\SysWOW64", buffer, size);
}
