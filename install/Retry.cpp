#include "install/Retry.h"

namespace {

// A hold of up to a second clears within one file's waits (20 + 40 + ... + 250 ms).
const DWORD kFirstWaitMs = 20;
const DWORD kLongestWaitMs = 250;
const DWORD kFileWaitMs = 1100;
const DWORD kPassWaitMs = 2000;

// Whether error, met on path, comes of another program holding the file: a sharing or lock
// violation, or access denied to a file that is not read-only.
bool IsHeld(DWORD error, const CString& path) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return true;
    if (error != ERROR_ACCESS_DENIED)
        return false;
    // A running program's file is refused so too; a read-only one stays refused.
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
}

} // namespace

Cause CauseOf(DWORD error, const CString& path) {
    if (IsHeld(error, path))
        return Cause::InUse;
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        return Cause::DiskFull;
    if (error == ERROR_FILENAME_EXCED_RANGE)
        return Cause::PathTooLong;
    return Cause::Other;
}

void CRetryBudget::StartFile() {
    m_nextWait = kFirstWaitMs;
    m_fileWaited = 0;
}

bool CRetryBudget::Again(const CString& path) {
    const DWORD error = GetLastError();
    DWORD wait = m_nextWait;
    if (m_fileWaited + wait > kFileWaitMs)
        wait = kFileWaitMs - m_fileWaited;
    if (m_passWaited + wait > kPassWaitMs)
        wait = kPassWaitMs - m_passWaited;
    if (wait == 0 || !IsHeld(error, path)) {
        SetLastError(error);
        return false;
    }
    m_alive.Wait(wait);
    m_fileWaited += wait;
    m_passWaited += wait;
    m_nextWait = m_nextWait * 2 > kLongestWaitMs ? kLongestWaitMs : m_nextWait * 2;
    return true;
}
