#include "install/PassOutcome.h"

#include <algorithm>
#include <iterator>

#include "install/PassFace.h"

namespace {

const char kFailedHeading[] = "Korvo-Quenda Service-Pack - Installation fehlgeschlagen!";
const char kNotCopied[] = "Folgende Dateien konnten nicht kopiert werden:";
const char kNotAsShipped[] = "Folgende Dateien des Service-Packs fehlen oder sind besch\xE4"
                             "digt:";
const char kListingBroken[] = "Der Service-Pack-Ordner konnte nicht vollst\xE4ndig gelesen werden.";
const char kNotChanged[] = "Korvo wurde nicht ver\xE4ndert.";
const char kFinishedCommit[] = "Eine abgebrochene Installation wurde fertiggestellt: Korvo ist "
                               "vollst\xE4ndig auf dem Stand ihres Service-Packs.";
const char kFinishedUndo[] = "Eine abgebrochene Installation wurde zur\xFC"
                             "ckgenommen: Korvo ist vollst\xE4ndig auf dem Stand vor ihr.";
const char kUnusableRecord[] = "Die Aufzeichnung einer abgebrochenen Installation ist unlesbar:";
const char kUnknownState[] =
    "Ob Korvo vollst\xE4ndig ist, l\xE4sst sich daraus nicht sagen. Bitte lassen Sie die Datei "
    "von einem Administrator pr\xFC"
    "fen und entfernen, und starten Sie die Installation dann erneut.";
const char kPartly[] = "Korvo wurde nur teilweise aktualisiert. Der n\xE4"
                       "chste Start der Installation stellt es fertig.";

// The advice for each cause, in the order they are given: ending Korvo and starting again
// helps only with files in use.
const struct {
    Cause cause;
    const char* text;
} kAdvice[] = {
    {Cause::InUse, "Bitte beenden Sie Korvo und starten Sie die Installation erneut."},
    {Cause::SourceInUse, "Ein anderes Programm verwendet eine Datei des Service-Packs. Bitte "
                         "beenden Sie es und starten Sie die Installation erneut."},
    {Cause::DiskFull, "Auf dem Laufwerk des Korvo-Ordners ist nicht genug Platz. Bitte schaffen "
                      "Sie Platz und starten Sie die Installation erneut."},
    {Cause::PathTooLong, "Der Pfad ist f\xFCr Windows zu lang. Bitte k\xFCrzen Sie den Pfad des "
                         "Korvo-Ordners."},
    {Cause::SourcePathTooLong, "Der Pfad des Service-Packs ist f\xFCr Windows zu lang. Bitte "
                               "verschieben Sie das Service-Pack in einen Ordner mit k\xFCrzerem "
                               "Pfad."},
    {Cause::NotAsShipped, "Bitte laden Sie das Service-Pack erneut herunter und entpacken Sie es "
                          "vollst\xE4ndig."},
    {Cause::Other, "Bitte starten Sie die Installation erneut."},
};

} // namespace

void PassOutcome::CopyFailed(const char* name, Cause cause) {
    if (m_failures < kNamesShown)
        m_names[m_failures] = name;
    ++m_failures;
    Failed(cause);
    if (m_face)
        m_face->File(name, cause);
}

void PassOutcome::Failed(Cause cause) {
    m_failed = true;
    m_causes[static_cast<int>(cause)] = true;
}

void PassOutcome::ListingBroken() {
    m_listingBroken = true;
    Failed(Cause::Other);
}

void PassOutcome::PartlyUpdated() {
    m_partly = true;
    Failed(Cause::Other);
}

void PassOutcome::FinishedKilled(bool committed) {
    m_finished = committed ? Finished::Commit : Finished::Undo;
    if (m_face)
        m_face->Log().Line(committed ? kFinishedCommit : kFinishedUndo);
}

void PassOutcome::NotVouched(const char* name) {
    if (m_face)
        m_face->Log().Line(
            CDisplayText("Kopie nicht verwendbar, neu zu installieren: ").Name(name));
}

void PassOutcome::RecordUnusable(const CString& record) {
    m_unusableRecord = record;
    Failed(Cause::Other);
}

RunEnd PassOutcome::End() const {
    if (Complete())
        return RunEnd::Installed;
    if (m_partly)
        return RunEnd::PartlyUpdated;
    return m_causes[static_cast<int>(Cause::InUse)] ? RunEnd::WholeHeld : RunEnd::Whole;
}

CDisplayText PassOutcome::FailedText() const {
    CDisplayText text = kFailedHeading;
    // Whether the killed pass had begun changing files cannot be told: no start helps.
    if (!m_unusableRecord.IsEmpty())
        return text.Text("\n\n")
            .Text(kUnusableRecord)
            .Text("\n")
            .Name(m_unusableRecord)
            .Text("\n\n")
            .Text(kUnknownState);
    if (m_failures > 0) {
        // A pack not as released is all that is named when it is the only cause.
        const bool onlyPack = m_causes[static_cast<int>(Cause::NotAsShipped)] &&
                              std::count(std::begin(m_causes), std::end(m_causes), true) == 1;
        text.Text("\n\n").Text(onlyPack ? kNotAsShipped : kNotCopied);
        for (int i = 0; i < m_failures && i < kNamesShown; ++i)
            text.Text("\n").Name(m_names[i]);
        if (m_failures > kNamesShown) {
            CString more;
            more.Format("\n... und %d weitere", m_failures - kNamesShown);
            text.Text(more);
        }
    }
    if (m_listingBroken)
        text.Text("\n\n").Text(kListingBroken);
    text.Text("\n\n").Text(m_partly                         ? kPartly
                           : m_finished == Finished::Commit ? kFinishedCommit
                           : m_finished == Finished::Undo   ? kFinishedUndo
                                                            : kNotChanged);
    const char* separator = "\n\n";
    for (const auto& advice : kAdvice)
        if (m_causes[static_cast<int>(advice.cause)]) {
            text.Text(separator).Text(advice.text);
            separator = "\n";
        }
    return text;
}
