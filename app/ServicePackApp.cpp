#include "ServicePackApp.h"

#include "app/RedirectionGuard.h"
#include "ui/ServicePackDlg.h"

BEGIN_MESSAGE_MAP(CServicePackApp, CWinApp)
ON_COMMAND(CServicePackApp, ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CServicePackApp::InitInstance() {
    // Before the first file is touched.
    TurnOnRedirectionGuard(optional_api::SetProcessMitigationPolicy());
    AfxEnableControlContainer();
    Enable3dControls();

    CServicePackDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // No message loop of our own: the program ends with the dialog.
    return FALSE;
}

CDisplayText CServicePackApp::ErrorCaption() const {
    return CServicePackDlg::kCaption;
}
