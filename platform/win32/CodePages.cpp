#include "CodePages.h"

#include "WinApi.h"

namespace {

std::string Narrow(std::wstring_view wide) {
    // UTF-8 takes no best-fit flag; it holds all but broken surrogates, which the round trip
    // below finds.
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, flags, wide.data(), size, &narrow[0], length, nullptr, nullptr);
    return narrow;
}

// Whether the bytes read back as exactly that text.
bool ReadsAs(const std::string& narrow, std::wstring_view wide) {
    const int size = static_cast<int>(narrow.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, nullptr, 0);
    if (length != static_cast<int>(wide.size()))
        return false;
    Utf16 back(static_cast<size_t>(length) + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, back.data(), length);
    return wide == std::wstring_view(back.data(), wide.size());
}

} // namespace

Utf16 WideText(const CDisplayText& text) {
    Utf16 wide;
    for (const CDisplayText::Piece& piece : text.Pieces()) {
        const UINT codePage = piece.name ? CP_ACP : 1252;
        const int length =
            MultiByteToWideChar(codePage, 0, piece.bytes, piece.bytes.GetLength(), nullptr, 0);
        if (length <= 0)
            continue;
        const size_t at = wide.size();
        wide.resize(at + static_cast<size_t>(length));
        MultiByteToWideChar(codePage, 0, piece.bytes, piece.bytes.GetLength(), &wide[at], length);
    }
    wide.push_back(L'\0');
    return wide;
}

bool ToAnsiName(std::wstring_view name, std::string& ansi, size_t room) {
    ansi = Narrow(name);
    if (ansi.size() < room && ReadsAs(ansi, name))
        return true;
    // Character by character (a surrogate pair as one), to mark just those it lacks.
    ansi.clear();
    for (size_t i = 0; i < name.size();) {
        size_t length = IS_HIGH_SURROGATE(name[i]) && i + 1 < name.size() ? 2 : 1;
        std::string one = Narrow(name.substr(i, length));
        if (!ReadsAs(one, name.substr(i, length)))
            one = "?";
        if (ansi.size() + one.size() + 1 >= room) {
            ansi += '?';
            break;
        }
        ansi += one;
        i += length;
    }
    return false;
}

CString Utf8Text(const CDisplayText& text) {
    const Utf16 wide = WideText(text);
    const int size = static_cast<int>(wide.size()) - 1;
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    CString utf8;
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.GetBuffer(length), length, nullptr,
                            nullptr);
        utf8.ReleaseBuffer(length);
    }
    return utf8;
}
