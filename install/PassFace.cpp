#include "install/PassFace.h"

#include "install/PackPresence.h"

namespace {

const char kCaption[] = "Korvo-Quenda Service-Pack";
const char kNotKorvoFolder[] = "Der gew\xE4hlte Ordner enth\xE4lt keine Datei dieses "
                               "Service-Packs. Ist er wirklich der Korvo-Hauptordner?";

const char* Reason(Cause cause) {
    switch (cause) {
    case Cause::None:
        return nullptr;
    case Cause::InUse:
        return "von einem Programm verwendet";
    case Cause::SourceInUse:
        return "die Datei des Service-Packs wird verwendet";
    case Cause::DiskFull:
        return "Laufwerk voll";
    case Cause::PathTooLong:
        return "Pfad zu lang";
    case Cause::SourcePathTooLong:
        return "Pfad des Service-Packs zu lang";
    case Cause::NotAsShipped:
        return "fehlt oder ist besch\xE4"
               "digt";
    case Cause::Other:
        break;
    }
    return "Fehler";
}

} // namespace

bool CPassFace::MayInstallInto(const CString& source, const CString& target) {
    // A folder that does not exist is the pass's to refuse, naming it.
    if (!WouldOnlyAddFiles(source, target) || GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES)
        return true;
    m_log.Line(kNotKorvoFolder);
    const bool yes =
        m_owner && Show(kNotKorvoFolder, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
    m_log.Line(yes ? "Antwort: Ja" : m_owner ? "Antwort: Nein" : "Antwort: Nein (unbeaufsichtigt)");
    if (!yes && !m_owner)
        m_exitCode = ExitCodeOf(RunEnd::Whole);
    return yes;
}

bool CPassFace::MayReplaceNewer(const CPackVersions& versions) {
    const CDisplayText question = versions.Question();
    m_log.Line(question);
    // Not through Show: the pass has staged its copies and keeps the session held.
    const bool yes =
        m_owner && m_owner->ShowMessageBox(question, kCaption,
                                           MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
    m_log.Line(yes ? "Antwort: Ja" : m_owner ? "Antwort: Nein" : "Antwort: Nein (unbeaufsichtigt)");
    if (!yes && !m_owner)
        m_exitCode = ExitCodeOf(RunEnd::NewerInstalled);
    return yes;
}

void CPassFace::File(const char* name, Cause cause) {
    if (const char* reason = Reason(cause))
        m_log.Line(
            CDisplayText("nicht installiert: ").Name(name).Text(" (").Text(reason).Text(")"));
    else
        m_log.Line(CDisplayText("installiert: ").Name(name));
}

void CPassFace::Current(const char* name) {
    m_log.Line(CDisplayText("bereits aktuell: ").Name(name));
}

void CPassFace::Tell(const CDisplayText& text, UINT type, RunEnd end) {
    m_exitCode = ExitCodeOf(end);
    m_log.Line(text);
    if (m_owner)
        Show(text, type);
}

int CPassFace::Show(const CDisplayText& text, UINT type) {
    return m_owner->ShowMessageBox(text, kCaption, type);
}
