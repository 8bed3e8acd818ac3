// The installer's main dialog. ServicePackDlg.cpp holds its controller (the two folders and
// the commands) and builds everywhere; ServicePackDlgView.cpp holds what the user sees
// (Windows only), ServicePackDlgHeadless.cpp its pixel-free stand-in for the Linux build.
#pragma once

#include "DC.h"
#include "Wnd.h"
#include "install/PassFace.h"
#include "res/resource.h"

class CServicePackDlg : public CDialog {
public:
    static constexpr UINT IDD = IDD_SERVICEPACK_DIALOG;
    // The window's caption, set at initialisation.
    static const char kCaption[];

    explicit CServicePackDlg(CWnd* parent = nullptr);
    ~CServicePackDlg() override;

    // The folder that holds this program: the service pack. Of: the current directory as it
    // was read.
    static CString PackFolder();
    static CString PackFolderOf(const CString& current);
    // Before DoModal: the Korvo folder chosen on the command line (empty: none), and the run's
    // log (null: none), which must outlive the dialog.
    void Prepare(const CString& targetFolder, CRunLog* log);
    // The last pass's exit code; 1602 when none ran.
    int ExitCode() const { return m_exitCode; }

    BOOL OnInitDialog() override;
    // Called for IDCANCEL: the exit button, Escape or the close box.
    void OnCancel() override;

    // Called when the choose-folder button is clicked.
    void OnChooseFolder();
    // Called when the start button is clicked.
    void OnStartInstallation();
    // Called to paint the background; the picture covers the whole client area.
    BOOL OnEraseBkgnd(CDC* dc);
    // Called with every system-menu command.
    void OnSysCommand(UINT id, LPARAM lParam);
    // Called to paint; only the minimised window paints anything itself.
    void OnPaint();
    // Called when the minimised window is dragged.
    HCURSOR OnQueryDragIcon();
    // Called when Windows asks whether the session may end (logoff, shutdown, restart).
    BOOL OnQueryEndSession();

    const CString& TargetFolder() const { return m_targetFolder; }
    // The pack, told once when first asked for, from the current directory as initialisation
    // read it: telling it opens files, which is not to hold up the window.
    const CString& SourceFolder();

protected:
    // The controller's part of window initialisation.
    void InitialiseController();
    // The chosen Korvo folder on the choose button, and the start button enabled.
    void ShowTarget();

    HICON m_icon = nullptr;
    CDC m_memoryDC;
    BITMAP m_picture = {};
    RECT m_clientRect = {};
    CString m_targetFolder;
    CString m_sourceFolder;
    bool m_sourceRead = false;
    // While the start command runs: the pass serves its window, and a command must not start
    // another.
    bool m_installing = false;
    // While the pass runs: the session must not end under it.
    bool m_holdingSession = false;
    CRunLog m_noLog;
    CRunLog* m_log = &m_noLog;
    int m_exitCode = ExitCodeOf(RunEnd::NoPass);

    DECLARE_MESSAGE_MAP()
};
