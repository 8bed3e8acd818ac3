#include "HostStreams.h"

#include <cerrno>
#include <cstring>
#include <strings.h>
#include <sys/xattr.h>
#include <vector>

#include "HostNames.h"

namespace hostfs {

namespace {

const char kPrefix[] = "user.DosStream.";

} // namespace

bool SplitStream(const char* path, std::string& file, std::string& stream) {
    const char* leaf = path;
    for (const char* at = path; *at; ++at)
        if (*at == '\\' || *at == '/')
            leaf = at + 1;
    if (leaf == path && path[0] && path[1] == ':')
        leaf = path + 2; // a drive's colon
    const char* colon = std::strchr(leaf, ':');
    if (!colon)
        return false;
    file.assign(path, colon);
    stream = colon + 1;
    const size_t type = stream.size() >= 6 ? stream.size() - 6 : std::string::npos;
    if (type != std::string::npos && strcasecmp(stream.c_str() + type, ":$DATA") == 0)
        stream.erase(type);
    return true;
}

std::string StreamAttribute(const std::string& stream) {
    return kPrefix + Cp1252ToUtf8(stream) + ":$DATA";
}

int CopyStreams(int from, int to) {
    const ssize_t size = flistxattr(from, nullptr, 0);
    if (size <= 0)
        return size < 0 && errno != ENOTSUP ? errno : 0;
    std::vector<char> names(size);
    if (flistxattr(from, names.data(), names.size()) < 0)
        return errno;
    for (const char* name = names.data(); name < names.data() + size;
         name += std::strlen(name) + 1) {
        if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) != 0)
            continue;
        const ssize_t length = fgetxattr(from, name, nullptr, 0);
        std::vector<char> value(length > 0 ? length : 0);
        if (length < 0 || fgetxattr(from, name, value.data(), value.size()) < 0 ||
            fsetxattr(to, name, value.data(), value.size(), 0) != 0)
            return errno;
    }
    return 0;
}

} // namespace hostfs
