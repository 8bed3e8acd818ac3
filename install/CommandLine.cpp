#include "install/CommandLine.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "AnsiName.h"
#include "NameCase.h"
#include "WinApi.h"
#include "install/WindowsFolders.h"

namespace {

const char kNoPathCharacter[] =
    "Ein Pfad enth\xE4lt keines der Zeichen \" < > | * ?. Ein \\ vor einem "
    "Anf\xFChrungszeichen macht es zu einem Teil des Pfades: /D=\"C:\\Korvo\", nicht "
    "/D=\"C:\\Korvo\\\".";
const char kNotAbsolute[] = "Bitte geben Sie den vollst\xE4ndigen Pfad an: mit Laufwerk "
                            "(C:\\...) oder als Netzwerkpfad (\\\\Server\\Freigabe\\...).";
const char kPackFolder[] = "Der Korvo-Ordner kann nicht der Ordner des Service-Packs sein oder "
                           "in ihm liegen.";

// Why a path given as a value is not as meant, or null. A relative path would be resolved
// against the current directory, which is the system folder under some deployment tools.
const char* PathProblem(std::wstring_view path) {
    if (path.find_first_of(L"\"<>|*?") != std::wstring_view::npos)
        return kNoPathCharacter;
    const auto isLetter = [](wchar_t c) { return (c | 0x20) >= L'a' && (c | 0x20) <= L'z'; };
    if (path.size() >= 3 && isLetter(path[0]) && path.substr(1, 2) == L":\\")
        return nullptr;
    // \\server\share; "\\.\" is the device namespace, not a server.
    if (path.substr(0, 2) == L"\\\\") {
        const size_t share = path.find(L'\\', 2);
        if (share != std::wstring_view::npos && share > 2 && path.substr(2, share - 2) != L"." &&
            share + 1 < path.size() && path[share + 1] != L'\\')
            return nullptr;
    }
    return kNotAbsolute;
}

// The full path as Windows resolves it: its "." and ".." components taken out, never above its
// root ("C:\" or "\\server\share"). By characters: a trail byte may be a backslash.
CString Collapsed(const CString& path) {
    std::vector<CString> parts;
    CString part;
    for (const char* c = path;; c = CharNextA(c)) {
        if (*c && *c != '\\') {
            for (const char* byte = c; byte != CharNextA(c); ++byte)
                part += *byte;
            continue;
        }
        // A doubled backslash is one, but for the two that begin a server's name.
        const bool unc = !parts.empty() && parts[0].IsEmpty();
        if (part == CString("..")) {
            if (parts.size() > (unc ? 4u : 1u))
                parts.pop_back();
        } else if (parts.empty() ||
                   (part != CString(".") && (!part.IsEmpty() || (unc && parts.size() == 1)))) {
            parts.push_back(part);
        }
        part.Empty();
        if (!*c)
            break;
    }
    CString collapsed;
    for (size_t i = 0; i < parts.size(); ++i)
        collapsed += (i ? "\\" : "") + parts[i];
    return parts.size() == 1 ? collapsed + "\\" : collapsed;
}

// Whether folder is outer or lies inside it, as the file system compares names. Both are without
// a closing backslash but for a drive's root.
bool IsSameOrInside(const CString& folder, const CString& outer) {
    for (CString at = Collapsed(folder);;) {
        if (CompareFileNamesA(at, outer) == 0)
            return true;
        // Up one folder, at the last backslash character (not byte: see WithoutClosingBackslash).
        const char* begin = at;
        const char* p = begin + at.GetLength();
        while (p != begin && *(p = CharPrevA(begin, p)) != '\\') {
        }
        const int cut = static_cast<int>(p - begin);
        if (cut == 0 || at.GetLength() <= 3)
            return false;
        at = at.Left(cut == 2 ? 3 : cut); // "C:\Pack" lies in "C:\", not in "C:"
    }
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// A switch in any letter case, and what follows its '='.
bool Takes(std::wstring_view argument, std::wstring_view name, std::wstring_view& value) {
    if (argument.size() < name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::towupper(static_cast<wint_t>(argument[i])) != static_cast<wint_t>(name[i]))
            return false;
    value = argument.substr(name.size());
    return true;
}

} // namespace

bool NextArgument(std::wstring_view line, size_t& at, WideArgument& argument) {
    // The program's name: up to a blank, or quoted, without any escape.
    if (at == 0 && !line.empty() && line[0] == L'"')
        at = std::min(line.find(L'"', 1), line.size() - 1) + 1;
    if (at == 0)
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    if (at == line.size())
        return false;
    argument.clear();
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
        size_t slashes = 0;
        for (; at < line.size() && line[at] == L'\\'; ++at)
            ++slashes;
        const bool quote = at < line.size() && line[at] == L'"';
        // 2n backslashes and a quote: n of them, and the quote opens or closes; 2n+1: n of
        // them and the quote itself. Backslashes before anything else are themselves.
        for (size_t kept = quote ? slashes / 2 : slashes; kept > 0; --kept)
            argument.push_back(L'\\');
        if (!quote) {
            if (slashes == 0)
                argument.push_back(line[at++]);
            continue;
        }
        if (slashes % 2 == 1) {
            argument.push_back(L'"');
        } else if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
            argument.push_back(L'"'); // "" inside quotes is one quote
            ++at;
        } else {
            quoted = !quoted;
        }
        ++at;
    }
    return true;
}

CommandLine ReadCommandLine(std::wstring_view line) {
    CommandLine read;
    bool folder = false, log = false;
    WideArgument wide;
    for (size_t at = 0; NextArgument(line, at, wide);) {
        const std::wstring_view argument(wide.data(), wide.size());
        std::wstring_view value;
        bool understood = true;
        CString* path = nullptr;
        if (Takes(argument, L"/S", value) && value.empty() && !read.unattended)
            read.unattended = true;
        else if (Takes(argument, L"/?", value) && value.empty() && !read.help)
            read.help = true;
        else if (Takes(argument, L"/D=", value) && !folder)
            understood = folder = AnsiNameFromWide(value, *(path = &read.folder)) && !value.empty();
        else if (Takes(argument, L"/LOG=", value) && !log)
            understood = log = AnsiNameFromWide(value, *(path = &read.log)) && !value.empty();
        else
            understood = false;
        const char* why = understood && path ? PathProblem(value) : nullptr;
        // Not even the refusal is logged where such a /LOG= leads.
        if (why)
            *path = CString();
        if ((!understood || why) && read.notUnderstood.IsEmpty()) {
            AnsiNameFromWide(argument, read.notUnderstood);
            read.why = why;
        }
    }
    // A folder named with a closing backslash is the same folder; a drive's root keeps it.
    read.folder = WithoutClosingBackslash(read.folder);
    if (read.notUnderstood.IsEmpty() && read.unattended && (!folder || read.help))
        read.notUnderstood = read.help ? "/? mit /S" : "/S ohne /D=";
    return read;
}

void RefusePackFolder(CommandLine& read, CString (*pack)()) {
    if (!read.notUnderstood.IsEmpty() || read.folder.IsEmpty())
        return;
    const CString folder = pack();
    if (!folder.IsEmpty() && IsSameOrInside(read.folder, WithoutClosingBackslash(folder))) {
        read.notUnderstood = "/D=" + read.folder;
        read.why = kPackFolder;
    }
}
