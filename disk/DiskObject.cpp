#include "disk/DiskObject.h"

namespace {

const char kInternalError[] = "CDiskObject internal error - check call parameters";

// _splitpath writes each part into a caller's buffer: never smaller than the runtime's
// maximum for that part, and never smaller than the whole path, so no path can overflow it.
char* PartBuffer(CString& part, int runtimeMaximum, int pathLength) {
    return part.GetBuffer(runtimeMaximum > pathLength + 1 ? runtimeMaximum : pathLength + 1);
}

} // namespace

CDiskObject::CDiskObject(CWnd* feedbackWindow) : m_feedbackWindow(feedbackWindow) {}

CDiskObject::~CDiskObject() = default;

void CDiskObject::ResetError() {
    m_errorMessage.Empty();
}

void CDiskObject::ReportInternalError() {
    m_errorMessage = kInternalError;
    if (m_feedbackWindow) {
        m_feedbackWindow->SetWindowTextA(m_errorMessage);
        m_feedbackWindow->UpdateData(FALSE);
    }
}

BOOL CDiskObject::IsValidPathPart(const CString& part) const {
    return part.Find(':') < 0 && part.Find('*') < 0 && part.Find('?') < 0;
}

BOOL CDiskObject::QualifyFilePath(CString& path) {
    path.Replace('/', '\\');

    CString drive, folder, name, extension;
    int length = path.GetLength();
    _splitpath(path, PartBuffer(drive, _MAX_DRIVE, length), PartBuffer(folder, _MAX_DIR, length),
               PartBuffer(name, _MAX_FNAME, length), PartBuffer(extension, _MAX_EXT, length));
    drive.ReleaseBuffer();
    folder.ReleaseBuffer();
    name.ReleaseBuffer();
    extension.ReleaseBuffer();

    // A runtime that cannot hold a part in its buffers cuts it short or leaves it out; the
    // check would then miss what is cut off, so such a path is not accepted.
    bool whole =
        drive.GetLength() + folder.GetLength() + name.GetLength() + extension.GetLength() ==
        path.GetLength();

    // A path with a drive, and a network path (\\server\share\...), is complete as it is. Any
    // other form stays relative: the open resolves it against the current directory, which
    // this class never changes.
    if (!whole || !IsValidPathPart(folder) || !IsValidPathPart(name) ||
        !IsValidPathPart(extension)) {
        ReportInternalError();
        return FALSE;
    }
    return TRUE;
}

BOOL CDiskObject::IsFilePresent(const CString& file) {
    ResetError();
    if (file.IsEmpty()) {
        ReportInternalError();
        return FALSE;
    }
    CString path = file;
    if (!QualifyFilePath(path))
        return FALSE;
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(handle);
    return TRUE;
}
