// The runtime library's path and string helpers. The host code page is single-byte
// Windows-1252, so characters are bytes here.
#include <algorithm>
#include <climits>
#include <cstring>

#include "WinApi.h"

namespace {

// Copies [begin, end) into a part buffer, cut to fit its capacity including the NUL.
void CopyPart(char* out, size_t capacity, const char* begin, const char* end) {
    if (!out)
        return;
    const size_t length = std::min(static_cast<size_t>(end - begin), capacity - 1);
    std::memcpy(out, begin, length);
    out[length] = '\0';
}

} // namespace

extern "C" void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
    if (!path)
        path = "";
    const char* rest = (path[0] && path[1] == ':') ? path + 2 : path;
    CopyPart(drive, _MAX_DRIVE, path, rest);

    const char* end = rest + std::strlen(rest);
    const char* nameStart = rest;
    const char* lastDot = nullptr;
    for (const char* p = rest; p < end; ++p) {
        if (*p == '\\' || *p == '/')
            nameStart = p + 1;
        else if (*p == '.')
            lastDot = p;
    }
    // A dot in the folder part is not an extension.
    const char* extStart = (lastDot && lastDot >= nameStart) ? lastDot : end;
    CopyPart(dir, _MAX_DIR, rest, nameStart);
    CopyPart(fname, _MAX_FNAME, nameStart, extStart);
    CopyPart(ext, _MAX_EXT, extStart, end);
}

extern "C" size_t _mbslen(const unsigned char* text) {
    return text ? std::strlen(reinterpret_cast<const char*>(text)) : 0;
}

extern "C" int _mbscmp(const unsigned char* a, const unsigned char* b) {
    if (!a || !b)
        return INT_MAX; // the runtime's _NLSCMPERROR
    while (*a && *a == *b)
        ++a, ++b;
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

// msvcrt folds ASCII letters only, to lower case; "\xC4" and "\xE4" stay two.
extern "C" int _mbsicmp(const unsigned char* a, const unsigned char* b) {
    if (!a || !b)
        return INT_MAX;
    const auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; };
    while (*a && fold(*a) == fold(*b))
        ++a, ++b;
    return fold(*a) < fold(*b) ? -1 : (fold(*a) > fold(*b) ? 1 : 0);
}

extern "C" LPSTR CharPrevA(LPCSTR start, LPCSTR current) {
    return const_cast<LPSTR>(current > start ? current - 1 : start);
}

extern "C" LPSTR CharNextA(LPCSTR current) {
    return const_cast<LPSTR>(*current ? current + 1 : current);
}
