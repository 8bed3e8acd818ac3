#include "install/PassRules.h"

#include <cstring>

#include "WinApi.h"

namespace {

bool IsName(const char* name, const char* fixed) {
    return _mbscmp(reinterpret_cast<const unsigned char*>(name),
                   reinterpret_cast<const unsigned char*>(fixed)) == 0;
}

} // namespace

const char* const kOptionalLibraryNames[2] = {"VOZORADI.DLL", "DOZADARU.DLL"};
// Derived from the target's name, so a pass finds a leftover of an earlier, killed pass.
const char kTemporarySuffix[] = ".~kq";

const char kInstallerName[] = "install.exe";

bool IsSkippedName(const char* name) {
    return IsName(name, ".") || IsName(name, "..") || IsName(name, kInstallerName);
}

bool IsOptionalLibrary(const char* name) {
    for (const char* library : kOptionalLibraryNames)
        if (IsName(name, library))
            return true;
    return false;
}

bool IsInstallableName(const char* name) {
    const size_t length = std::strlen(name);
    return length > 0 && name[length - 1] != '.' && name[length - 1] != ' ';
}

bool IsHeldName(const char* name) {
    return std::strchr(name, '?') == nullptr;
}

CString TemporaryPathFor(const CString& targetPath) {
    return targetPath + kTemporarySuffix;
}
