// The pass as a transaction: listing and rules decide what to install; staging copies each
// file beside its target and checks the target; only when every copy is there does the
// commit rename them into place, and any failure leaves the Korvo folder as it was.
#include "install/InstallationPass.h"

#include "DiskFlush.h"
#include "KeepAlive.h"
#include "install/Commit.h"
#include "install/FileKind.h"
#include "install/PackList.h"
#include "install/PackVersions.h"
#include "install/PassFolder.h"
#include "install/PassFolderLayout.h"
#include "install/PassListing.h"
#include "install/PassOutcome.h"
#include "install/Retry.h"
#include "install/Staging.h"
#include "install/WindowsFolders.h"

namespace {

const char kCompleted[] = "Korvo-Quenda Service-Pack - Installation abgeschlossen!";
const char kFailed[] = "Korvo-Quenda Service-Pack - Installation fehlgeschlagen!";
const char kUnreadable[] = "Der Service-Pack-Ordner konnte nicht gelesen werden:";
const char kNothingToInstall[] = "Der Ordner enth\xE4lt keine Dateien zum Installieren:";
const char kUnpackFirst[] = "Bitte entpacken Sie das Service-Pack vollst\xE4ndig und starten Sie "
                            "install.exe aus seinem Ordner.";
const char kWindowsFolder[] = "Das Programm wurde in einem Ordner von Windows gestartet:";
const char kStartFromPack[] = "Bitte starten Sie install.exe aus dem Ordner des Service-Packs.";
const char kNotHeld[] = "Der Korvo-Ordner konnte nicht ge\xF6"
                        "ffnet werden:";
const char kTryAgain[] = "Bitte starten Sie die Installation erneut.";
const char kKorvoLink[] = "Der Korvo-Ordner ist ein Link auf einen anderen Ordner:";
const char kChooseRealFolder[] = "Bitte w\xE4hlen Sie den Korvo-Ordner selbst.";
const char kPassFolderRefused[] = "Der Arbeitsordner der Installation im Korvo-Ordner konnte "
                                  "nicht angelegt oder nicht sicher verwendet werden:";
const char kRemoveIt[] = "Bitte lassen Sie ihn von einem Administrator pr\xFC"
                         "fen und entfernen, und starten Sie die Installation dann erneut.";
const char kNotChanged[] = "Korvo wurde nicht ver\xE4ndert.";
const char kAnotherPass[] =
    "Eine andere Installation in diesen Korvo-Ordner l\xE4uft bereits. Bitte warten Sie, bis "
    "sie beendet ist, und starten Sie die Installation dann erneut.";

// A pass that cannot start: the failure, what is wrong, the folder, and what to do if anything.
int ShowFailed(CPassFace& face, const char* what, const CString& folder, const char* advice,
               RunEnd end = RunEnd::Whole) {
    CDisplayText text = kFailed;
    text.Text("\n\n").Text(what).Text("\n").Name(folder);
    if (advice)
        text.Text("\n\n").Text(advice);
    face.Tell(text, MB_OK | MB_ICONERROR, end);
    return face.ExitCode();
}

// The Korvo folder held for the whole pass, so that it cannot be renamed away and something
// else put in its place meanwhile: its handle does not share delete. The folder itself is
// opened, never what a link or junction points to (on Windows without RedirectionGuard).
class FolderHold {
public:
    explicit FolderHold(const CString& folder) : m_handle(OpenFolderHeld(folder)) {}
    ~FolderHold() {
        if (Held())
            CloseHandle(m_handle);
    }
    FolderHold(const FolderHold&) = delete;
    FolderHold& operator=(const FolderHold&) = delete;
    bool Held() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_handle; }
    bool IsLink() const {
        DWORD attributes = 0, links = 0;
        return ReadFileKind(m_handle, attributes, links) &&
               (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }

private:
    HANDLE m_handle;
};

// Declined: an older pack over a newer Korvo, not to be installed; nothing was changed.
enum class Listed { Files, Unreadable, NotHeld, Declined };

struct Pass {
    Pass(const CString& source, const CString& target, HANDLE held, CPassFace& passFace,
         CKeepAlive& keepAlive, PassOutcome& passOutcome, bool folderMade)
        : sourceFolder(source), targetFolder(target), targetHold(held), face(passFace),
          alive(keepAlive), outcome(passOutcome), leftovers(!folderMade) {}

    const CString& sourceFolder;
    const CString& targetFolder;
    const HANDLE targetHold; // the Korvo folder's, whose volume is flushed
    CPassFace& face;
    CKeepAlive& alive;
    PassOutcome& outcome;
    const bool leftovers; // of a killed pass, in the pass's folder
    CRetryBudget retry{alive};
    CPackList list;
    CPassFiles files;
    CPackVersions versions;

    Listed Run();
    void Stage();
    void Check();
    void ShowProgress(int number, const char* name);
};

void Pass::ShowProgress(int number, const char* name) {
    if (!alive.ShowDue())
        return;
    CString text;
    text.Format("Datei %d: ", number);
    alive.Show(CDisplayText(text).Name(name));
}

// Every file staged before any is committed. After the first failure the pass copies no more
// but still checks the other targets, so that the message names all it can.
void Pass::Stage() {
    int staged = 0, number = 0;
    const bool flush = !CanFlushVolumeOf(targetHold);
    files.ForEach([&](CPassFiles::File file) {
        alive.Serve();
        const bool copy = outcome.Complete();
        if (copy)
            ShowProgress(++number, file.Name());
        retry.StartFile();
        const FilePaths paths(sourceFolder, targetFolder, file.Name());
        const Cause cause = StageFile(paths, file, copy, flush, leftovers, alive, retry, list);
        if (cause != Cause::None)
            outcome.CopyFailed(file.Name(), cause);
        else if (copy)
            ++staged;
        return true;
    });
    if (!outcome.Complete())
        Unstage(targetFolder, files, staged, alive, outcome);
}

// Each staged copy checked against the pack's list of files, the copy itself, as it is to be
// installed: a file changed in the pack folder, or while it was copied, is not committed.
void Pass::Check() {
    if (!list.Carried() || !outcome.Complete())
        return;
    files.ForEach([&](CPassFiles::File file) {
        // A current target was checked against the list as staging found it.
        if (file.Current())
            return true;
        const CString target = targetFolder + '\\' + file.Name();
        const CString staged = TemporaryPathFor(targetFolder, file.Name());
        retry.StartFile();
        CPackList::Copy copy;
        while ((copy = list.CheckStagedCopy(file.Name(), staged, alive)) ==
                   CPackList::Copy::Unreadable &&
               retry.Again(staged)) {
        }
        // A pack file damaged since its release may find Korvo's file as released: it is left
        // alone, and the copy made this pass goes.
        if (copy == CPackList::Copy::Differs && file.OldKept() &&
            list.CheckStagedCopy(file.Name(), target, alive) == CPackList::Copy::Matches &&
            DeleteFileA(staged)) {
            file.SetCurrent(true);
            return true;
        }
        if (copy != CPackList::Copy::Matches)
            outcome.CopyFailed(file.Name(), copy == CPackList::Copy::Differs
                                                ? Cause::NotAsShipped
                                                : CauseOf(GetLastError(), staged));
        return true;
    });
    if (!outcome.Complete())
        Unstage(targetFolder, files, files.Count(), alive, outcome);
}

Listed Pass::Run() {
    if (!CompleteKilledCommit(targetFolder, targetHold, list, retry, outcome))
        return Listed::Files;
    // A list that cannot be read cannot vouch for any file.
    if (list.Malformed()) {
        outcome.Failed(Cause::NotAsShipped);
        return Listed::Files;
    }
    if (!ListPack(sourceFolder, targetFolder, face.Owner(), alive, retry, list, files, outcome) &&
        GetLastError() != ERROR_FILE_NOT_FOUND)
        return Listed::Unreadable;
    // A listed file the pack folder lacks fails the pass before anything is copied.
    list.ReportUnseen(outcome);
    // After a failure of the listing, staging only checks the targets.
    Stage();
    Check();
    // Compared once the copies are vouched for, and before anything is committed.
    if (outcome.Complete())
        versions.Read(targetFolder, files, alive, face.Log());
    if (outcome.Complete() && versions.Older() && !face.MayReplaceNewer(versions)) {
        Unstage(targetFolder, files, files.Count(), alive, outcome);
        return Listed::Declined;
    }
    // Nothing to commit where every file is already current.
    if (outcome.Complete() && !files.ForEach([](CPassFiles::File file) { return file.Current(); }))
        Commit(targetFolder, targetHold, files, retry, outcome);
    if (outcome.Complete())
        files.ForEach([&](CPassFiles::File file) {
            if (!file.Current())
                face.File(file.Name(), Cause::None);
            else if (!file.TimeStale() ||
                     StampCurrent(FilePaths(sourceFolder, targetFolder, file.Name())))
                face.Current(file.Name());
            else
                face.File(file.Name(), Cause::Other);
            return true;
        });
    return Listed::Files;
}

} // namespace

void RunInstallationPass(CString sourceFolder, CString targetFolder, CWnd* owner, CWnd* display) {
    CRunLog none;
    CPassFace face(owner, none);
    RunInstallationPass(sourceFolder, targetFolder, face, display);
}

int RunInstallationPass(CString sourceFolder, CString targetFolder, CPassFace& face,
                        CWnd* display) {
    face.Log().Line(CDisplayText("Service-Pack-Ordner: ").Name(sourceFolder));
    face.Log().Line(CDisplayText("Korvo-Ordner: ").Name(targetFolder));
    // No source folder (the current directory could not be read) would list the drive's root.
    if (sourceFolder.IsEmpty())
        return ShowFailed(face, kUnreadable, sourceFolder, nullptr);
    if (IsWindowsOwnFolder(sourceFolder))
        return ShowFailed(face, kWindowsFolder, sourceFolder, kStartFromPack);

    PassOutcome outcome(&face);
    Listed listed = Listed::NotHeld;
    CPassFolder::Opened opened = CPassFolder::Opened::Ready;
    CString refused;
    bool linked = false;
    {
        // Held only while files change: the holds, the lock and the pass's folder go before
        // the closing message, which may stay open for hours.
        FolderHold hold(targetFolder);
        linked = hold.Held() && hold.IsLink();
        if (hold.Held() && !linked) {
            CPassFolder passFolder(targetFolder, hold.Handle());
            opened = passFolder.Open();
            refused = passFolder.Refused();
            if (opened == CPassFolder::Opened::Ready) {
                // Gone before the message box, which the window shows as it was.
                CKeepAlive alive(display);
                Pass pass(sourceFolder, targetFolder, hold.Handle(), face, alive, outcome,
                          passFolder.Made());
                listed = pass.Run();
            }
        }
    }
    if (linked)
        return ShowFailed(face, kKorvoLink, targetFolder, kChooseRealFolder);
    // Nothing was changed, and it can be tried again once the other one is done.
    if (opened == CPassFolder::Opened::AnotherPass) {
        face.Tell(CDisplayText(kFailed).Text("\n\n").Text(kAnotherPass), MB_OK | MB_ICONERROR,
                  RunEnd::WholeHeld);
        return face.ExitCode();
    }
    if (opened == CPassFolder::Opened::Refused)
        return ShowFailed(face, kPassFolderRefused, refused, kRemoveIt);

    if (listed == Listed::NotHeld)
        return ShowFailed(face, kNotHeld, targetFolder, kTryAgain);
    // Only the installer (a program started from inside a ZIP archive), or nothing at all.
    if (listed == Listed::Unreadable)
        return ShowFailed(face, kUnreadable, sourceFolder, nullptr);
    // "Nein" leaves the dialog as it was: no closing message, the exit code as before.
    if (listed == Listed::Declined && outcome.Complete()) {
        face.Log().Line(kNotChanged);
        return face.ExitCode();
    }
    if (outcome.NothingToInstall())
        return ShowFailed(face, kNothingToInstall, sourceFolder, kUnpackFirst);
    if (outcome.Complete())
        face.Tell(kCompleted, MB_OK | MB_ICONINFORMATION, RunEnd::Installed);
    else
        face.Tell(outcome.FailedText(), MB_OK | MB_ICONERROR, outcome.End());
    return face.ExitCode();
}
