// CreateHardLinkA: a second name for a file, as NTFS gives one. Like Windows', it takes a link
// as it is, never what it points to.
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "HostAttributes.h"
#include "HostErrors.h"
#include "HostPath.h"
#include "HostPowerCut.h"

using namespace hostfs;

extern "C" BOOL CreateHardLinkA(LPCSTR newName, LPCSTR existing, void* /*security*/) {
    std::string from, to;
    struct stat st;
    if (const DWORD error = StatPath(existing, from, st, false))
        return Fail(error);
    if (S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (const DWORD error = ToPosixPath(newName, to))
        return Fail(error);
    // A name there in another letter case is the same name on Windows.
    struct stat there;
    if (StatRegardlessOfCase(to, there, false) == 0)
        return Fail(ERROR_ALREADY_EXISTS);
    if (link(from.c_str(), to.c_str()) != 0)
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : PathError(errno, to));
    NoteLink(from, to);
    return TRUE;
}
