// Texts between the program's 8-bit strings and the system's UTF-16. The program's own texts
// are Windows-1252 on every system; names of files and folders are in the ANSI code page, as
// the A file functions take them, and a name that code page cannot hold is never given to them
// under a look-alike (the system's own conversions put "o" for "ö" under code page 932).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "DisplayText.h"

// UTF-16 text with its NUL. Not std::wstring: its code comes whole from the static runtime and
// would add a tenth to the program's size.
using Utf16 = std::vector<wchar_t>;

// Each piece from its own code page.
Utf16 WideText(const CDisplayText& text);

// The name in the ANSI code page, in fewer than `room` bytes. False when the code page cannot
// hold it or it does not fit: then each character it lacks is '?', which no Windows name holds,
// and a name cut short ends in one.
bool ToAnsiName(std::wstring_view name, std::string& ansi, size_t room);
