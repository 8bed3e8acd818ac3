// The stand-in's ANSI code page is Windows-1252 itself: every name is held as it is.
#include "AnsiName.h"

#include <string>

#include "DisplayText.h"
#include "HostNames.h"

bool AnsiNameFrom1252(const char* name, CString& ansi) {
    ansi = name;
    return true;
}

bool AnsiNameFromWide(std::wstring_view name, CString& ansi) {
    std::string utf8;
    for (const wchar_t c : name) {
        const auto code = static_cast<unsigned long>(c);
        if (code < 0x80) {
            utf8 += static_cast<char>(code);
            continue;
        }
        if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | (code >> 6));
        } else {
            if (code < 0x10000) {
                utf8 += static_cast<char>(0xE0 | (code >> 12));
            } else {
                utf8 += static_cast<char>(0xF0 | (code >> 18));
                utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            }
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        }
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
    std::string cp1252;
    const bool held = hostfs::Utf8ToCp1252(utf8, cp1252);
    ansi = cp1252.c_str();
    return held;
}

CString Utf8Text(const CDisplayText& text) {
    const CString bytes = text.Bytes();
    return hostfs::Cp1252ToUtf8(std::string_view(bytes, static_cast<size_t>(bytes.GetLength())))
        .c_str();
}
