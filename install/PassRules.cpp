#include "install/PassRules.h"

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

bool IsSkippedName(const char* name) {
    return IsName(name, ".") || IsName(name, "..") || IsName(name, "install.exe");
}

bool IsOptionalLibrary(const char* name) {
    for (const char* library : kOptionalLibraryNames)
        if (IsName(name, library))
            return true;
    return false;
}

bool IsInstallableName(const char* name) {
    const CString text = name;
    if (text.IsEmpty())
        return false;
    const char last = text[text.GetLength() - 1];
    return last != '.' && last != ' ';
}

CString TemporaryPathFor(const CString& targetPath) {
    return targetPath + kTemporarySuffix;
}
