// GetProgramFolderExactA and IsProgramFileA on the program's file that tests may name.
#include "HostProgramFile.h"

#include <climits>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "HostPath.h"

namespace {

std::string& Named() {
    static std::string file;
    return file;
}

std::string ProgramFile() {
    if (!Named().empty())
        return Named();
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    return length > 0 ? hostfs::ToWindowsPath(std::string(self, static_cast<size_t>(length)))
                      : std::string();
}

bool Identify(const char* windowsPath, struct stat& st) {
    std::string posix;
    return hostfs::ToPosixPath(windowsPath, posix) == ERROR_SUCCESS &&
           hostfs::StatRegardlessOfCase(posix, st) == 0;
}

} // namespace

void SetHostProgramFile(const char* windowsPath) {
    Named() = windowsPath ? windowsPath : "";
}

DWORD GetProgramFolderExactA(DWORD size, LPSTR buffer) {
    const std::string file = ProgramFile();
    const size_t cut = file.rfind('\\');
    if (cut == std::string::npos)
        return 0;
    // The backslash stays only at a drive's root.
    return hostfs::CopyAnswer(file.substr(0, cut > 0 && file[cut - 1] == ':' ? cut + 1 : cut),
                              buffer, size);
}

BOOL IsProgramFileA(LPCSTR path) {
    struct stat mine, other;
    return Identify(ProgramFile().c_str(), mine) && Identify(path, other) &&
           mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
}
