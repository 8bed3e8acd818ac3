// The installer's one real job: copy the service pack's files into the Korvo folder.
#pragma once

#include "CString.h"
#include "Wnd.h"
#include "install/PassFace.h"

// Copies every file of sourceFolder into targetFolder (see InstallationPass.cpp for the rules)
// and ends with a message box owned by owner that tells how it went. owner is also the
// feedback window of the existence test of the optional libraries, and is kept answering
// while the pass runs; display, if given, shows which file is being copied and gets its own
// text back before the message box.
void RunInstallationPass(CString sourceFolder, CString targetFolder, CWnd* owner,
                         CWnd* display = nullptr);
// The same pass told through face: its messages, each file to its log, and its exit code,
// which it also returns. The Korvo folder is let go before the closing message.
int RunInstallationPass(CString sourceFolder, CString targetFolder, CPassFace& face,
                        CWnd* display = nullptr);
