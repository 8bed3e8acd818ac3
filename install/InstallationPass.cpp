#include "install/InstallationPass.h"

#include "KeepAlive.h"
#include "disk/DiskObject.h"
#include "install/PassOutcome.h"
#include "install/PassRules.h"
#include "install/Retry.h"
#include "install/WholeFile.h"
#include "install/WindowsFolders.h"

namespace {

const char kCaption[] = "Korvo-Quenda Service-Pack";
const char kCompleted[] = "Korvo-Quenda Service-Pack - Installation abgeschlossen!";
const char kFailed[] = "Korvo-Quenda Service-Pack - Installation fehlgeschlagen!";
const char kUnreadable[] = "Der Service-Pack-Ordner konnte nicht gelesen werden:";
const char kNothingToInstall[] = "Der Ordner enth\xE4lt keine Dateien zum Installieren:";
const char kUnpackFirst[] = "Bitte entpacken Sie das Service-Pack vollst\xE4ndig und starten Sie "
                            "install.exe aus seinem Ordner.";
const char kWindowsFolder[] = "Das Programm wurde in einem Ordner von Windows gestartet:";
const char kStartFromPack[] = "Bitte starten Sie install.exe aus dem Ordner des Service-Packs.";

// A pass that cannot start: the failure, what is wrong, the folder, and what to do if anything.
void ShowFailed(CWnd* owner, const char* what, const CString& folder, const char* advice) {
    CDisplayText text = kFailed;
    text.Text("\n\n").Text(what).Text("\n").Name(folder);
    if (advice)
        text.Text("\n\n").Text(advice);
    owner->ShowMessageBox(text, kCaption, MB_OK | MB_ICONERROR);
}

struct Pass {
    const CString& sourceFolder;
    const CString& targetFolder;
    CWnd* owner;
    CKeepAlive& alive;
    PassOutcome& outcome;
    CRetryBudget retry{alive};
    bool expectNew = false;

    void Install(const WIN32_FIND_DATAA& entry);
    void ShowProgress(const char* name);
};

void Pass::ShowProgress(const char* name) {
    if (!alive.ShowDue())
        return;
    CString number;
    number.Format("Datei %d: ", outcome.Candidates());
    alive.Show(CDisplayText(number).Name(name));
}

void Pass::Install(const WIN32_FIND_DATAA& entry) {
    alive.Serve();
    const char* name = entry.cFileName;
    // A subfolder cannot be copied and is not meant to be.
    const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (IsSkippedName(name))
        return;
    if (!folder)
        outcome.Candidate();
    if (!IsInstallableName(name) || !IsHeldName(name)) {
        // A subfolder is not meant to be installed, whatever its name.
        if (!folder)
            outcome.CopyFailed(name, Cause::Other);
        return;
    }
    // The backslash is added even after a drive root; Windows takes the doubled one.
    CString sourcePath = sourceFolder + '\\' + name;
    CString targetPath = targetFolder + '\\' + name;
    if (IsOptionalLibrary(name)) {
        CDiskObject disk(owner);
        if (!disk.IsFilePresent(targetPath)) {
            const DWORD error = GetLastError();
            // There, so meant to be replaced, but it cannot be opened.
            if (IsFile(targetPath))
                outcome.CopyFailed(name, CauseOf(error, targetPath));
            return;
        }
    }
    if (!folder)
        ShowProgress(name);
    retry.StartFile();
    const Cause cause = folder ? Cause::None
                               : ReplaceWhole(sourcePath, targetPath, entry.dwFileAttributes,
                                              expectNew, alive, retry);
    // Even when the copy was refused: a read-only or hidden target is then free for the next pass.
    SetFileAttributesA(targetPath, FILE_ATTRIBUTE_NORMAL);
    if (cause != Cause::None)
        outcome.CopyFailed(name, cause);
}

} // namespace

void RunInstallationPass(CString sourceFolder, CString targetFolder, CWnd* owner, CWnd* display) {
    // No source folder (the current directory could not be read) would list the drive's root.
    if (sourceFolder.IsEmpty()) {
        ShowFailed(owner, kUnreadable, sourceFolder, nullptr);
        return;
    }
    if (IsWindowsOwnFolder(sourceFolder)) {
        ShowFailed(owner, kWindowsFolder, sourceFolder, kStartFromPack);
        return;
    }

    CString pattern;
    pattern.Format("%s\\*.*", static_cast<const char*>(sourceFolder));
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileExactA(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) {
        ShowFailed(owner, kUnreadable, sourceFolder, nullptr);
        return;
    }

    // ERROR_FILE_NOT_FOUND: the folder was read and holds nothing (an empty drive root).
    PassOutcome outcome;
    if (listing != INVALID_HANDLE_VALUE) {
        // Gone before the message box, which the window shows as it was.
        CKeepAlive alive(display);
        Pass pass{sourceFolder, targetFolder, owner, alive, outcome};
        do {
            pass.Install(entry);
        } while (FindNextFileExactA(listing, &entry));
        if (GetLastError() != ERROR_NO_MORE_FILES)
            outcome.ListingBroken();
        FindClose(listing);
    }

    // Only the installer (a program started from inside a ZIP archive), or nothing at all.
    if (outcome.NothingToInstall())
        ShowFailed(owner, kNothingToInstall, sourceFolder, kUnpackFirst);
    else if (outcome.Complete())
        owner->ShowMessageBox(kCompleted, kCaption, MB_OK | MB_ICONINFORMATION);
    else
        owner->ShowMessageBox(outcome.IncompleteText(), kCaption, MB_OK | MB_ICONWARNING);
}
