// The pack's versions against Korvo's: each staged copy's file version against its Korvo
// file's. An older pack over a newer Korvo would leave it running with a mix of versions, so
// it is installed only when a person says so.
#pragma once

#include <vector>

#include "CString.h"
#include "FileVersion.h"
#include "KeepAlive.h"
#include "install/PassFiles.h"
#include "install/RunLog.h"

class CPackVersions {
public:
    // The version of each replaced file's staged copy and, where it has one, of its Korvo file.
    // Read after the copies were checked: the pack's files may have changed since.
    void Read(const CString& targetFolder, CPassFiles& files, CKeepAlive& alive);
    // Whether any Korvo file is newer than the pack's.
    bool Older() const;
    // The question, naming the first such file in the order of the listing.
    CDisplayText Question() const;
    // Every such file with both versions.
    void LogNewer(CRunLog& log) const;
    // Every replaced file with a version block, once it is installed: its old and new version.
    void LogInstalled(CRunLog& log) const;

private:
    // Only the files with a version block: most of a pack's files have none.
    struct Versioned {
        CString name;
        FileVersion pack, korvo;
        bool hasKorvo;
        bool Newer() const { return hasKorvo && korvo.Value() > pack.Value(); }
        // "<name>: installiert <a.b.c.d>, im Service-Pack <a.b.c.d>", appended to text.
        CDisplayText& Describe(CDisplayText& text) const;
    };
    std::vector<Versioned> m_files;
};
