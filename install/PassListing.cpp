#include "install/PassListing.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "NameCase.h"
#include "disk/DiskObject.h"
#include "install/CommitRecord.h"
#include "install/FileKind.h"
#include "install/PassNames.h"

namespace {

// Whether the Korvo folder has the optional library `name`, so that it is to be replaced. One
// there that cannot be opened, even after a hold's retries, is a failure.
bool HasOptionalLibrary(const CString& targetPath, const char* name, CWnd* owner,
                        CRetryBudget& retry, PassOutcome& outcome) {
    retry.StartFile();
    CDiskObject disk(owner);
    while (!disk.IsFilePresent(targetPath)) {
        const DWORD error = GetLastError();
        if (!IsFile(targetPath))
            return false;
        SetLastError(error);
        if (!retry.Again(targetPath)) {
            outcome.CopyFailed(name, CauseOf(error, targetPath));
            return false;
        }
    }
    return true;
}

void Take(const WIN32_FIND_DATAA& entry, const CString& targetFolder, CWnd* owner,
          CRetryBudget& retry, CPackList& list, CPassFiles& files, PassOutcome& outcome) {
    const char* name = entry.cFileName;
    const DWORD attributes = entry.dwFileAttributes;
    // A subfolder cannot be copied and is not meant to be.
    if (IsSkippedName(name) ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
            FILE_ATTRIBUTE_DIRECTORY ||
        !list.Lists(name))
        return;
    outcome.Candidate();
    // A link is not read through, whatever it points to.
    // So is a name the record of the commit could not hold and read back.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsRecordableName(name)) {
        outcome.CopyFailed(name, Cause::Other);
        return;
    }
    if (IsOptionalLibrary(name) &&
        !HasOptionalLibrary(targetFolder + '\\' + name, name, owner, retry, outcome))
        return;
    if (!files.Add(name))
        outcome.CopyFailed(name, Cause::Other);
}

int CompareKeys(const void* a, const void* b) {
    const uint32_t x = *static_cast<const uint32_t*>(a), y = *static_cast<const uint32_t*>(b);
    return x < y ? -1 : x > y;
}

// A key that names differing only in letter case share, whatever the code page: ASCII letters
// folded, each run of other characters one mark, as a letter and its pair may differ in length
// (in UTF-8). Names of one key are then compared whole.
uint32_t CaseKey(const char* name) {
    uint32_t key = 2166136261u; // FNV-1a
    bool run = false;
    for (const char* c = name; *c;) {
        const char* next = CharNextA(c);
        const unsigned byte = static_cast<unsigned char>(*c);
        const bool ascii = next - c == 1 && byte < 0x80;
        if (ascii || !run)
            key = (key ^ (ascii ? static_cast<unsigned>(std::tolower(byte)) : 0x100u)) * 16777619u;
        run = !ascii;
        c = next;
    }
    return key;
}

// Two names that differ only in letter case are one file in the Korvo folder and would share
// their copy's name: both are refused. A key of 32 bits a name keeps the memory small for many
// names; only names whose key another shares are compared whole, which are few. Sorted in the
// file system's order of names, such twins are neighbours.
void RefuseSameButCase(CPassFiles& files, PassOutcome& outcome) {
    const size_t count = static_cast<size_t>(files.Count());
    std::unique_ptr<uint32_t[]> keys(new uint32_t[count]);
    size_t shared = 0;
    files.ForEach([&](CPassFiles::File file) {
        keys[shared++] = CaseKey(file.Name());
        return true;
    });
    // In place: the C runtime's qsort may sort through a copy of all the keys (glibc's does).
    std::sort(keys.get(), keys.get() + count);
    // The keys that more than one name has, each once, in order.
    shared = 0;
    for (size_t i = 1; i < count; ++i)
        if (keys[i - 1] == keys[i] && (shared == 0 || keys[shared - 1] != keys[i]))
            keys[shared++] = keys[i];
    std::vector<char> names;
    files.ForEach([&](CPassFiles::File file) {
        const uint32_t key = CaseKey(file.Name());
        if (std::bsearch(&key, keys.get(), shared, sizeof(uint32_t), CompareKeys))
            names.insert(names.end(), file.Name(), file.Name() + std::strlen(file.Name()) + 1);
        return true;
    });
    std::vector<const char*> sorted;
    for (size_t at = 0; at < names.size(); at += std::strlen(&names[at]) + 1)
        sorted.push_back(&names[at]);
    if (sorted.empty())
        return; // none to compare, and qsort takes no null array
    std::qsort(sorted.data(), sorted.size(), sizeof(const char*), [](const void* a, const void* b) {
        return CompareFileNamesA(*static_cast<const char* const*>(a),
                                 *static_cast<const char* const*>(b));
    });
    for (size_t i = 0; i < sorted.size(); ++i)
        if ((i > 0 && CompareFileNamesA(sorted[i - 1], sorted[i]) == 0) ||
            (i + 1 < sorted.size() && CompareFileNamesA(sorted[i], sorted[i + 1]) == 0))
            outcome.CopyFailed(sorted[i], Cause::Other);
}

} // namespace

HANDLE FindFirstInFolder(const CString& folder, WIN32_FIND_DATAA* entry) {
    CString pattern;
    pattern.Format("%s\\*.*", static_cast<const char*>(folder));
    return FindFirstFileExactA(pattern, entry);
}

bool ListPack(const CString& sourceFolder, const CString& targetFolder, CWnd* owner,
              CKeepAlive& alive, CRetryBudget& retry, CPackList& list, CPassFiles& files,
              PassOutcome& outcome) {
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstInFolder(sourceFolder, &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return false;
    do {
        alive.Serve();
        Take(entry, targetFolder, owner, retry, list, files, outcome);
    } while (FindNextFileExactA(listing, &entry));
    if (GetLastError() != ERROR_NO_MORE_FILES)
        outcome.ListingBroken();
    FindClose(listing);
    RefuseSameButCase(files, outcome);
    return true;
}
