// The main dialog's controller: where the files come from, where they go, and the commands.
#include "ui/ServicePackDlg.h"

#include <optional>

#include "WaitCursor.h"
#include "install/InstallationPass.h"
#include "install/PassNames.h"
#include "ui/FolderPicker.h"

namespace {

const char kBrowseTitle[] = "Bitte Korvo-Installationsordner ausw\xE4hlen";

const wchar_t kShutdownReason[] = L"Das Korvo-Service-Pack wird installiert.";

// A folder as the system answers it into a buffer: a folder that the ANSI code page cannot
// name comes with '?' for what it lacks, and the pass then cannot list it and names it in its
// failure message, rather than install from a look-alike.
CString ReadFolder(DWORD (*read)(DWORD size, LPSTR buffer)) {
    CString folder;
    DWORD size = MAX_PATH;
    // A folder may be longer than MAX_PATH: then the call says how much room it needs, and a
    // folder renamed in between can ask for more again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD length = read(size, folder.GetBuffer(static_cast<int>(size)));
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

// While it lives, Windows does not end the session under a pass: the dialog answers "no", and
// the reason shows where Windows lists what holds up the logoff.
class SessionHold {
public:
    SessionHold(HWND window, bool& held) : m_window(window), m_held(held) {
        m_held = true;
        ShutdownBlockReasonCreate(m_window, kShutdownReason);
    }
    ~SessionHold() {
        ShutdownBlockReasonDestroy(m_window);
        m_held = false;
    }
    SessionHold(const SessionHold&) = delete;
    SessionHold& operator=(const SessionHold&) = delete;

private:
    HWND m_window;
    bool& m_held;
};

// The window's face of a pass: the session is held while files change, not while the closing
// box waits for the user.
class WindowFace : public CPassFace {
public:
    WindowFace(CWnd* owner, CRunLog& log, bool& holding)
        : CPassFace(owner, log), m_hold(std::in_place, owner->m_hWnd, holding) {}

protected:
    int Show(const CDisplayText& text, UINT type) override {
        m_hold.reset();
        return CPassFace::Show(text, type);
    }

private:
    std::optional<SessionHold> m_hold;
};

} // namespace

const char CServicePackDlg::kCaption[] = "Korvo-Quenda Service-Pack";

// The pack is the folder that holds this program. The current directory stays the source
// where it holds the program's own file (started from the pack's folder, as the pack says),
// spelt as the user reached it; any other start, by full path from elsewhere or from a
// shortcut, takes the program's folder.
CString CServicePackDlg::PackFolder() {
    return PackFolderOf(ReadFolder(GetCurrentDirectoryExactA));
}

CString CServicePackDlg::PackFolderOf(const CString& current) {
    if (!current.IsEmpty() && IsProgramFileA(current + '\\' + kInstallerName))
        return current;
    const CString program = ReadFolder(GetProgramFolderExactA);
    return program.IsEmpty() ? current : program;
}

void CServicePackDlg::Prepare(const CString& targetFolder, CRunLog* log) {
    m_targetFolder = targetFolder;
    m_log = log ? log : &m_noLog;
}

BEGIN_MESSAGE_MAP(CServicePackDlg, CDialog)
ON_WM_ERASEBKGND(CServicePackDlg)
ON_WM_SYSCOMMAND(CServicePackDlg)
ON_WM_PAINT(CServicePackDlg)
ON_WM_QUERYDRAGICON(CServicePackDlg)
ON_WM_QUERYENDSESSION(CServicePackDlg)
ON_BN_CLICKED(CServicePackDlg, IDC_CHOOSE_FOLDER, OnChooseFolder)
ON_BN_CLICKED(CServicePackDlg, IDC_START_INSTALLATION, OnStartInstallation)
END_MESSAGE_MAP()

void CServicePackDlg::InitialiseController() {
    GetDlgItem(IDC_START_INSTALLATION)->EnableWindow(FALSE);
    m_sourceFolder = ReadFolder(GetCurrentDirectoryExactA);
    SetDisplayText(kCaption);
    if (!m_targetFolder.IsEmpty())
        ShowTarget();
}

const CString& CServicePackDlg::SourceFolder() {
    if (!m_sourceRead)
        m_sourceFolder = PackFolderOf(m_sourceFolder);
    m_sourceRead = true;
    return m_sourceFolder;
}

void CServicePackDlg::ShowTarget() {
    GetDlgItem(IDC_START_INSTALLATION)->EnableWindow(TRUE);
    GetDlgItem(IDC_CHOOSE_FOLDER)->SetDisplayText(CDisplayText().Name(m_targetFolder));
}

void CServicePackDlg::OnChooseFolder() {
    if (m_installing)
        return;
    CFolderPicker picker;
    picker.m_title = kBrowseTitle;
    if (picker.Browse() == 1)
        m_targetFolder = picker.m_path;
    if (!m_targetFolder.IsEmpty())
        ShowTarget();
}

// The pass keeps the window answering and drops input meanwhile; a command sent straight to
// the window still arrives, and waits for the next pass or for the exit.
void CServicePackDlg::OnStartInstallation() {
    if (m_installing)
        return;
    // Also while the question is up: a command sent meanwhile must not start a pass.
    m_installing = true;
    CPassFace question(this, *m_log);
    if (question.MayInstallInto(SourceFolder(), m_targetFolder)) {
        CWaitCursor wait;
        WindowFace face(this, *m_log, m_holdingSession);
        const int exitCode = RunInstallationPass(SourceFolder(), m_targetFolder, face,
                                                 GetDlgItem(IDC_START_INSTALLATION));
        // A pass declined at its question leaves the last pass's code.
        if (exitCode != ExitCodeOf(RunEnd::NoPass))
            m_exitCode = exitCode;
    }
    m_installing = false;
}

BOOL CServicePackDlg::OnQueryEndSession() {
    return m_holdingSession ? FALSE : static_cast<BOOL>(Default());
}

void CServicePackDlg::OnCancel() {
    if (m_installing)
        return;
    CDialog::OnCancel();
}
