// CDiskObject::IsFilePresent on arbitrary bytes, inside a throw-away current directory: no
// crash, no leak, the current directory left as it was, and the feedback window touched
// exactly when the answer is an internal error (and then exactly once).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "FuzzCheck.h"
#include "HeadlessWindow.h"
#include "disk/DiskObject.h"

namespace {

const char kCaption[] = "Korvo-Quenda Service-Pack";
const char kInternalError[] = "CDiskObject internal error - check call parameters";

std::string folder; // the throw-away current directory, as getcwd gives it

using fuzzcheck::Fail;

std::string CurrentDirectory() {
    char cwd[4096];
    return getcwd(cwd, sizeof cwd) ? cwd : "";
}

void MakeFile(const std::string& path) {
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, "x", 1) != 1) {
        std::perror(path.c_str());
        std::exit(1);
    }
    close(fd);
}

void RemoveFolder() {
    if (chdir("/") == 0)
        fuzzcheck::RemoveTree(folder);
}

// Malformed as the class defines it, worked out apart from it: empty; ':', '*' or '?' after
// the drive (whatever byte comes before a colon in the second place); or a folder part, name
// or extension longer than the runtime's part buffers (_MAX_DIR etc., NUL included) can hold.
bool Malformed(std::string path) {
    if (path.empty())
        return true;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    const std::string rest = path.substr(path.size() >= 2 && path[1] == ':' ? 2 : 0);
    if (rest.find_first_of(":*?") != std::string::npos)
        return true;
    const size_t separator = rest.rfind('\\');
    const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const size_t dot = rest.rfind('.');
    const size_t extStart = dot != std::string::npos && dot >= nameStart ? dot : rest.size();
    return nameStart >= _MAX_DIR || extStart - nameStart >= _MAX_FNAME ||
           rest.size() - extStart >= _MAX_EXT;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/kq-fuzz-disk-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) {
        std::perror("throw-away folder");
        std::exit(1);
    }
    folder = CurrentDirectory();
    // Something to find: a file, one in a subfolder, one with a Windows-1252 name, a folder
    // and a FIFO (neither of which can be opened as a file).
    MakeFile(folder + "/VOZORADI.DLL");
    mkdir((folder + "/sub").c_str(), 0755);
    MakeFile(folder + "/sub/inner.txt");
    MakeFile(folder + "/L\xC3\xB6sung.txt");
    mkdir((folder + "/A_FOLDER.DLL").c_str(), 0755);
    mkfifo((folder + "/pipe").c_str(), 0644);
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A CString ends at its first NUL, as it would coming from a C string.
    const char* text = reinterpret_cast<const char*>(data);
    const std::string path(text, strnlen(text, size));
    const CString argument(path.c_str());

    CWnd wnd;
    std::unique_ptr<HeadlessWindow> window = MakeHeadlessWindow(wnd);
    window->text = kCaption;
    BOOL present;
    std::string message;
    {
        CDiskObject disk(&wnd);
        present = disk.IsFilePresent(argument);
        message = static_cast<const char*>(disk.GetErrorMessage());
    }
    wnd.m_hWnd = nullptr;

    if (CurrentDirectory() != folder)
        Fail("the current directory changed", path);
    if (std::string(argument) != path)
        Fail("the caller's path changed", path);
    if (!message.empty()) {
        if (message != kInternalError)
            Fail("unexpected error message", path);
        if (present)
            Fail("an internal error answered TRUE", path);
        if (window->text != message || window->textChanges != 1 || window->updateDataCalls != 1)
            Fail("internal error not reported exactly once in the feedback window", path);
    } else if (window->text != kCaption || window->textChanges != 0 ||
               window->updateDataCalls != 0) {
        Fail("feedback window touched without an internal error", path);
    }
    if (Malformed(path) != !message.empty())
        Fail(message.empty() ? "malformed path taken without an internal error"
                             : "internal error for a well-formed path",
             path);
    return 0;
}
