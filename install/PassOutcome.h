// What went wrong in an installation pass, and the closing message that tells the user, in
// memory that does not grow with the number of files.
#pragma once

#include "DisplayText.h"
#include "install/RunEnd.h"

// Why a file was not installed; each cause has its own advice.
// NotAsShipped: missing from the pack folder, or its copy is not the file the release listed.
enum class Cause {
    None,
    InUse,
    SourceInUse,
    DiskFull,
    PathTooLong,
    SourcePathTooLong,
    NotAsShipped,
    Other
};

class CPassFace;

class PassOutcome {
public:
    // face, if given, hears of each file the pass refuses as it happens (the run's log).
    explicit PassOutcome(CPassFace* face = nullptr) : m_face(face) {}
    // A file the pass would install; a pass over none has nothing to do.
    void Candidate() { ++m_candidates; }
    void CopyFailed(const char* name, Cause cause);
    // A failure of the pass as a whole, not of one file (its record could not be written).
    void Failed(Cause cause);
    void ListingBroken();
    // The Korvo folder could not be put back as it was, or a killed pass's commit not be
    // completed: it holds new files beside old ones until a pass completes.
    void PartlyUpdated();
    // A killed pass's commit (committed) or undo finished: the folder is whole again, the new
    // pack or the version before it, whatever this pass then does.
    void FinishedKilled(bool committed);
    // A killed pass's copy that cannot be vouched for: not renamed into place, only logged.
    void NotVouched(const char* name);
    // A record of a killed pass that holds what no pass writes: nothing is changed.
    void RecordUnusable(const CString& record);

    bool Complete() const { return !m_failed; }
    bool NothingToInstall() const { return Complete() && m_candidates == 0; }
    int Candidates() const { return m_candidates; }
    CDisplayText FailedText() const;
    // How the pass left the folder: a held file is worth another try later.
    RunEnd End() const;

private:
    static const int kNamesShown = 10;
    CPassFace* m_face;
    CString m_names[kNamesShown];
    int m_failures = 0;
    int m_candidates = 0;
    bool m_failed = false;
    bool m_listingBroken = false;
    bool m_partly = false;
    enum class Finished { None, Commit, Undo } m_finished = Finished::None;
    CString m_unusableRecord;
    bool m_causes[static_cast<int>(Cause::Other) + 1] = {};
};
