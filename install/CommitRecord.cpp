// The record is the file kRecordName (".~kq") in the Korvo folder: Windows-1252 text in lines
// that end in CR LF. Its first line is kHeader; then one line per file of the commit, its name
// as the pack's listing gave it; then a line "." (never a name), without which the record
// was not finished: its commit had not begun. Names are checked as they are read, since other
// users may be able to write the folder: a record with anything else in it is not used.
#include "install/CommitRecord.h"

#include <cstring>

#include "install/PassRules.h"

namespace {

const char kHeader[] = "Korvo-Quenda Service-Pack: Commit 1";
const char kEnd[] = ".";
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

bool IsRecordableName(const char* name) {
    return *name && !std::strpbrk(name, "\\/:") && IsInstallableName(name) && IsHeldName(name) &&
           !IsPassName(name) && !IsSkippedName(name);
}

} // namespace

bool WriteCommitRecord(const CString& folder, CPassFiles& files) {
    const CString path = RecordPath(folder);
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    Writer writer(file);
    const bool ok =
        writer.Line(kHeader) &&
        files.ForEach([&writer](CPassFiles::File f) { return writer.Line(f.Name()); }) &&
        writer.Line(kEnd) && writer.Flush() && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileA(path); // made just now, by this pass
        SetLastError(error);
    }
    return ok;
}

RecordRead ReadCommitRecord(const CString& folder, CPassFiles& files) {
    const CString path = RecordPath(folder);
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? RecordRead::None : RecordRead::Unusable;
    if (!IsPlainFile(path))
        return RecordRead::Unusable;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return RecordRead::Unusable;
    char chunk[4096];
    char line[MAX_PATH + 2];
    DWORD length = 0, got = 0;
    bool header = false, ended = false, usable = true;
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
            usable = length > 0 && line[length - 1] == '\r' && !ended;
            if (!usable)
                break;
            line[length - 1] = '\0';
            length = 0;
            if (!header)
                usable = header = std::strcmp(line, kHeader) == 0;
            else if (std::strcmp(line, kEnd) == 0)
                ended = true;
            else
                usable = IsRecordableName(line) && files.Add(line, false);
        }
    }
    CloseHandle(file);
    if (!readToEnd || !usable || (ended && length > 0))
        return RecordRead::Unusable;
    // Cut short by a kill while it was written: its commit never began.
    return ended ? RecordRead::Complete : RecordRead::Incomplete;
}

bool RemoveCommitRecord(const CString& folder) {
    const CString path = RecordPath(folder);
    return IsPlainFile(path) && DeleteFileA(path);
}
