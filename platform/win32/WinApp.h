// The application object and the program's entry. The program defines one global object of a
// CWinApp subclass; WinMain (WinApp.cpp) runs its InitInstance and, if that asks for it, a
// message loop.
#pragma once

#include "CString.h"
#include "CmdTarget.h"
#include "DisplayText.h"
#include "WinApi.h"

class CWnd;

// The standard Help command, as menus and F1 accelerators send it.
#define ID_HELP 0xE146

class CWinApp : public CCmdTarget {
public:
    // A null name stands for the executable's file name without folder and extension.
    explicit CWinApp(LPCSTR appName = nullptr);
    ~CWinApp() override;

    // Called once at start-up. TRUE runs the message loop, FALSE ends the program with the code
    // that ExitInstance gives.
    virtual BOOL InitInstance();
    virtual int ExitInstance() { return 0; }
    // Called when an exception ends the program; tells the user and gives the exit code.
    virtual int OnUnexpectedError();
    // The message loop; returns the exit code that WM_QUIT carries.
    virtual int Run();

    // Called for ID_HELP where a message map routes it here. There is no help file: nothing.
    void OnHelp();
    // The framework's 3-D look for dialog controls: native since Windows 95, so nothing.
    BOOL Enable3dControls();

    bool InMessageLoop() const { return m_inMessageLoop; }
    // The caption of the box that tells of an unexpected error; the application's name (a file
    // name, in the ANSI code page) unless the program has a caption of its own.
    virtual CDisplayText ErrorCaption() const { return CDisplayText().Name(m_pszAppName); }

    LPCSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    // The window whose end ends the message loop; not owned.
    CWnd* m_pMainWnd = nullptr;

private:
    CString m_appName;
    bool m_inMessageLoop = false;

    DECLARE_MESSAGE_MAP()
};

// The program's application object, or null before it is constructed.
CWinApp* AfxGetApp();
// The module that holds the program's resources: the executable.
HINSTANCE AfxGetResourceHandle();
// Hosting ActiveX controls in dialogs. No template of this program holds one, and COM is
// not started for nothing: nothing.
void AfxEnableControlContainer();
