// Shows the wait cursor for as long as it lives and then brings back the cursor it replaced.
#pragma once

#include "WinApi.h"

class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    // The headless backend has no cursor to bring back.
    [[maybe_unused]] HCURSOR m_previous;
};
