// The record is the file kRecordName in the pass's folder: text in the ANSI code page, in lines
// that end in CR LF. Its first line is kHeader; then one line per file of the commit: kKept or
// kNew, the marks staging reset (two hex digits), the number of names the target had, and the
// name as the pack's listing gave it, each after a space; then a line "." (never a name); and,
// once the pass turns back, a line kUndo. Names are checked as they are read, since other users
// may be able to write the folder: a record with anything else in it is not used.
//
// The record is read by what the commit had reached, not by whether it looks whole: the renames
// begin only once the record with its "." is on the disk, and the undo only once its kUndo line
// is. A kill cuts the record short; a power cut leaves zeros where data was not yet on the disk
// (NTFS keeps a file's size, not its data). So the states, and what the next pass does:
// - no record: the folder is whole, old or new; copies under the pass's names are leftovers,
//   which the next pass replaces (a commit's record goes after its kept old files; an undo's
//   before its copies, which it no longer needs).
// - no complete "." line before the first zero (cut, zeroed, empty): no rename was made; the
//   next pass removes the record and the copies it names, and stages afresh.
// - "." and then nothing, zeros or part of kUndo, committing: each file is old with its copy
//   beside it, or new with its old file kept under the second name. The next pass completes the
//   commit: it checks every copy it would rename and, where it cannot vouch for one, undoes
//   instead.
// - kUndo complete, undoing: each file is old with its copy beside it, new, or new with its
//   copy's name linked to it and its old file still kept. The next pass completes the undo and
//   removes the copies; where it cannot, but can vouch for every copy, it completes the commit.
// A record the next pass cannot use (what the pass never writes) stops it before it changes
// anything: it names the record.
#include "install/CommitRecord.h"

#include <cstring>

#include "install/FileKind.h"
#include "install/PassFolderLayout.h"
#include "install/PassNames.h"

namespace {

const char kHeader[] = "Korvo-Quenda Service-Pack: Commit 3";
const char kEnd[] = ".";
const char kUndoLine[] = "Undo\r\n";
// A file's line starts with one of these: whether its old target is kept under the second name.
const char kKept = '+', kNew = '-';
const DWORD kBufferSize = 16 * 1024;
// A file's line before its name: the mark, the reset marks and the number of names.
const int kFileFields = 7;

CString RecordPath(const CString& folder) {
    return folder + '\\' + kRecordName;
}

class Writer {
public:
    explicit Writer(HANDLE file) : m_file(file) {}
    bool Line(const char* text) {
        return Put(text, static_cast<DWORD>(std::strlen(text))) && Put("\r\n", 2);
    }
    bool Line(CPassFiles::File file) {
        const char* hex = "0123456789ABCDEF";
        const DWORD marks = file.ResetMarks();
        const char fields[kFileFields] = {
            file.OldKept() ? kKept : kNew,         ' ', hex[marks >> 4], hex[marks & 15], ' ',
            static_cast<char>('0' + file.Names()), ' '};
        return Put(fields, kFileFields) && Line(file.Name());
    }
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

int HexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A file's line as the writer makes it, added to files.
bool AddFile(const char* line, CPassFiles& files) {
    if (std::strlen(line) <= kFileFields || (line[0] != kKept && line[0] != kNew) ||
        line[1] != ' ' || line[4] != ' ' || line[6] != ' ')
        return false;
    const int high = HexDigit(line[2]), low = HexDigit(line[3]);
    const DWORD marks = static_cast<DWORD>(high * 16 + low);
    const DWORD names = static_cast<DWORD>(line[5] - '0');
    const char* name = line + kFileFields;
    return high >= 0 && low >= 0 && marks == CPassFiles::File::MarksOf(marks) && names >= 1 &&
           names <= CPassFiles::File::kManyNames && IsRecordableName(name) &&
           files.Add(name, line[0] == kKept, marks, names);
}

// Reads the record's lines as they come, and says how far the pass that wrote it got.
class Reader {
public:
    explicit Reader(CPassFiles& files) : m_files(files) {}

    // False once the record holds what the pass never writes.
    bool Take(char c) {
        if (m_state == State::Ended || m_state == State::Undone)
            return TakeAfterEnd(c);
        if (m_zeroed || c == '\0') {
            m_zeroed = true; // not on the disk before a power cut: the rest is not read
            return true;
        }
        if (c != '\n') {
            m_line[m_length++] = c;
            return m_length < sizeof m_line;
        }
        if (m_length == 0 || m_line[m_length - 1] != '\r')
            return false;
        m_line[m_length - 1] = '\0';
        m_length = 0;
        if (m_state == State::Header) {
            m_state = State::Files;
            return std::strcmp(m_line, kHeader) == 0;
        }
        if (std::strcmp(m_line, kEnd) == 0) {
            m_state = State::Ended;
            return true;
        }
        return AddFile(m_line, m_files);
    }

    RecordRead Result() const {
        if (m_state == State::Undone)
            return RecordRead::Undo;
        return m_state == State::Ended ? RecordRead::Commit : RecordRead::Incomplete;
    }

private:
    enum class State { Header, Files, Ended, Undone };

    // After the end only kUndoLine follows, its bytes not on the disk yet read as zeros; zeros
    // only after it.
    bool TakeAfterEnd(char c) {
        if (m_undo >= sizeof kUndoLine - 1)
            return c == '\0';
        if (c != kUndoLine[m_undo] && c != '\0')
            return false;
        m_undoZeroed = m_undoZeroed || c == '\0';
        if (++m_undo == sizeof kUndoLine - 1 && !m_undoZeroed)
            m_state = State::Undone;
        return true;
    }

    CPassFiles& m_files;
    State m_state = State::Header;
    char m_line[MAX_PATH + kFileFields + 2];
    DWORD m_length = 0;
    DWORD m_undo = 0;
    bool m_zeroed = false, m_undoZeroed = false;
};

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
        return f.Current() || writer.Line(f); // left alone: nothing to finish
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
    HANDLE file = OpenRecord(RecordPath(folder), GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // After the rest: the record read back as "committing" holds nothing after its end but
    // this line, cut short or zeroed.
    DWORD written = 0;
    const bool ok = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
                    WriteFile(file, kUndoLine, sizeof kUndoLine - 1, &written, nullptr) &&
                    written == sizeof kUndoLine - 1 && FlushFileBuffers(file);
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
    Reader reader(files);
    char chunk[4096];
    DWORD got = 0;
    bool usable = true, read = true;
    while (usable && (read = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) &&
           got > 0)
        for (DWORD i = 0; usable && i < got; ++i)
            usable = reader.Take(chunk[i]);
    CloseHandle(file);
    return read && usable ? reader.Result() : RecordRead::Unusable;
}

bool RemoveCommitRecord(const CString& folder) {
    const CString path = RecordPath(folder);
    return IsPlainFile(path) && DeleteFileA(path);
}
