// The installer's application object: its whole life is the modal main dialog.
#pragma once

#include "WinApp.h"

class CServicePackApp : public CWinApp {
public:
    CServicePackApp() : CWinApp(nullptr) {}

    // Runs the main dialog and returns FALSE, so the program ends with it.
    BOOL InitInstance() override;
    // The program's caption, as on its window and message boxes.
    CDisplayText ErrorCaption() const override;

    DECLARE_MESSAGE_MAP()
};
