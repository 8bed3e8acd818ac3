// The main dialog in the Linux build: the controller is real, the window has no pixels.
#include "HeadlessWindow.h"
#include "ui/ServicePackDlg.h"

namespace {
// The controls of the main dialog's template, as the resource script lays them out.
const bool registered =
    (RegisterHeadlessTemplate(IDD_SERVICEPACK_DIALOG,
                              {{IDCANCEL, "Beenden"},
                               {IDC_CHOOSE_FOLDER, "1. Korvo-Hauptordner ausw\xE4hlen..."},
                               {IDC_START_INSTALLATION, "3. Starte Installation"}}),
     true);
} // namespace

CServicePackDlg::CServicePackDlg(CWnd* parent) : CDialog(IDD, parent) {
    (void)registered;
}

CServicePackDlg::~CServicePackDlg() = default;

BOOL CServicePackDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    InitialiseController();
    return TRUE;
}

BOOL CServicePackDlg::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CServicePackDlg::OnSysCommand(UINT, LPARAM) {
    Default();
}

void CServicePackDlg::OnPaint() {
    Default();
}

HCURSOR CServicePackDlg::OnQueryDragIcon() {
    return nullptr;
}
