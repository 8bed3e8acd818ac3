// What went wrong in an installation pass, and the closing message that tells the user, in
// memory that does not grow with the number of files.
#pragma once

#include "DisplayText.h"

// Why a file was not installed; each cause has its own advice.
// NotAsShipped: missing from the pack folder, or its copy is not the file the release listed.
enum class Cause { None, InUse, DiskFull, PathTooLong, NotAsShipped, Other };

class PassOutcome {
public:
    // A file the pass would install; a pass over none has nothing to do.
    void Candidate() { ++m_candidates; }
    void CopyFailed(const char* name, Cause cause);
    void ListingBroken();

    bool Complete() const { return m_failures == 0 && !m_listingBroken; }
    bool NothingToInstall() const { return Complete() && m_candidates == 0; }
    int Candidates() const { return m_candidates; }
    CDisplayText IncompleteText() const;

private:
    static const int kNamesShown = 10;
    CString m_names[kNamesShown];
    int m_failures = 0;
    int m_candidates = 0;
    bool m_listingBroken = false;
    bool m_causes[static_cast<int>(Cause::Other) + 1] = {};
};
