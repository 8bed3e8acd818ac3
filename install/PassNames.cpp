#include "install/PassNames.h"

#include <cctype>
#include <cstring>

#include "WinApi.h"
#include "install/PassFolderLayout.h"

namespace {

bool IsName(const char* name, const char* fixed) {
    return _mbscmp(reinterpret_cast<const unsigned char*>(name),
                   reinterpret_cast<const unsigned char*>(fixed)) == 0;
}

} // namespace

const char* const kOptionalLibraryNames[2] = {"VOZORADI.DLL", "DOZADARU.DLL"};

const char kInstallerName[] = "install.exe";

bool IsSkippedName(const char* name) {
    // Wine keeps a file's stream as a file "name:stream" beside it and lists it so; no file on
    // Windows has a colon in its name.
    return IsName(name, ".") || IsName(name, "..") || IsName(name, kInstallerName) ||
           std::strchr(name, ':');
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

bool IsPassName(const char* name) {
    // ASCII at the end: '.' is no trail byte of a double-byte code page.
    const size_t length = std::strlen(name), suffix = std::strlen(kPassFolderName);
    if (length < suffix)
        return false;
    for (size_t i = 0; i < suffix; ++i)
        if (std::tolower(static_cast<unsigned char>(name[length - suffix + i])) !=
            kPassFolderName[i])
            return false;
    return true;
}
