#include "install/RunLog.h"

#include <cstdio>
#include <ctime>

CRunLog::~CRunLog() {
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
}

void CRunLog::Open(const CString& path) {
    m_path = path;
    // Shared for reading: an administrator may watch it grow.
    m_file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file != INVALID_HANDLE_VALUE) {
        Write("\xEF\xBB\xBF", 3);
        return;
    }
    if (GetLastError() == ERROR_FILE_EXISTS) {
        m_file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_file != INVALID_HANDLE_VALUE &&
            SetFilePointer(m_file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
            Broken("cannot append to");
    }
    if (m_file == INVALID_HANDLE_VALUE)
        Broken("cannot open");
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
        Broken("cannot write");
}

void CRunLog::Broken(const char* what) {
    CString line;
    line.Format("install: %s the log %s (error %lu)\n", what, static_cast<const char*>(m_path),
                static_cast<unsigned long>(GetLastError()));
    std::fputs(line, stderr);
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}
