#include "install/RunLog.h"

#include <cstdio>
#include <ctime>

#include "FolderRights.h"
#include "install/FileKind.h"

namespace {

const char kCannotOpen[] = "Die Datei kann nicht ge\xF6"
                           "ffnet werden.";
const char kNotPlain[] = "Sie ist ein Link, ein Ordner oder der zweite Name einer anderen Datei.";
const char kForeign[] = "Sie geh\xF6rt weder den Administratoren noch dem System noch Ihnen.";

} // namespace

CRunLog::~CRunLog() {
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
}

bool CRunLog::Open(const CString& path) {
    m_path = path;
    // Appended to and shared for writing: a second run with the same log (one told to try
    // again later) logs too, and an administrator may watch it grow. The name itself is
    // opened, never what a link or junction there leads to.
    const DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    m_file = CreateFileA(path, access, share, nullptr, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
    const bool made = m_file != INVALID_HANDLE_VALUE;
    if (!made && GetLastError() == ERROR_FILE_EXISTS)
        m_file = CreateFileA(path, access, share, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
        return Broken("cannot open", kCannotOpen);
    // Where any user may make files (C:\Windows\Temp), one that a user put there first would
    // have this run write where that user chooses, with this run's rights.
    if (NamesOfOpen(m_file) != 1)
        return Broken("will not write", kNotPlain, "a link or a second name");
    if (!HasTrustedOwner(m_file))
        return Broken("will not write", kForeign, "another user's file");
    if (made)
        Write("\xEF\xBB\xBF", 3);
    return IsOpen();
}

void CRunLog::Line(const CDisplayText& text) {
    if (m_file == INVALID_HANDLE_VALUE)
        return;
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    if (const std::tm* local = std::localtime(&now))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", local);
    const CString utf8 = Utf8Text(text);
    // One write per line: a kill leaves whole lines.
    for (const char *line = utf8, *end;; line = end + 1) {
        end = line;
        while (*end && *end != '\n')
            ++end;
        // The blank lines between a message's paragraphs would only be stamps.
        if (end != line) {
            const CString out = stamp + CString(line, static_cast<int>(end - line)) + "\r\n";
            Write(out, out.GetLength());
        }
        if (!*end)
            return;
    }
}

void CRunLog::Write(const char* bytes, int size) {
    DWORD written = 0;
    if (!WriteFile(m_file, bytes, static_cast<DWORD>(size), &written, nullptr) ||
        written != static_cast<DWORD>(size))
        Broken("cannot write", kCannotOpen);
}

bool CRunLog::Broken(const char* what, const char* why, const char* kind) {
    CString line;
    if (kind)
        line.Format("install: %s the log %s, %s\n", what, static_cast<const char*>(m_path), kind);
    else
        line.Format("install: %s the log %s (error %lu)\n", what, static_cast<const char*>(m_path),
                    static_cast<unsigned long>(GetLastError()));
    std::fputs(line, stderr);
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    m_why = why;
    return false;
}
