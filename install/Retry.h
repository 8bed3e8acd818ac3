// Another program may hold a file for a moment: a virus scanner checking a file just written,
// an indexer, a backup agent. What such a hold refuses is tried again after a short wait, a
// little longer each time, so that a hold of about a second clears. A file held for good
// (Korvo still running) is given up at last, and a budget for the whole pass keeps what such
// files cost to about two seconds, however many there are.
#pragma once

#include "CString.h"
#include "KeepAlive.h"
#include "install/PassOutcome.h"

// The cause to report for error, met on path.
Cause CauseOf(DWORD error, const CString& path);

class CRetryBudget {
public:
    explicit CRetryBudget(CKeepAlive& alive) : m_alive(alive) {}

    // The window served while the pass waits, and between its steps.
    CKeepAlive& Alive() const { return m_alive; }

    // A new file: its own waits start short again.
    void StartFile();
    // Called right after an operation on path failed. When the failure is a hold and time is
    // left, waits (serving the window) and returns true; otherwise returns false with the
    // operation's error as the last error.
    bool Again(const CString& path);

private:
    CKeepAlive& m_alive;
    DWORD m_nextWait = 0;
    DWORD m_fileWaited = 0;
    DWORD m_passWaited = 0;
};
