#include "WineDifference.h"

#include "WinApi.h"

bool RunningUnderWine() {
    // Wine's ntdll exports its version; Windows' never does.
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
