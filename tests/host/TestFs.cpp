// The test file helpers over POSIX directly: only the path conversion is shared with the code
// under test, so what a test reads back is what is on disk.
#include "HostTestFs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "HostNames.h"
#include "HostPath.h"
#include "WineDifference.h"

bool RunningUnderWine() {
    return false;
}

namespace testfs {

namespace {

std::string Errno() {
    return std::strerror(errno);
}

void RemovePosixTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return;
    if (!S_ISDIR(st.st_mode)) {
        EXPECT_EQ(0, unlink(path.c_str())) << "unlink " << path << ": " << Errno();
        return;
    }
    chmod(path.c_str(), 0700); // a read-only folder keeps its entries otherwise
    for (const std::string& name : ReaddirNames(path))
        RemovePosixTree(path + "/" + name);
    EXPECT_EQ(0, rmdir(path.c_str())) << "rmdir " << path << ": " << Errno();
}

} // namespace

std::string Posix(const CString& path) {
    std::string posixPath;
    const DWORD error = hostfs::ToPosixPath(path, posixPath);
    EXPECT_EQ(0u, error) << "not a host path: " << path;
    return posixPath;
}

void WritePosixFile(const std::string& path, const std::string& content) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ASSERT_GE(fd, 0) << "create " << path << ": " << Errno();
    const ssize_t written = write(fd, content.data(), content.size());
    close(fd);
    ASSERT_EQ(static_cast<ssize_t>(content.size()), written) << "write " << path << ": " << Errno();
}

std::string ReadPosixFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ADD_FAILURE() << "cannot open " << path << ": " << Errno();
        return "";
    }
    std::string content;
    char chunk[65536];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) > 0)
        content.append(chunk, static_cast<size_t>(got));
    if (got < 0)
        ADD_FAILURE() << "cannot read " << path << ": " << Errno();
    close(fd);
    return got < 0 ? "" : content;
}

std::vector<std::string> ReaddirNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        ADD_FAILURE() << "cannot list " << folder << ": " << Errno();
        return names;
    }
    while (dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
            names.push_back(entry->d_name);
    closedir(dir);
    return names;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kq-test-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "mkdtemp " << pattern << ": " << Errno();
        return;
    }
    // The physical path, as getcwd would give it back.
    char* real = realpath(pattern.c_str(), nullptr);
    m_path = hostfs::ToWindowsPath(real ? real : pattern).c_str();
    std::free(real);
}

// With its parent's permission bits, as a folder on Windows inherits its parent's rights.
void MakeDir(const CString& path) {
    const std::string posix = Posix(path);
    struct stat parent;
    ASSERT_EQ(0, stat(posix.substr(0, posix.rfind('/') + 1).c_str(), &parent)) << path;
    ASSERT_EQ(0, mkdir(posix.c_str(), 0700)) << "mkdir " << path << ": " << Errno();
    ASSERT_EQ(0, chmod(posix.c_str(), parent.st_mode & 0777)) << path;
}

void WriteFile(const CString& path, const std::string& content) {
    WritePosixFile(Posix(path), content);
}

std::string ReadFile(const CString& path) {
    return ReadPosixFile(Posix(path));
}

bool Exists(const CString& path) {
    struct stat st;
    return lstat(Posix(path).c_str(), &st) == 0;
}

DWORD Attributes(const CString& path) {
    const std::string posixPath = Posix(path);
    struct stat st;
    if (stat(posixPath.c_str(), &st) != 0)
        return INVALID_FILE_ATTRIBUTES;
    char value[64] = "";
    const ssize_t length = getxattr(posixPath.c_str(), "user.DOSATTRIB", value, sizeof value - 1);
    DWORD attributes = 0;
    if (length > 0) {
        value[length] = '\0';
        attributes = std::strtoul(value, nullptr, 16) &
                     (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    }
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & 0222) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

void SetAttributes(const CString& path, DWORD attributes) {
    const std::string posixPath = Posix(path);
    struct stat st;
    ASSERT_EQ(0, stat(posixPath.c_str(), &st)) << "stat " << path << ": " << Errno();
    // Writable while the extended attribute changes; read-only, if asked, at the end.
    ASSERT_EQ(0, chmod(posixPath.c_str(), (st.st_mode & 07777) | S_IWUSR)) << path;
    const DWORD bits =
        attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (bits) {
        char value[16];
        const int length = std::snprintf(value, sizeof value, "0x%x", static_cast<unsigned>(bits));
        ASSERT_EQ(0, setxattr(posixPath.c_str(), "user.DOSATTRIB", value, size_t(length), 0))
            << "setxattr " << path << ": " << Errno();
    } else {
        removexattr(posixPath.c_str(), "user.DOSATTRIB");
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        ASSERT_EQ(0, chmod(posixPath.c_str(), st.st_mode & 07555)) << path;
    }
}

std::vector<std::string> List(const CString& folder) {
    std::vector<std::string> names = ReaddirNames(Posix(folder));
    for (std::string& name : names)
        name = hostfs::Utf8ToCp1252(name);
    std::sort(names.begin(), names.end());
    return names;
}

void RemoveTree(const CString& path) {
    RemovePosixTree(Posix(path));
}

long OpenHandles() {
    // The stand-in's one inotify queue, made at its first lookup regardless of case, is no file.
    long open = 0;
    for (const std::string& fd : ReaddirNames("/proc/self/fd")) {
        char link[64] = {};
        open += readlink(("/proc/self/fd/" + fd).c_str(), link, sizeof link - 1) < 0 ||
                std::string(link) != "anon_inode:inotify";
    }
    return open;
}

} // namespace testfs
