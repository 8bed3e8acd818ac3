// The record is the file kRecordName (".~kq") in the Korvo folder: Windows-1252 text in lines
// that end in CR LF. Its first line is kHeader; then one line per file of the commit, kKept or
// kNew and the name as the pack's listing gave it; then a line "." (never a name); and, once the
// pass turns back, a line kUndo. Names are checked as they are read, since other users may be
// able to write the folder: a record with anything else in it is not used.
//
// The states a kill can leave, and what the next pass does with each:
// - no record: the folder is whole, old or new; copies under the pass's names are leftovers,
//   which the next pass replaces (a commit's record goes after its kept old files; an undo's
//   before its copies, which it no longer needs).
// - a record without its "." (killed while it was written): no rename was made; the next pass
//   removes it and stages afresh.
// - "." last, committing: each file is old with its copy beside it, or new with its old file
//   kept under the second name. The next pass completes the commit: it checks every copy it
//   would rename and, where it cannot vouch for one, undoes instead.
// - kUndo last, undoing: each file is old with its copy beside it, or still new. The next pass
//   completes the undo and removes the copies.
// - a kUndo line cut short: the line is flushed before the undo's first step, so the pass was
//   still committing.
// A record the next pass cannot use stops it before it changes anything: it names the record.
#include "install/CommitRecord.h"

#include <cstring>

#include "install/PassRules.h"

namespace {

const char kHeader[] = "Korvo-Quenda Service-Pack: Commit 2";
const char kEnd[] = ".";
const char kUndo[] = "Undo";
// A file's line starts with one of these: whether its old target is kept under the second name.
const char kKept = '+', kNew = '-';
const DWORD kBufferSize = 16 * 1024;

CString RecordPath(const CString& folder) {
    return folder + '\\' + kRecordName;
}

class Writer {
public:
    explicit Writer(HANDLE file) : m_file(file) {}
    bool Line(const char* text) {
        return Put(text, static_cast<DWORD>(std::strlen(text))) && Put("\r\n", 2);
    }
    bool Line(char mark, const char* text) { return Put(&mark, 1) && Line(text); }
    bool Flush() {
        DWORD written = 0;
        const bool ok = m_used == 0 || (WriteFile(m_file, m_buffer, m_used, &written, nullptr) &&
                                        written == m_used);
        m_used = 0;
        return ok;
    }

private:
    bool Put(const char* text, DWORD size) {
        if (m_used + size > kBufferSize && !Flush())
            return false;
        std::memcpy(m_buffer + m_used, text, size);
        m_used += size;
        return true;
    }
    HANDLE m_file;
    char m_buffer[kBufferSize];
    DWORD m_used = 0;
};

// The record itself, never through a link, a plain file with one name.
HANDLE OpenRecord(const CString& path, DWORD access) {
    return OpenLoneFile(path, access, FILE_SHARE_READ);
}

} // namespace

bool IsRecordableName(const char* name) {
    // By characters: a trail byte of a double-byte code page may be any of these bytes.
    for (const char* c = name; *c; c = CharNextA(c))
        if (static_cast<unsigned char>(*c) < 0x20 || *c == '\\' || *c == '/' || *c == ':')
            return false;
    return *name && IsInstallableName(name) && IsHeldName(name) && !IsPassName(name) &&
           !IsSkippedName(name);
}

bool WriteCommitRecord(const CString& folder, CPassFiles& files) {
    const CString path = RecordPath(folder);
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    Writer writer(file);
    const bool ok = writer.Line(kHeader) && files.ForEach([&writer](CPassFiles::File f) {
        return writer.Line(f.OldKept() ? kKept : kNew, f.Name());
    }) && writer.Line(kEnd) &&
                    writer.Flush() && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileA(path); // made just now, by this pass
        SetLastError(error);
    }
    return ok;
}

bool RecordUndo(const CString& folder) {
    HANDLE file = OpenRecord(RecordPath(folder), GENERIC_READ | GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // Read to its end, so that the line goes after the rest.
    char chunk[4096];
    DWORD got = 0;
    bool ok;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0) {
    }
    Writer writer(file);
    ok = ok && writer.Line(kUndo) && writer.Flush() && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

RecordRead ReadCommitRecord(const CString& folder, CPassFiles& files) {
    const CString path = RecordPath(folder);
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? RecordRead::None : RecordRead::Unusable;
    HANDLE file = OpenRecord(path, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE)
        return RecordRead::Unusable;
    char chunk[4096];
    char line[MAX_PATH + 2];
    DWORD length = 0, got = 0;
    bool header = false, ended = false, undo = false, usable = true;
    bool readToEnd = false;
    while (usable) {
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr))
            break;
        readToEnd = got == 0;
        if (readToEnd)
            break;
        for (DWORD i = 0; usable && i < got; ++i) {
            if (chunk[i] != '\n') {
                usable = length < sizeof line - 1;
                line[length++] = chunk[i];
                continue;
            }
            usable = length > 0 && line[length - 1] == '\r' && !undo;
            if (!usable)
                break;
            line[length - 1] = '\0';
            length = 0;
            if (!header)
                usable = header = std::strcmp(line, kHeader) == 0;
            else if (ended)
                usable = undo = std::strcmp(line, kUndo) == 0;
            else if (std::strcmp(line, kEnd) == 0)
                ended = true;
            else
                usable = (line[0] == kKept || line[0] == kNew) && IsRecordableName(line + 1) &&
                         files.Add(line + 1, line[0] == kKept);
        }
    }
    CloseHandle(file);
    // After the end, only the start of the undo's line, cut short by a kill, may follow.
    const bool cutUndo = ended && !undo && length > 0 && length <= sizeof kUndo &&
                         std::memcmp(line, "Undo\r", length) == 0;
    if (!readToEnd || !usable || (length > 0 && !cutUndo))
        return RecordRead::Unusable;
    // Cut short by a kill while it was written: its commit never began.
    if (!ended)
        return RecordRead::Incomplete;
    return undo ? RecordRead::Undo : RecordRead::Commit;
}

bool RemoveCommitRecord(const CString& folder) {
    const CString path = RecordPath(folder);
    return IsPlainFile(path) && DeleteFileA(path);
}
