// The main dialog's controller: where the files come from, where they go, and the commands.
#include "ui/ServicePackDlg.h"

#include "WaitCursor.h"
#include "install/InstallationPass.h"
#include "ui/FolderPicker.h"

namespace {

const char kBrowseTitle[] = "Bitte Korvo-Installationsordner ausw\xE4hlen";

// A folder that the ANSI code page cannot name comes with '?' for what it lacks: the pass then
// cannot list it and names it in its failure message, rather than install from a look-alike.
CString CurrentDirectory() {
    CString folder;
    DWORD size = MAX_PATH;
    // A folder may be longer than MAX_PATH: then the call says how much room it needs, and a
    // folder renamed in between can ask for more again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD length = GetCurrentDirectoryExactA(size, folder.GetBuffer(static_cast<int>(size)));
        if (length == 0) {
            folder.ReleaseBuffer(0);
            return folder;
        }
        if (length < size) {
            folder.ReleaseBuffer(static_cast<int>(length));
            return folder;
        }
        size = length;
    }
    folder.ReleaseBuffer(0);
    return folder;
}

} // namespace

const char CServicePackDlg::kCaption[] = "Korvo-Quenda Service-Pack";

BEGIN_MESSAGE_MAP(CServicePackDlg, CDialog)
ON_WM_ERASEBKGND(CServicePackDlg)
ON_WM_SYSCOMMAND(CServicePackDlg)
ON_WM_PAINT(CServicePackDlg)
ON_WM_QUERYDRAGICON(CServicePackDlg)
ON_BN_CLICKED(CServicePackDlg, IDC_CHOOSE_FOLDER, OnChooseFolder)
ON_BN_CLICKED(CServicePackDlg, IDC_START_INSTALLATION, OnStartInstallation)
END_MESSAGE_MAP()

void CServicePackDlg::InitialiseController() {
    GetDlgItem(IDC_START_INSTALLATION)->EnableWindow(FALSE);
    m_sourceFolder = CurrentDirectory();
    SetDisplayText(kCaption);
}

void CServicePackDlg::OnChooseFolder() {
    if (m_installing)
        return;
    CFolderPicker picker;
    picker.m_title = kBrowseTitle;
    if (picker.Browse() == 1)
        m_targetFolder = picker.m_path;
    if (!m_targetFolder.IsEmpty()) {
        GetDlgItem(IDC_START_INSTALLATION)->EnableWindow(TRUE);
        GetDlgItem(IDC_CHOOSE_FOLDER)->SetDisplayText(CDisplayText().Name(m_targetFolder));
    }
}

// The pass keeps the window answering and drops input meanwhile; a command sent straight to
// the window still arrives, and waits for the next pass or for the exit.
void CServicePackDlg::OnStartInstallation() {
    if (m_installing)
        return;
    CWaitCursor wait;
    m_installing = true;
    RunInstallationPass(m_sourceFolder, m_targetFolder, this, GetDlgItem(IDC_START_INSTALLATION));
    m_installing = false;
}

void CServicePackDlg::OnCancel() {
    if (m_installing)
        return;
    CDialog::OnCancel();
}
