#include "AnsiName.h"

#include <string>

#include "CodePages.h"
#include "WinApi.h"

bool AnsiNameFrom1252(const char* name, CString& ansi) {
    const int length = MultiByteToWideChar(1252, 0, name, -1, nullptr, 0);
    Utf16 wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(1252, 0, name, -1, wide.data(), length);
    std::string narrow;
    // As long as a listing's name may be.
    const bool held = ToAnsiName(std::wstring_view(wide.data(), wide.size() - 1), narrow, MAX_PATH);
    ansi = narrow.c_str();
    return held;
}

bool AnsiNameFromWide(std::wstring_view name, CString& ansi) {
    std::string narrow;
    const bool held = ToAnsiName(name, narrow, MAX_PATH);
    ansi = narrow.c_str();
    return held;
}
