// Tells whether a file exists and can be opened, after checking the path's form. A malformed
// path is an internal error: the message is kept and shown in the feedback window.
#pragma once

#include "CString.h"
#include "Wnd.h"

class CDiskObject {
public:
    // feedbackWindow may be null; it is not owned.
    explicit CDiskObject(CWnd* feedbackWindow = nullptr);
    ~CDiskObject();
    CDiskObject(const CDiskObject&) = delete;
    CDiskObject& operator=(const CDiskObject&) = delete;

    // TRUE when file names an existing file that can be opened for reading.
    BOOL IsFilePresent(const CString& file);

    void ResetError();
    void ReportInternalError();
    // TRUE when part holds none of ':', '*' and '?'.
    BOOL IsValidPathPart(const CString& part) const;
    // Translates '/' to '\\' and checks the folder, name and extension parts.
    BOOL QualifyFilePath(CString& path);

    const CString& GetErrorMessage() const { return m_errorMessage; }

private:
    CString m_errorMessage;
    CWnd* m_feedbackWindow;
};
