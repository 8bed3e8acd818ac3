#include "install/PassFolderLayout.h"

const char kPassFolderName[] = ".~kq";
// Short, as a Korvo folder of 250 characters must still hold them within MAX_PATH.
const char kRecordName[] = ".~kq\\~c";
const char kLockName[] = ".~kq\\~l";

namespace {

// Derived from the name alone, so a pass finds a leftover of an earlier, killed pass; letters
// folded, as Windows takes a name in any case.
CString SpreadPath(const CString& targetFolder, const char* name, int half) {
    unsigned hash = 0;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(name); *at; ++at)
        hash = hash * 31 + (*at >= 'A' && *at <= 'Z' ? *at + ('a' - 'A') : *at);
    // Copies in the first half, kept old files in the second.
    return SpreadFolderOf(targetFolder, half * kSpreadFolders / 2 + hash % (kSpreadFolders / 2)) +
           '\\' + name;
}

} // namespace

CString PassFolderOf(const CString& targetFolder) {
    // The backslash is added even after a drive root; Windows takes the doubled one.
    return targetFolder + '\\' + kPassFolderName;
}

CString SpreadFolderOf(const CString& targetFolder, int index) {
    return PassFolderOf(targetFolder) + '\\' + "0123456789abcdef"[index];
}

CString TemporaryPathFor(const CString& targetFolder, const char* name) {
    return SpreadPath(targetFolder, name, 0);
}

CString SecondPathFor(const CString& targetFolder, const char* name) {
    return SpreadPath(targetFolder, name, 1);
}
