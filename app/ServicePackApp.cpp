#include "ServicePackApp.h"

#include "app/RedirectionGuard.h"
#include "install/InstallationPass.h"
#include "install/PassFolderLayout.h"
#include "ui/ServicePackDlg.h"

namespace {

const char kNotUnderstood[] = "Dieses Argument wurde nicht verstanden: ";
const char kNoLog[] = "Das Protokoll wird nicht geschrieben:";
const char kInstallsAnyway[] = "Die Installation l\xE4uft ohne Protokoll.";
const char kUsage[] =
    "install.exe [/S] [/D=<Korvo-Ordner>] [/LOG=<Datei>]\n\n"
    "/S\tohne Fenster und ohne Fragen installieren (mit /D=)\n"
    "/D=\tder Korvo-Hauptordner, als vollst\xE4ndiger Pfad\n"
    "/LOG=\tein Protokoll der Installation (UTF-8, wird fortgesetzt)\n"
    "/?\tdiese \xDC"
    "bersicht\n\n"
    "Ein Pfad mit Leerzeichen steht in Anf\xFChrungszeichen, ohne \\ am Ende: "
    "/D=\"C:\\Program Files (x86)\\Korvo\". In cmd wartet start /wait install.exe ... "
    "auf das Ende der Installation.\n\n"
    "Exitcodes:\n"
    "0\tinstalliert\n"
    "87\tBefehlszeile nicht verstanden, nichts getan\n"
    "1602\tohne erfolgreiche Installation beendet\n"
    "1603\tfehlgeschlagen, Korvo ist vollst\xE4ndig: unver\xE4ndert, oder wie eine abgebrochene "
    "Installation es hinterlie\xDF (siehe Protokoll)\n"
    "1604\tKorvo wurde nur teilweise aktualisiert, der n\xE4"
    "chste Start vervollst\xE4ndigt es\n"
    "1618\tsp\xE4ter erneut versuchen: Korvo l\xE4uft noch, oder eine andere Installation in "
    "denselben Ordner\n"
    "1638\tein neueres Korvo ist installiert, nichts ver\xE4ndert";

} // namespace

BEGIN_MESSAGE_MAP(CServicePackApp, CWinApp)
ON_COMMAND(CServicePackApp, ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CServicePackApp::InitInstance() {
    CommandLine commandLine = ReadCommandLine(GetCommandLineW());
    // Unattended, no box may wait for anyone: neither Windows' "no disk" for a drive without
    // media nor its report of a crash. Before anything touches a drive.
    if (commandLine.unattended)
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // Before the first file is touched.
    TurnOnRedirectionGuard(optional_api::SetProcessMitigationPolicy());
    AfxEnableControlContainer();
    Enable3dControls();
    RefusePackFolder(commandLine, &CServicePackDlg::PackFolder);
    m_exitCode = RunWith(commandLine);
    CString code;
    code.Format("Exitcode %d", m_exitCode);
    m_log.Line(CDisplayText(code));
    // No message loop of our own: the program ends with the dialog.
    return FALSE;
}

int CServicePackApp::RunWith(const CommandLine& commandLine) {
    m_unattended = commandLine.unattended;
    CWnd none;
    // Unattended, the log's own line on the error stream is all there is.
    if (!commandLine.log.IsEmpty() && !m_log.Open(commandLine.log) && !m_unattended)
        none.ShowMessageBox(CDisplayText(kNoLog)
                                .Text("\n")
                                .Name(commandLine.log)
                                .Text("\n\n")
                                .Text(m_log.Why())
                                .Text(" ")
                                .Text(kInstallsAnyway),
                            ErrorCaption(), MB_OK | MB_ICONWARNING);
    m_log.Line(
        CDisplayText("Korvo-Quenda Service-Pack " KQ_VERSION_TEXT ": ").Name(GetCommandLineA()));
    if (!commandLine.notUnderstood.IsEmpty()) {
        CDisplayText text = CDisplayText(kNotUnderstood).Name(commandLine.notUnderstood);
        if (commandLine.why)
            text.Text("\n").Text(commandLine.why);
        m_log.Line(text);
        if (!m_unattended)
            none.ShowMessageBox(CDisplayText(text).Text("\n\n").Text(kUsage), ErrorCaption(),
                                MB_OK | MB_ICONERROR);
        return ExitCodeOf(RunEnd::BadCommandLine);
    }
    if (commandLine.help) {
        none.ShowMessageBox(kUsage, ErrorCaption(), MB_OK | MB_ICONINFORMATION);
        return ExitCodeOf(RunEnd::HelpShown);
    }
    if (m_unattended) {
        // No window at all: the pass's face is the log, and its questions get the safe answer.
        CPassFace face(nullptr, m_log);
        const CString pack = CServicePackDlg::PackFolder();
        m_korvoFolder = commandLine.folder;
        if (face.MayInstallInto(pack, commandLine.folder))
            RunInstallationPass(pack, commandLine.folder, face);
        return face.ExitCode();
    }
    CServicePackDlg dlg;
    dlg.Prepare(commandLine.folder, &m_log);
    m_pMainWnd = &dlg;
    try {
        dlg.DoModal();
    } catch (...) {
        m_korvoFolder = dlg.TargetFolder();
        throw;
    }
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
    // The pass's record outlives the pass: once written, files of Korvo may have changed, and
    // the next start completes them.
    const bool partly =
        !m_korvoFolder.IsEmpty() &&
        GetFileAttributesA(m_korvoFolder + '\\' + kRecordName) != INVALID_FILE_ATTRIBUTES;
    const int code = ExitCodeOf(partly ? RunEnd::PartlyUpdated : RunEnd::Whole);
    CString line;
    line.Format("Exitcode %d", code);
    m_log.Line(CDisplayText(line));
    return code;
}

CDisplayText CServicePackApp::ErrorCaption() const {
    return CServicePackDlg::kCaption;
}
