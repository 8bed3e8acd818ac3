#include "ServicePackApp.h"

#include "app/RedirectionGuard.h"
#include "install/InstallationPass.h"
#include "ui/ServicePackDlg.h"

namespace {

const char kNotUnderstood[] = "Dieses Argument wurde nicht verstanden: ";
const char kUsage[] =
    "install.exe [/S] [/D=<Korvo-Ordner>] [/LOG=<Datei>]\n\n"
    "/S\tohne Fenster und ohne Fragen installieren (mit /D=)\n"
    "/D=\tder Korvo-Hauptordner\n"
    "/LOG=\tein Protokoll der Installation (UTF-8, wird fortgesetzt)\n"
    "/?\tdiese \xDC"
    "bersicht\n\n"
    "Exitcodes:\n"
    "0\tinstalliert\n"
    "87\tBefehlszeile nicht verstanden, nichts getan\n"
    "1602\tohne erfolgreiche Installation beendet\n"
    "1603\tfehlgeschlagen, Korvo wurde nicht ver\xE4ndert\n"
    "1604\tKorvo wurde nur teilweise aktualisiert, der n\xE4"
    "chste Start vervollst\xE4ndigt es\n"
    "1618\tsp\xE4ter erneut versuchen: Korvo l\xE4uft noch, oder eine andere Installation\n"
    "1638\tein neueres Korvo ist installiert, nichts ver\xE4ndert";

} // namespace

BEGIN_MESSAGE_MAP(CServicePackApp, CWinApp)
ON_COMMAND(CServicePackApp, ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CServicePackApp::InitInstance() {
    // Before the first file is touched.
    TurnOnRedirectionGuard(optional_api::SetProcessMitigationPolicy());
    AfxEnableControlContainer();
    Enable3dControls();
    m_exitCode = RunWith(ReadCommandLine(GetCommandLineW()));
    CString code;
    code.Format("Exitcode %d", m_exitCode);
    m_log.Line(CDisplayText(code));
    // No message loop of our own: the program ends with the dialog.
    return FALSE;
}

int CServicePackApp::RunWith(const CommandLine& commandLine) {
    m_unattended = commandLine.unattended;
    if (!commandLine.log.IsEmpty())
        m_log.Open(commandLine.log);
    m_log.Line(
        CDisplayText("Korvo-Quenda Service-Pack " KQ_VERSION_TEXT ": ").Name(GetCommandLineA()));
    CWnd none;
    if (!commandLine.notUnderstood.IsEmpty()) {
        const CDisplayText text = CDisplayText(kNotUnderstood).Name(commandLine.notUnderstood);
        m_log.Line(text);
        if (!m_unattended)
            none.ShowMessageBox(CDisplayText(text).Text("\n\n").Text(kUsage), ErrorCaption(),
                                MB_OK | MB_ICONERROR);
        return kExitBadCommandLine;
    }
    if (commandLine.help) {
        none.ShowMessageBox(kUsage, ErrorCaption(), MB_OK | MB_ICONINFORMATION);
        return kExitInstalled;
    }
    if (m_unattended) {
        // No window at all: the pass's face is the log, and its questions get the safe answer.
        CPassFace face(nullptr, m_log);
        const CString pack = CServicePackDlg::PackFolder();
        if (face.MayInstallInto(pack, commandLine.folder))
            RunInstallationPass(pack, commandLine.folder, face);
        return face.ExitCode();
    }
    CServicePackDlg dlg;
    dlg.Prepare(commandLine.folder, &m_log);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return dlg.ExitCode();
}

int CServicePackApp::ExitInstance() {
    return m_exitCode;
}

int CServicePackApp::OnUnexpectedError() {
    m_log.Line("Das Programm wurde wegen eines unerwarteten Fehlers beendet.");
    if (!m_unattended)
        CWinApp::OnUnexpectedError();
    return kExitFailed;
}

CDisplayText CServicePackApp::ErrorCaption() const {
    return CServicePackDlg::kCaption;
}
