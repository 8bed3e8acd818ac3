// The installer's application object: the command line read once, then the modal main dialog
// or, unattended, the pass alone.
#pragma once

#include "WinApp.h"
#include "install/CommandLine.h"
#include "install/PassFace.h"

class CServicePackApp : public CWinApp {
public:
    CServicePackApp() : CWinApp(nullptr) {}

    // Runs the program and returns FALSE, so that it ends with ExitInstance's code.
    BOOL InitInstance() override;
    // The exit code of the run, as deployment tools read it.
    int ExitInstance() override;
    int OnUnexpectedError() override;
    // The program's caption, as on its window and message boxes.
    CDisplayText ErrorCaption() const override;

protected:
    // The run for an already-read command line; returns its exit code.
    int RunWith(const CommandLine& commandLine);

private:
    CRunLog m_log;
    bool m_unattended = false;
    CString m_korvoFolder; // of the pass, once one may run: for an unexpected error's exit code
    int m_exitCode = kExitNoPass;

    DECLARE_MESSAGE_MAP()
};
