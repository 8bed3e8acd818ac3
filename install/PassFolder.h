// The pass's own folder in the Korvo folder (PassFolderLayout.h): made, or one left by a killed
// pass checked, held and locked for the whole pass, and removed at its end when empty.
#pragma once

#include "CString.h"
#include "install/PassFolderLayout.h"
#include "WinApi.h"

class CPassFolder {
public:
    enum class Opened { Ready, AnotherPass, Refused };

    // targetFolder is held open by targetHold for as long as this object lives.
    CPassFolder(const CString& targetFolder, HANDLE targetHold);
    // Releases the lock and removes the folders that are empty; a killed pass leaves them.
    ~CPassFolder();
    CPassFolder(const CPassFolder&) = delete;
    CPassFolder& operator=(const CPassFolder&) = delete;

    // Ready: held and locked. AnotherPass: a pass holds the lock, nothing was changed.
    // Refused: what Refused() names is not a folder of the pass's own, or could not be made;
    // nothing is done through it.
    Opened Open();
    const CString& Refused() const { return m_refused; }
    // Whether this pass made the folder and its subfolders: then no killed pass left anything.
    bool Made() const { return m_made; }

private:
    bool Hold(const CString& path, HANDLE parent, HANDLE& handle);
    CString Path(const char* name) const;

    const CString& m_target;
    HANDLE m_targetHold;
    HANDLE m_folder = INVALID_HANDLE_VALUE;
    HANDLE m_lock = INVALID_HANDLE_VALUE;
    HANDLE m_spread[kSpreadFolders];
    CString m_refused;
    bool m_made = true;
};
