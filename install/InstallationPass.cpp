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

    CString IncompleteText() const {
        CString text = kIncomplete;
        if (m_failures > 0) {
            text += "\n\n";
            text += kNotCopied;
            for (int i = 0; i < m_failures && i < kNamesShown; ++i) {
                text += '\n';
                text += m_names[i];
            }
            if (m_failures > kNamesShown) {
                CString more;
                more.Format("\n... und %d weitere", m_failures - kNamesShown);
                text += more;
            }
        }
        if (m_listingBroken) {
            text += "\n\n";
            text += kListingBroken;
        }
        text += "\n\n";
        text += kTryAgain;
        return text;
    }

private:
    static const int kNamesShown = 10;
    CString m_names[kNamesShown];
    int m_failures = 0;
    bool m_listingBroken = false;
};

void InstallEntry(const WIN32_FIND_DATAA& entry, const CString& sourceFolder,
                  const CString& targetFolder, CWnd* owner, PassOutcome& outcome) {
    const char* name = entry.cFileName;
    if (IsSkippedName(name))
        return;
    // The backslash is added even after a drive root; Windows takes the doubled one.
    CString sourcePath = sourceFolder + '\\' + name;
    CString targetPath = targetFolder + '\\' + name;
    if (IsOptionalLibrary(name) && !PresentInTarget(targetPath, owner))
        return;
    BOOL copied = CopyFileA(sourcePath, targetPath, FALSE);
    // Even when the copy was refused: a read-only or hidden target is then free for the next pass.
    SetFileAttributesA(targetPath, FILE_ATTRIBUTE_NORMAL);
    // A subfolder cannot be copied and is not meant to be.
    if (!copied && !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        outcome.CopyFailed(name);
}

} // namespace

void RunInstallationPass(CString sourceFolder, CString targetFolder, CWnd* owner) {
    CString pattern;
    pattern.Format("%s\\*.*", static_cast<const char*>(sourceFolder));

    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) {
        CString text = kFailed;
        text += "\n\n";
        text += kUnreadable;
        text += '\n';
        text += sourceFolder;
        owner->MessageBoxA(text, kCaption, MB_OK | MB_ICONERROR);
        return;
    }

    // ERROR_FILE_NOT_FOUND: the folder was read and holds nothing (an empty drive root).
    PassOutcome outcome;
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            InstallEntry(entry, sourceFolder, targetFolder, owner, outcome);
        } while (FindNextFileA(listing, &entry));
        if (GetLastError() != ERROR_NO_MORE_FILES)
            outcome.ListingBroken();
        FindClose(listing);
    }

    if (outcome.Complete())
        owner->MessageBoxA(kCompleted, kCaption, MB_OK | MB_ICONINFORMATION);
    else
        owner->MessageBoxA(outcome.IncompleteText(), kCaption, MB_OK | MB_ICONWARNING);
}
