#include "ProgramData.h"

#include "WinApi.h"

bool FindProgramData(int id, std::string_view& data) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10)); // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return false;
    // A resource stays mapped as long as the program runs.
    data = std::string_view(static_cast<const char*>(bytes), SizeofResource(nullptr, found));
    return true;
}
