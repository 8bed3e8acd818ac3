// What a pass tells or asks a person, and the exit code it ends the program with. One face for
// both modes: with a window (owner) it shows its boxes there; without one (unattended) it shows
// nothing, answers every question with the safe "no" and leaves it all to the log.
#pragma once

#include "Wnd.h"
#include "install/PackVersions.h"
#include "install/PassOutcome.h"
#include "install/RunEnd.h"
#include "install/RunLog.h"

class CPassFace {
public:
    // owner: the window, or null unattended. log may be closed; neither is owned.
    CPassFace(CWnd* owner, CRunLog& log) : m_owner(owner), m_log(log) {}
    virtual ~CPassFace() = default;
    CPassFace(const CPassFace&) = delete;
    CPassFace& operator=(const CPassFace&) = delete;

    CWnd* Owner() const { return m_owner; }
    // Whether to install from source into target: a folder that holds none of the pack's files
    // is asked about first. A "no" without a window fails the run.
    bool MayInstallInto(const CString& source, const CString& target);
    // Whether to install a pack older than the Korvo it goes over (versions.Older()), replacing
    // newer files with older ones. A "no" without a window ends the run with 1638.
    bool MayReplaceNewer(const CPackVersions& versions);
    // A file the pass installed (Cause::None) or refused.
    void File(const char* name, Cause cause);
    // A file that Korvo already had as the pack has it.
    void Current(const char* name);
    // The pass's closing message, and the code that the program now ends with.
    void Tell(const CDisplayText& text, UINT type, RunEnd end);
    int ExitCode() const { return m_exitCode; }
    CRunLog& Log() { return m_log; }

protected:
    // The box, where there is a window; the dialog ends its session's hold first.
    virtual int Show(const CDisplayText& text, UINT type);

private:
    CWnd* m_owner;
    CRunLog& m_log;
    int m_exitCode = ExitCodeOf(RunEnd::NoPass);
};
