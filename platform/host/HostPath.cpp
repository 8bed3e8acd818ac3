#include "HostPath.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "HostErrors.h"
#include "HostFolderIndex.h"
#include "HostNames.h"

namespace hostfs {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

DWORD ToPosixPath(const char* windowsPath, std::string& posixPath) {
    if (!windowsPath)
        return ERROR_INVALID_PARAMETER;
    std::string_view rest(windowsPath);
    if (rest.empty())
        return ERROR_PATH_NOT_FOUND;
    if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1]))
        return ERROR_BAD_NETPATH;
    const unsigned char first = static_cast<unsigned char>(rest[0]);
    if (rest.size() >= 2 && rest[1] == ':' && ((first | 0x20) >= 'a' && (first | 0x20) <= 'z')) {
        if ((first | 0x20) != 'z')
            return ERROR_PATH_NOT_FOUND;
        rest.remove_prefix(2);
    }

    // posixPath is built without the root's slash, so "" stands for "/" until the end.
    posixPath.clear();
    if (rest.empty() || !IsSeparator(rest[0])) {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return ErrorFromErrno(errno == ERANGE ? ENAMETOOLONG : errno);
        posixPath = cwd;
        if (posixPath == "/")
            posixPath.clear();
    }
    while (!rest.empty()) {
        size_t end = 0;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        const std::string_view name = rest.substr(0, end);
        rest.remove_prefix(end < rest.size() ? end + 1 : end);
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            posixPath.resize(posixPath.rfind('/') == std::string::npos ? 0 : posixPath.rfind('/'));
            continue;
        }
        for (char c : name)
            if (IsInvalidNameChar(static_cast<unsigned char>(c)))
                return ERROR_INVALID_NAME;
        posixPath += '/';
        posixPath += Cp1252ToUtf8(name);
    }
    if (posixPath.empty())
        posixPath = "/";
    return ERROR_SUCCESS;
}

std::string ToWindowsPath(const std::string& posixPath) {
    if (posixPath == "/")
        return "Z:\\";
    std::string windowsPath = "Z:";
    size_t pos = 0;
    while (pos < posixPath.size()) {
        size_t end = posixPath.find('/', pos);
        if (end == std::string::npos)
            end = posixPath.size();
        if (end > pos)
            windowsPath += Utf8ToCp1252(std::string_view(posixPath).substr(pos, end - pos));
        if (end < posixPath.size())
            windowsPath += '\\';
        pos = end + 1;
    }
    return windowsPath;
}

bool FindRegardlessOfCase(std::string& posixPath, Leaf leaf) {
    if (posixPath.empty() || posixPath[0] != '/')
        return false;
    // Callers report the errno of their own failed call when nothing is found.
    const int savedErrno = errno;
    std::string resolved;
    bool changed = false;
    size_t pos = 0;
    while (pos < posixPath.size()) {
        size_t end = posixPath.find('/', pos + 1);
        if (end == std::string::npos)
            end = posixPath.size();
        const std::string_view name(posixPath.data() + pos + 1, end - pos - 1);
        const size_t folderLength = resolved.size();
        resolved += '/';
        resolved += name;
        struct stat st;
        if (!name.empty() && lstat(resolved.c_str(), &st) != 0) {
            std::string match;
            const bool keep = errno != ENOENT || (end == posixPath.size() && leaf == Leaf::Exact);
            if (keep ||
                !FindInFolder(folderLength ? resolved.substr(0, folderLength) : "/", name, match)) {
                resolved.append(posixPath, end, std::string::npos);
                break;
            }
            resolved.resize(folderLength + 1);
            resolved += match;
            changed = true;
        }
        pos = end;
    }
    if (changed)
        posixPath = resolved;
    errno = savedErrno;
    return changed;
}

std::string ParentOf(const std::string& posixPath) {
    const size_t slash = posixPath.rfind('/');
    if (slash == 0 || slash == std::string::npos)
        return "/";
    return posixPath.substr(0, slash);
}

int StatRegardlessOfCase(std::string& posixPath, struct stat& st, bool followLinks) {
    const auto once = [&] {
        return (followLinks ? stat(posixPath.c_str(), &st) : lstat(posixPath.c_str(), &st)) == 0
                   ? 0
                   : errno;
    };
    int err = once();
    if ((err == ENOENT || err == ENOTDIR) && FindRegardlessOfCase(posixPath, Leaf::FoldCase))
        err = once();
    return err;
}

DWORD CopyAnswer(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || text.size() + 1 > size)
        return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

} // namespace hostfs
