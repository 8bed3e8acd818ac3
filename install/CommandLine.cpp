#include "install/CommandLine.h"

#include <cwctype>

#include "AnsiName.h"

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// A switch in any letter case, and what follows its '='.
bool Takes(const std::wstring& argument, std::wstring_view name, std::wstring_view& value) {
    if (argument.size() < name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::towupper(static_cast<wint_t>(argument[i])) != static_cast<wint_t>(name[i]))
            return false;
    value = std::wstring_view(argument).substr(name.size());
    return true;
}

} // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    size_t at = 0;
    // The program's name: up to a blank, or quoted, without any escape.
    if (at < line.size() && line[at] == L'"') {
        at = line.find(L'"', 1);
        at = at == std::wstring_view::npos ? line.size() : at + 1;
    }
    while (at < line.size() && !IsBlank(line[at]))
        ++at;
    std::vector<std::wstring> arguments;
    for (;;) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at == line.size())
            return arguments;
        std::wstring argument;
        bool quoted = false;
        while (at < line.size() && (quoted || !IsBlank(line[at]))) {
            size_t slashes = 0;
            while (at < line.size() && line[at] == L'\\')
                ++slashes, ++at;
            if (at < line.size() && line[at] == L'"') {
                // 2n backslashes and a quote: n of them, and the quote opens or closes; 2n+1:
                // n of them and the quote itself.
                argument.append(slashes / 2, L'\\');
                if (slashes % 2 == 1) {
                    argument += L'"';
                } else if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
                    argument += L'"'; // "" inside quotes is one quote
                    ++at;
                } else {
                    quoted = !quoted;
                }
                ++at;
            } else if (slashes > 0) {
                argument.append(slashes, L'\\');
            } else {
                argument += line[at++];
            }
        }
        arguments.push_back(argument);
    }
}

CommandLine ReadCommandLine(std::wstring_view line) {
    CommandLine read;
    bool folder = false, log = false;
    for (const std::wstring& argument : SplitCommandLine(line)) {
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
    const int length = read.folder.GetLength();
    if (length > 3 && read.folder[length - 1] == '\\')
        read.folder = read.folder.Left(length - 1);
    if (read.notUnderstood.IsEmpty() && read.unattended && (!folder || read.help))
        read.notUnderstood = read.help ? "/? mit /S" : "/S ohne /D=";
    return read;
}
