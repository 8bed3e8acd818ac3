#include "HostShares.h"

#include <map>
#include <mutex>

namespace hostfs {

namespace {

struct Hold {
    dev_t dev;
    ino_t ino;
    DWORD access; // as the FILE_SHARE_* bit it needs from others
    DWORD share;
};

struct Holds {
    std::mutex mutex;
    std::map<const void*, Hold> byHandle;
};

Holds& All() {
    static Holds holds;
    return holds;
}

DWORD NeededShare(DWORD access) {
    return (access & GENERIC_READ ? FILE_SHARE_READ : 0) |
           (access & (GENERIC_WRITE | FILE_APPEND_DATA) ? FILE_SHARE_WRITE : 0) |
           (access & DELETE ? FILE_SHARE_DELETE : 0);
}

// need: what the new use asks others to share; share: what it shares itself. The caller
// holds the lock.
DWORD Conflict(const struct stat& st, DWORD need, DWORD share) {
    for (const auto& entry : All().byHandle) {
        const Hold& hold = entry.second;
        if (hold.dev == st.st_dev && hold.ino == st.st_ino &&
            ((need & ~hold.share) || (hold.access & ~share)))
            return ERROR_SHARING_VIOLATION;
    }
    return ERROR_SUCCESS;
}

} // namespace

DWORD HoldFile(const void* handle, const struct stat& st, DWORD access, DWORD share) {
    // Checked and held in one step, so that two opens cannot both pass the check.
    std::lock_guard<std::mutex> lock(All().mutex);
    if (const DWORD error = Conflict(st, NeededShare(access), share))
        return error;
    All().byHandle[handle] = {st.st_dev, st.st_ino, NeededShare(access), share};
    return ERROR_SUCCESS;
}

void ReleaseFile(const void* handle) {
    std::lock_guard<std::mutex> lock(All().mutex);
    All().byHandle.erase(handle);
}

DWORD CheckShares(const struct stat& st, DWORD need) {
    // The operation's own handle would share everything another handle may do.
    std::lock_guard<std::mutex> lock(All().mutex);
    return Conflict(st, need, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
}

bool IsOpen(const struct stat& st) {
    std::lock_guard<std::mutex> lock(All().mutex);
    for (const auto& entry : All().byHandle)
        if (entry.second.dev == st.st_dev && entry.second.ino == st.st_ino)
            return true;
    return false;
}

} // namespace hostfs
