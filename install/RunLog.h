// The log of a run that an administrator asks for (/LOG=): UTF-8 lines with a time stamp each,
// appended to the file and written as they come, so that a run killed half-way leaves what it
// did. A log that cannot be written costs one line on the error stream, never the installation.
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
    void Open(const CString& path);
    // One line for each line of text; nothing while no log is open.
    void Line(const CDisplayText& text);

private:
    void Write(const char* bytes, int size);
    void Broken(const char* what);

    HANDLE m_file = INVALID_HANDLE_VALUE;
    CString m_path;
};
