#include "install/InstallationPass.h"

#include "disk/DiskObject.h"
#include "install/PassRules.h"

namespace {

const char kCaption[] = "Korvo-Quenda Service-Pack";
const char kCompleted[] = "Korvo-Quenda Service-Pack - Installation abgeschlossen!";
const char kIncomplete[] = "Korvo-Quenda Service-Pack - Installation unvollst\xE4ndig!";
const char kFailed[] = "Korvo-Quenda Service-Pack - Installation fehlgeschlagen!";
const char kNotCopied[] = "Folgende Dateien konnten nicht kopiert werden:";
const char kListingBroken[] = "Der Service-Pack-Ordner konnte nicht vollst\xE4ndig gelesen werden.";
const char kUnreadable[] = "Der Service-Pack-Ordner konnte nicht gelesen werden:";
const char kTryAgain[] = "Bitte beenden Sie Korvo und starten Sie die Installation erneut.";

// An optional library is only replaced where the Korvo folder already has it.
bool PresentInTarget(const CString& targetPath, CWnd* owner) {
    CDiskObject disk(owner);
    return disk.IsFilePresent(targetPath) != FALSE;
}

bool IsFile(const CString& path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes the temporary file, whether a failed copy or a killed pass left it.
bool RemoveTemporary(const CString& temporary) {
    if (!IsFile(temporary))
        return false;
    SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(temporary) != FALSE;
}

enum class Target { Missing, Replaceable, Refused };

// What the platform's copy refuses to overwrite stays as it is: a read-only file, a folder,
// and a hidden or system file unless the new one is so too. A rename alone would replace them.
Target Inspect(const CString& targetPath, DWORD sourceAttributes) {
    const DWORD target = GetFileAttributesA(targetPath);
    if (target == INVALID_FILE_ATTRIBUTES)
        return Target::Missing;
    const DWORD guarded = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const bool refused = (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ||
                         (target & guarded & ~sourceAttributes);
    return refused ? Target::Refused : Target::Replaceable;
}

// Replaces the target whole or not at all: the copy goes to a temporary file beside it (one
// volume, so the rename cannot turn into a copy) and only the finished file is renamed over
// the target. A process killed on the way leaves the old target and, at worst, the temporary
// file, which the next pass over the same file removes.
//
// expectNew says whether the last target was missing. Then this one most likely is too (a
// first installation), and a rename that does not replace tells at no cost whether it is
// there; asking first would cost a second search of the folder for a name it lacks.
bool ReplaceWhole(const CString& sourcePath, const CString& targetPath, DWORD sourceAttributes,
                  bool& expectNew) {
    const CString temporary = TemporaryPathFor(targetPath);
    // Beyond MAX_PATH the file cannot be written safely; it is reported instead.
    if (temporary.GetLength() >= MAX_PATH)
        return false;
    const auto giveUp = [&temporary] {
        RemoveTemporary(temporary);
        return false;
    };
    if (!expectNew) {
        const Target target = Inspect(targetPath, sourceAttributes);
        if (target == Target::Refused)
            return giveUp();
        expectNew = target == Target::Missing;
    }
    // Exclusive, so that nothing found under the temporary name is written through; what a
    // killed pass left there is removed and the copy made again.
    if (!CopyFileA(sourcePath, temporary, TRUE)) {
        const DWORD error = GetLastError();
        const bool leftover = (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) &&
                              RemoveTemporary(temporary);
        if (!leftover || !CopyFileA(sourcePath, temporary, TRUE))
            return giveUp();
    }
    if (expectNew) {
        if (MoveFileExA(temporary, targetPath, 0))
            return true;
        const DWORD error = GetLastError();
        expectNew = false;
        if ((error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) ||
            Inspect(targetPath, sourceAttributes) == Target::Refused)
            return giveUp();
    }
    if (!MoveFileExA(temporary, targetPath, MOVEFILE_REPLACE_EXISTING))
        return giveUp();
    return true;
}

// What went wrong, in memory that does not grow with the number of files.
class PassOutcome {
public:
    void CopyFailed(const char* name) {
        if (m_failures < kNamesShown)
            m_names[m_failures] = name;
        ++m_failures;
    }
    void ListingBroken() { m_listingBroken = true; }

    bool Complete() const { return m_failures == 0 && !m_listingBroken; }

    CDisplayText IncompleteText() const {
        CDisplayText text = kIncomplete;
        if (m_failures > 0) {
            text.Text("\n\n").Text(kNotCopied);
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
        text.Text("\n\n").Text(kTryAgain);
        return text;
    }

private:
    static const int kNamesShown = 10;
    CString m_names[kNamesShown];
    int m_failures = 0;
    bool m_listingBroken = false;
};

void InstallEntry(const WIN32_FIND_DATAA& entry, const CString& sourceFolder,
                  const CString& targetFolder, CWnd* owner, PassOutcome& outcome, bool& expectNew) {
    const char* name = entry.cFileName;
    if (IsSkippedName(name))
        return;
    if (!IsInstallableName(name) || !IsHeldName(name)) {
        // A subfolder is not meant to be installed, whatever its name.
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            outcome.CopyFailed(name);
        return;
    }
    // The backslash is added even after a drive root; Windows takes the doubled one.
    CString sourcePath = sourceFolder + '\\' + name;
    CString targetPath = targetFolder + '\\' + name;
    if (IsOptionalLibrary(name) && !PresentInTarget(targetPath, owner)) {
        // There, so meant to be replaced, but it cannot be opened.
        if (IsFile(targetPath))
            outcome.CopyFailed(name);
        return;
    }
    // A subfolder cannot be copied and is not meant to be.
    const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool copied =
        !folder && ReplaceWhole(sourcePath, targetPath, entry.dwFileAttributes, expectNew);
    // Even when the copy was refused: a read-only or hidden target is then free for the next pass.
    SetFileAttributesA(targetPath, FILE_ATTRIBUTE_NORMAL);
    if (!copied && !folder)
        outcome.CopyFailed(name);
}

} // namespace

void RunInstallationPass(CString sourceFolder, CString targetFolder, CWnd* owner) {
    CString pattern;
    pattern.Format("%s\\*.*", static_cast<const char*>(sourceFolder));

    // No source folder (the current directory could not be read) would list the drive's root.
    WIN32_FIND_DATAA entry;
    HANDLE listing =
        sourceFolder.IsEmpty() ? INVALID_HANDLE_VALUE : FindFirstFileExactA(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE &&
        (sourceFolder.IsEmpty() || GetLastError() != ERROR_FILE_NOT_FOUND)) {
        CDisplayText text = kFailed;
        text.Text("\n\n").Text(kUnreadable).Text("\n").Name(sourceFolder);
        owner->ShowMessageBox(text, kCaption, MB_OK | MB_ICONERROR);
        return;
    }

    // ERROR_FILE_NOT_FOUND: the folder was read and holds nothing (an empty drive root).
    PassOutcome outcome;
    bool expectNew = false;
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            InstallEntry(entry, sourceFolder, targetFolder, owner, outcome, expectNew);
        } while (FindNextFileExactA(listing, &entry));
        if (GetLastError() != ERROR_NO_MORE_FILES)
            outcome.ListingBroken();
        FindClose(listing);
    }

    if (outcome.Complete())
        owner->ShowMessageBox(kCompleted, kCaption, MB_OK | MB_ICONINFORMATION);
    else
        owner->ShowMessageBox(outcome.IncompleteText(), kCaption, MB_OK | MB_ICONWARNING);
}
