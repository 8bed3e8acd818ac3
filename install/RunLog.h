// The log of a run that an administrator asks for (/LOG=): UTF-8 lines with a time stamp each,
// appended to the file and written as they come, so that a run killed half-way leaves what it
// did. A log that cannot be written costs one line on the error stream, never the installation;
// nor is one written that a link, a second name or another user's ownership could turn against
// the machine.
#pragma once

#include "DisplayText.h"
#include "WinApi.h"

class CRunLog {
public:
    CRunLog() = default;
    ~CRunLog();
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;

    // Opens the file to append to; a new file starts with a BOM, so that Notepad reads UTF-8.
    // False when it is not written, and Why() tells the user.
    bool Open(const CString& path);
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    const char* Why() const { return m_why; }
    // One line for each line of text; nothing while no log is open.
    void Line(const CDisplayText& text);

private:
    void Write(const char* bytes, int size);
    // Closes the log for good, and says so on the error stream (kind: what the file is, where
    // no error code says why); false.
    bool Broken(const char* what, const char* why, const char* kind = nullptr);

    HANDLE m_file = INVALID_HANDLE_VALUE;
    CString m_path;
    const char* m_why = nullptr;
};
