// Windows as the logic sees them. m_hWnd is a real window on Windows and a headless window
// (platform/host/HeadlessWindow.h) in the Linux build; the members below behave alike on both.
#pragma once

#include <memory>
#include <vector>

#include "CString.h"
#include "CmdTarget.h"
#include "DisplayText.h"

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The child control with that id, or null. The wrapper belongs to this window.
    CWnd* GetDlgItem(int id) const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    // The text in the ANSI code page, as the system gives names and paths.
    void SetWindowTextA(LPCSTR text);
    // The text with each piece read in its own code page, whatever the system's.
    void SetDisplayText(const CDisplayText& text);
    void GetWindowTextA(CString& text) const;
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    int ShowMessageBox(const CDisplayText& text, const CDisplayText& caption, UINT type = MB_OK);
    LRESULT SendMessageA(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Every message of the window arrives here: the message map first, then Default().
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Called for a message the map does not take; CWnd leaves it to Default().
    virtual LRESULT OnUnmapped(UINT message, WPARAM wParam);
    // The platform's own handling of the message being dispatched.
    LRESULT Default();
    // The wrapper for a child window, made on first use and kept until this window goes.
    CWnd* WrapChild(HWND child) const;

    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current = {0, 0, 0};

private:
    mutable std::vector<std::unique_ptr<CWnd>> m_children;
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog modally; returns what EndDialog was given.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    // Called when the dialog's controls exist, before it is shown.
    virtual BOOL OnInitDialog();
    // Called for IDOK and IDCANCEL; both end the dialog with their id.
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // IDOK and IDCANCEL that no map entry took end the dialog.
    LRESULT OnUnmapped(UINT message, WPARAM wParam) override;

    UINT m_templateId;
    CWnd* m_parent;
};
