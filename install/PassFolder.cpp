#include "install/PassFolder.h"

#include "FolderRights.h"
#include "install/FileKind.h"
#include "install/PassFolderLayout.h"

namespace {

void Close(HANDLE& handle) {
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

// A pass ending tidies its folder up: what it removes between two calls of another pass is
// made again, this many times.
const int kTidyRaces = 8;

bool Gone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsPlain(HANDLE handle, DWORD kind) {
    DWORD attributes = 0, links = 0;
    return ReadFileKind(handle, attributes, links) &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == kind;
}

} // namespace

CPassFolder::CPassFolder(const CString& targetFolder, HANDLE targetHold)
    : m_target(targetFolder), m_targetHold(targetHold) {
    for (HANDLE& handle : m_spread)
        handle = INVALID_HANDLE_VALUE;
}

CString CPassFolder::Path(const char* name) const {
    return m_target + '\\' + name;
}

// Made with only the rights it inherits, or, left by a killed pass, used only as a plain folder
// with no rights of its own: those would pass to every file staged in it, and a rename keeps
// them. Held without sharing delete, so that it is not swapped for another meanwhile.
bool CPassFolder::Hold(const CString& path, HANDLE parent, HANDLE& handle) {
    bool made = false;
    for (int race = 0; race < kTidyRaces && handle == INVALID_HANDLE_VALUE; ++race) {
        made = CreateDirectoryA(path, nullptr) != FALSE;
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
        handle = OpenFolderHeld(path);
        if (handle == INVALID_HANDLE_VALUE && !Gone(GetLastError()))
            break;
    }
    m_made = m_made && made;
    // One just made has what it inherits: whoever could swap it has those rights on Korvo's
    // files already.
    if (handle != INVALID_HANDLE_VALUE && IsPlain(handle, FILE_ATTRIBUTE_DIRECTORY) &&
        (made || HasOnlyInheritedRights(handle, parent)))
        return true;
    Close(handle);
    m_refused = path;
    return false;
}

CPassFolder::Opened CPassFolder::Open() {
    const CString folder = PassFolderOf(m_target);
    if (!Hold(folder, m_targetHold, m_folder))
        return Opened::Refused;
    SetFileAttributesA(folder, FILE_ATTRIBUTE_HIDDEN);
    // Opened without sharing: a killed pass's lock is no lock, as nothing holds it.
    const CString lock = Path(kLockName);
    for (int race = 0; race < kTidyRaces && m_lock == INVALID_HANDLE_VALUE; ++race) {
        m_lock = CreateFileA(lock, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_lock != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            break;
        m_lock = CreateFileA(lock, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (m_lock == INVALID_HANDLE_VALUE && !Gone(GetLastError()))
            break;
    }
    if (m_lock == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
        return Opened::AnotherPass;
    if (m_lock == INVALID_HANDLE_VALUE || !IsPlain(m_lock, 0)) {
        Close(m_lock);
        m_refused = lock;
        return Opened::Refused;
    }
    for (int i = 0; i < kSpreadFolders; ++i)
        if (!Hold(SpreadFolderOf(m_target, i), m_folder, m_spread[i]))
            return Opened::Refused;
    return Opened::Ready;
}

CPassFolder::~CPassFolder() {
    if (m_lock == INVALID_HANDLE_VALUE) {
        // Not this pass's folder to tidy.
        for (HANDLE& handle : m_spread)
            Close(handle);
        Close(m_folder);
        return;
    }
    const CString folder = PassFolderOf(m_target);
    for (int i = 0; i < kSpreadFolders; ++i) {
        if (m_spread[i] == INVALID_HANDLE_VALUE)
            continue; // refused, or never reached
        Close(m_spread[i]);
        RemoveDirectoryA(SpreadFolderOf(m_target, i));
    }
    Close(m_lock);
    DeleteFileA(Path(kLockName));
    Close(m_folder);
    RemoveDirectoryA(folder);
}
