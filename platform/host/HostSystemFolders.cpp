// GetWindowsDirectoryA and the system folders, below a Windows folder that tests may move.
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

extern "C" UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return hostfs::CopyAnswer(WindowsFolder() + "\\system32", buffer, size);
}

extern "C" UINT GetSystemWow64DirectoryA(LPSTR buffer, UINT size) {
    return hostfs::CopyAnswer(WindowsFolder() + "\\SysWOW64", buffer, size);
}
