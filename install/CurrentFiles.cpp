#include "install/CurrentFiles.h"

#include <cstring>

#include "install/FileKind.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// A file opened for reading, with what the comparison needs of it.
class Opened {
public:
    Opened(const CString& path, DWORD share, DWORD flags)
        : m_handle(CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                               flags | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
        FILE_BASIC_INFO basic;
        FILE_STANDARD_INFO standard;
        m_known =
            m_handle != INVALID_HANDLE_VALUE &&
            GetFileInformationByHandleEx(m_handle, FileBasicInfo, &basic, sizeof basic) &&
            GetFileInformationByHandleEx(m_handle, FileStandardInfo, &standard, sizeof standard) &&
            GetFileTime(m_handle, nullptr, nullptr, &m_written);
        if (m_known) {
            m_attributes = basic.FileAttributes;
            m_links = standard.NumberOfLinks;
            m_size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
        }
    }
    ~Opened() {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;

    bool Known() const { return m_known; }
    HANDLE Handle() const { return m_handle; }
    DWORD Attributes() const { return m_attributes; }
    DWORD Links() const { return m_links; }
    uint64_t Size() const { return m_size; }
    const FILETIME& Written() const { return m_written; }

private:
    HANDLE m_handle;
    bool m_known = false;
    DWORD m_attributes = 0, m_links = 0;
    uint64_t m_size = 0;
    FILETIME m_written = {};
};

bool SameBytes(HANDLE one, HANDLE other, CKeepAlive& alive) {
    // One buffer pair for every comparison: each uses it only between its reads.
    static char a[64 * 1024], b[sizeof a];
    DWORD gotA = 0, gotB = 0;
    do {
        if (!ReadFile(one, a, sizeof a, &gotA, nullptr) ||
            !ReadFile(other, b, sizeof b, &gotB, nullptr) || gotA != gotB ||
            std::memcmp(a, b, gotA) != 0)
            return false;
        alive.Serve();
    } while (gotA > 0);
    return true;
}

} // namespace

bool MarkIfCurrent(const FilePaths& paths, CPassFiles::File file, CPackList& list,
                   CKeepAlive& alive) {
    const Opened target(paths.target, kShareAll, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!target.Known() ||
        (target.Attributes() & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    const Opened source(paths.source, FILE_SHARE_READ, 0);
    if (!source.Known())
        return false;
    uint64_t listed = 0;
    const bool inList = list.ListedSize(file.Name(), listed);
    if (inList ? target.Size() != listed : target.Size() != source.Size())
        return false;
    if (inList ? list.CheckStagedCopy(file.Name(), paths.target, alive) != CPackList::Copy::Matches
               : !SameBytes(target.Handle(), source.Handle(), alive))
        return false;
    // The marks of a file with other names are those of the file elsewhere too: kept.
    if (target.Links() == 1)
        file.SetResetMarks(target.Attributes() & kMarks);
    file.SetCurrent(std::memcmp(&target.Written(), &source.Written(), sizeof(FILETIME)) != 0);
    return true;
}

bool TouchCurrent(const FilePaths& paths, CPassFiles::File file) {
    bool touched = !file.ResetMarks() || SetFileAttributesA(paths.target, FILE_ATTRIBUTE_NORMAL);
    if (!file.TimeStale())
        return touched;
    const Opened source(paths.source, FILE_SHARE_READ, 0);
    HANDLE target = CreateFileA(paths.target, FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (target == INVALID_HANDLE_VALUE)
        return false;
    touched = source.Known() && SetFileTime(target, nullptr, nullptr, &source.Written()) && touched;
    CloseHandle(target);
    return touched;
}
