#include "install/PackVersions.h"

#include "install/PassFolderLayout.h"

namespace {

const char kOlder[] = "Dieses Service-Pack ist \xE4lter als das installierte Korvo.";
const char kReplaceAnyway[] = "Soll es trotzdem installiert werden? Neuere Dateien werden dann "
                              "durch \xE4ltere ersetzt.";

CString Text(const FileVersion& version) {
    CString text;
    text.Format("%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(version.ms)),
                static_cast<unsigned long>(LOWORD(version.ms)),
                static_cast<unsigned long>(HIWORD(version.ls)),
                static_cast<unsigned long>(LOWORD(version.ls)));
    return text;
}

} // namespace

CDisplayText& CPackVersions::Versioned::Describe(CDisplayText& text) const {
    return text.Name(name)
        .Text(": installiert ")
        .Text(Text(korvo))
        .Text(", im Service-Pack ")
        .Text(Text(pack));
}

void CPackVersions::Read(const CString& targetFolder, CPassFiles& files, CKeepAlive& alive) {
    m_files.clear();
    files.ForEach([&](CPassFiles::File file) {
        alive.Serve();
        // A new file replaces nothing, and one already current is not replaced.
        if (!file.OldKept() || file.Current())
            return true;
        Versioned versioned{file.Name(), {}, {}, false};
        // The Korvo file is read only where the pack's has a version to compare with.
        if (GetFileVersionA(TemporaryPathFor(targetFolder, file.Name()), versioned.pack)) {
            versioned.hasKorvo =
                GetFileVersionA(targetFolder + '\\' + file.Name(), versioned.korvo) != FALSE;
            m_files.push_back(versioned);
        }
        return true;
    });
}

bool CPackVersions::Older() const {
    for (const Versioned& file : m_files)
        if (file.Newer())
            return true;
    return false;
}

CDisplayText CPackVersions::Question() const {
    CDisplayText text = kOlder;
    for (const Versioned& file : m_files)
        if (file.Newer()) {
            file.Describe(text.Text("\n\n"));
            break;
        }
    return text.Text("\n\n").Text(kReplaceAnyway);
}

void CPackVersions::LogNewer(CRunLog& log) const {
    log.Line(kOlder);
    for (const Versioned& file : m_files)
        if (file.Newer()) {
            CDisplayText line;
            log.Line(file.Describe(line));
        }
}

void CPackVersions::LogInstalled(CRunLog& log) const {
    for (const Versioned& file : m_files) {
        CDisplayText line;
        line.Name(file.name).Text(file.hasKorvo ? ": Version " : ": ohne Version");
        if (file.hasKorvo)
            line.Text(Text(file.korvo));
        log.Line(line.Text(" ersetzt durch ").Text(Text(file.pack)));
    }
}
