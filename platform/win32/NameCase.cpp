// Through UTF-16, letter by letter through the system's table of upper case, as NTFS compares
// names: CompareStringOrdinal does that.
#include "NameCase.h"

#include <cstring>
#include <cwchar>
#include <memory>

#include "OptionalApi.h"

namespace {

std::unique_ptr<wchar_t[]> Wide(LPCSTR name, int& length) {
    length = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    std::unique_ptr<wchar_t[]> wide(length > 0 ? new wchar_t[length] : nullptr);
    if (wide && MultiByteToWideChar(CP_ACP, 0, name, -1, wide.get(), length) != length)
        wide.reset();
    return wide;
}

} // namespace

extern "C" int CompareFileNamesA(LPCSTR a, LPCSTR b) {
    int lengthA = 0, lengthB = 0;
    const std::unique_ptr<wchar_t[]> wideA = Wide(a, lengthA), wideB = Wide(b, lengthB);
    if (!wideA || !wideB)
        return std::strcmp(a, b);
    if (const auto compare = optional_api::CompareStringOrdinal())
        return compare(wideA.get(), -1, wideB.get(), -1, TRUE) - CSTR_EQUAL;
    // Without it, each letter's upper case, which folds the same letters.
    CharUpperBuffW(wideA.get(), lengthA);
    CharUpperBuffW(wideB.get(), lengthB);
    return std::wcscmp(wideA.get(), wideB.get());
}
