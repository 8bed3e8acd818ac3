// The pack's versions against Korvo's: each staged copy's file version against its Korvo
// file's. An older pack over a newer Korvo would leave it running with a mix of versions, so
// it is installed only when a person says so.
#pragma once

#include "CString.h"
#include "FileVersion.h"
#include "KeepAlive.h"
#include "install/PassFiles.h"
#include "install/RunLog.h"

class CPackVersions {
public:
    // The version of each file's staged copy that is to replace a Korvo file and, where the
    // copy has one, of that Korvo file; each such file goes to the log with both versions. Read
    // after the copies were checked: the pack's files may have changed since.
    void Read(const CString& targetFolder, CPassFiles& files, CKeepAlive& alive, CRunLog& log);
    // Whether any Korvo file is newer than the pack's.
    bool Older() const { return !m_newer.IsEmpty(); }
    // The question, naming the first such file in the order of the listing.
    CDisplayText Question() const {
        return CDisplayText("Dieses Service-Pack ist \xE4lter als das installierte Korvo.\n\n")
            .Name(m_newer)
            .Text(m_versions)
            .Text("\n\nSoll es trotzdem installiert werden? Neuere Dateien werden dann durch "
                  "\xE4ltere ersetzt.");
    }

private:
    CString m_newer;    // the first Korvo file newer than the pack's
    CString m_versions; // ": installiert <a.b.c.d>, im Service-Pack <a.b.c.d>"
};
