#include "install/CommandLine.h"

#include <algorithm>
#include <cwctype>

#include "AnsiName.h"
#include "install/WindowsFolders.h"

namespace {

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
        if (Takes(argument, L"/S", value) && value.empty() && !read.unattended)
            read.unattended = true;
        else if (Takes(argument, L"/?", value) && value.empty() && !read.help)
            read.help = true;
        else if (Takes(argument, L"/D=", value) && !folder)
            understood = folder = AnsiNameFromWide(value, read.folder) && !value.empty();
        else if (Takes(argument, L"/LOG=", value) && !log)
            understood = log = AnsiNameFromWide(value, read.log) && !value.empty();
        else
            understood = false;
        if (!understood && read.notUnderstood.IsEmpty())
            AnsiNameFromWide(argument, read.notUnderstood);
    }
    // A folder named with a closing backslash is the same folder; a drive's root keeps it.
    read.folder = WithoutClosingBackslash(read.folder);
    if (read.notUnderstood.IsEmpty() && read.unattended && (!folder || read.help))
        read.notUnderstood = read.help ? "/? mit /S" : "/S ohne /D=";
    return read;
}
