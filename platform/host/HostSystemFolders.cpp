// The Windows folder and the system folders, below a Windows folder that tests may move.
#include "HostSystemFolders.h"

#include <string>

#include "HostPath.h"

namespace {

std::string& WindowsFolder() {
    static std::string folder = "C:\\windows";
    return folder;
}

} // namespace

void SetHostWindowsFolder(const char* windowsPath) {
    WindowsFolder() = windowsPath ? windowsPath : "C:\\windows";
}

extern "C" UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return hostfs::CopyAnswer(WindowsFolder(), buffer, size);
}

// No terminal server here: every user has the one Windows folder.
extern "C" UINT GetSystemWindowsDirectoryA(LPSTR buffer, UINT size) {
    return GetWindowsDirectoryA(buffer, size);
}

extern "C" UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return hostfs::CopyAnswer(WindowsFolder() + "\\system32", buffer, size);
}

extern "C" UINT GetSystemWow64DirectoryA(LPSTR buffer, UINT size) {
    return hostfs::CopyAnswer(WindowsFolder() + "\\SysWOW64", buffer, size);
}
