#include "install/PackVersions.h"

#include "install/PassFolderLayout.h"

void CPackVersions::Read(const CString& targetFolder, CPassFiles& files, CKeepAlive& alive,
                         CRunLog& log) {
    m_newer.Empty();
    files.ForEach([&](CPassFiles::File file) {
        alive.Serve();
        FileVersion korvo, pack;
        // A new file replaces nothing, one already current is not replaced, and only a program
        // has a version. The Korvo file is read only where the pack's has one to compare with.
        if (!file.OldKept() || file.Current() || !file.Program() ||
            !GetFileVersionA(TemporaryPathFor(targetFolder, file.Name()), pack) ||
            !GetFileVersionA(targetFolder + '\\' + file.Name(), korvo))
            return true;
        CString versions;
        versions.Format(": installiert %u.%u.%u.%u, im Service-Pack %u.%u.%u.%u", HIWORD(korvo.ms),
                        LOWORD(korvo.ms), HIWORD(korvo.ls), LOWORD(korvo.ls), HIWORD(pack.ms),
                        LOWORD(pack.ms), HIWORD(pack.ls), LOWORD(pack.ls));
        log.Line(CDisplayText().Name(file.Name()).Text(versions));
        if (m_newer.IsEmpty() && korvo.Value() > pack.Value())
            m_newer = file.Name(), m_versions = versions;
        return true;
    });
}
