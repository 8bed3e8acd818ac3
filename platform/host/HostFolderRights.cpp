// Folder rights on POSIX, plainly: root stands for the Administrators group and the system,
// the effective user for the user the program runs as, who may own a folder as its parent's
// owner may. POSIX has no inheritance, so a folder grants nothing of its own when its group and
// others have no permission bit that its parent lacks (a group's bits only count under the
// parent's group) and it has no access ACL.
#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "FolderRights.h"
#include "HostErrors.h"
#include "HostOpenFile.h"

using namespace hostfs;

bool HasOnlyInheritedRights(HANDLE folder, HANDLE parent) {
    const OpenFile* own = LookupOpenFile(folder);
    const OpenFile* above = LookupOpenFile(parent);
    if (!own || !above)
        return false;
    struct stat st, parentSt;
    if (fstat(own->fd, &st) != 0 || fstat(above->fd, &parentSt) != 0)
        return Fail(ErrorFromErrno(errno));
    SetLastError(ERROR_SUCCESS);
    const mode_t groupBits = st.st_gid == parentSt.st_gid ? 0 : 070;
    const mode_t granted = st.st_mode & 077, passed = parentSt.st_mode & (077 & ~groupBits);
    const bool acl = fgetxattr(own->fd, "system.posix_acl_access", nullptr, 0) >= 0;
    const bool owner = st.st_uid == 0 || st.st_uid == geteuid() || st.st_uid == parentSt.st_uid;
    return owner && !(granted & ~passed) && !acl;
}

bool HasTrustedOwner(HANDLE file) {
    const OpenFile* open = LookupOpenFile(file);
    struct stat st;
    if (!open)
        return false;
    if (fstat(open->fd, &st) != 0)
        return Fail(ErrorFromErrno(errno));
    return st.st_uid == 0 || st.st_uid == geteuid();
}
