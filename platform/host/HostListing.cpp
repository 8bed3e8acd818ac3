// Folder listings: "." and ".." first, then the entries as readdir streams them.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

#include "HostAttributes.h"
#include "HostErrors.h"
#include "HostHandles.h"
#include "HostNames.h"
#include "HostPath.h"

using namespace hostfs;

namespace {

struct Listing {
    DIR* dir = nullptr;
    std::string folder;  // POSIX, "" for the root so that folder + "/" + name works
    std::string pattern; // the last component of the caller's pattern, Windows-1252
    int dotsGiven = 0;   // "." and ".." come from us, not from readdir's order
    std::string name;    // scratch, reused so a listing allocates only once per length
    std::string path;
};

// st is null for an entry that vanished between readdir and stat: it is listed all the same.
void Fill(WIN32_FIND_DATAA* data, const std::string& name, const struct stat* st, DWORD xattrBits,
          bool folder) {
    std::memset(data, 0, sizeof *data);
    if (st) {
        data->dwFileAttributes = AttributesOf(*st, xattrBits);
        if (!S_ISDIR(st->st_mode)) {
            const auto size = static_cast<uint64_t>(st->st_size);
            data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
            data->nFileSizeLow = static_cast<DWORD>(size);
        }
        // No birth time in struct stat; the change time is the closest (a copy is newer).
        data->ftCreationTime = ToFileTime(st->st_ctim);
        data->ftLastAccessTime = ToFileTime(st->st_atim);
        data->ftLastWriteTime = ToFileTime(st->st_mtim);
    } else {
        data->dwFileAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    }
    const size_t length = std::min(name.size(), sizeof data->cFileName - 1);
    std::memcpy(data->cFileName, name.data(), length);
}

// ERROR_SUCCESS with data filled, ERROR_NO_MORE_FILES, or the error that ended the listing.
DWORD Next(Listing& listing, WIN32_FIND_DATAA* data) {
    struct stat st;
    while (listing.dotsGiven < 2) {
        listing.name = listing.dotsGiven++ == 0 ? "." : "..";
        if (!MatchesPattern(listing.name, listing.pattern))
            continue;
        listing.path = listing.folder + (listing.name == "." ? "/." : "/..");
        const bool found = stat(listing.path.c_str(), &st) == 0;
        Fill(data, listing.name, found ? &st : nullptr,
             found ? ReadXattrBits(listing.path.c_str()) : 0, true);
        return ERROR_SUCCESS;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(listing.dir);
        if (!entry)
            return errno ? ErrorFromErrno(errno) : ERROR_NO_MORE_FILES;
        if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
            continue;
        Utf8ToCp1252(entry->d_name, listing.name);
        if (!MatchesPattern(listing.name, listing.pattern))
            continue;
        // A link is listed itself, as a reparse point.
        const int fd = dirfd(listing.dir);
        const bool found = fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        DWORD xattrBits = 0;
        if (found) {
            listing.path = listing.folder;
            listing.path += '/';
            listing.path += entry->d_name;
            if (!S_ISLNK(st.st_mode))
                xattrBits = ReadXattrBits(listing.path.c_str());
        }
        Fill(data, listing.name, found ? &st : nullptr, xattrBits, entry->d_type == DT_DIR);
        if (found && S_ISLNK(st.st_mode)) {
            data->dwFileAttributes = LinkAttributes(listing.path.c_str());
            data->nFileSizeHigh = data->nFileSizeLow = 0;
        }
        return ERROR_SUCCESS;
    }
}

DIR* OpenFolder(std::string& posixPath) {
    DIR* dir = opendir(posixPath.c_str());
    if (!dir && (errno == ENOENT || errno == ENOTDIR) &&
        FindRegardlessOfCase(posixPath, Leaf::FoldCase))
        dir = opendir(posixPath.c_str());
    return dir;
}

} // namespace

extern "C" HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
    if (!pattern || !data)
        return FailHandle(ERROR_INVALID_PARAMETER);
    const std::string_view whole(pattern);
    const size_t separator = whole.find_last_of("\\/");
    std::string folderPart;
    std::string_view namePart;
    if (separator != std::string_view::npos) {
        folderPart = whole.substr(0, separator + 1);
        namePart = whole.substr(separator + 1);
    } else if (whole.size() >= 2 && whole[1] == ':') {
        folderPart = whole.substr(0, 2); // "Z:*.*": the current directory of drive Z:
        namePart = whole.substr(2);
    } else {
        folderPart = ".";
        namePart = whole;
    }

    std::string folder;
    if (const DWORD error = ToPosixPath(folderPart.c_str(), folder))
        return FailHandle(error);
    for (char c : namePart)
        if (c != '*' && c != '?' && IsInvalidNameChar(static_cast<unsigned char>(c)))
            return FailHandle(ERROR_INVALID_NAME);
    if (namePart.empty())
        return FailHandle(ERROR_FILE_NOT_FOUND);

    DIR* dir = OpenFolder(folder);
    if (!dir)
        return FailHandle(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                              : ErrorFromErrno(errno));
    auto* listing = new Listing;
    listing->dir = dir;
    listing->folder = folder == "/" ? "" : folder;
    listing->pattern = namePart;
    const DWORD error = Next(*listing, data);
    if (error) {
        closedir(dir);
        delete listing;
        return FailHandle(error == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : error);
    }
    RegisterHandle(listing, HandleKind::Find);
    return listing;
}

extern "C" BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
    auto* listing = static_cast<Listing*>(LookupHandle(find, HandleKind::Find));
    if (!listing)
        return Fail(ERROR_INVALID_HANDLE);
    if (!data)
        return Fail(ERROR_INVALID_PARAMETER);
    const DWORD error = Next(*listing, data);
    return error ? Fail(error) : TRUE;
}

extern "C" BOOL FindClose(HANDLE find) {
    return CloseLiveHandle<Listing>(find, HandleKind::Find,
                                    [](Listing& listing) { closedir(listing.dir); });
}
