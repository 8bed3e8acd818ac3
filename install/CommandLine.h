// The program's command line, split by Windows' own rules (as CommandLineToArgvW splits it) and
// read once at start-up. Switches in any letter case:
//   /S            unattended: no window, no message box, never waiting for anyone
//   /D=<folder>   the Korvo folder (required with /S)
//   /LOG=<file>   a log of the run
//   /?            the switches and the exit codes, in a box
#pragma once

#include <string_view>
#include <vector>

#include "CString.h"

struct CommandLine {
    bool unattended = false;
    bool help = false;
    CString folder; // in the ANSI code page, as the pass takes it
    CString log;
    // The first argument not understood (also /S without /D=, or /? with /S); empty if none.
    CString notUnderstood;
    // What is wrong with it, where a sentence helps; null if none.
    const char* why = nullptr;
};

// An argument in UTF-16. Not std::wstring: its code comes whole from the static runtime, a
// tenth of the program's size.
using WideArgument = std::vector<wchar_t>;

// The next argument after the program's name, from at (0 at first) on; false after the last.
bool NextArgument(std::wstring_view line, size_t& at, WideArgument& argument);
CommandLine ReadCommandLine(std::wstring_view line);
// A /D= that is the pack folder or lies inside it would install the pack over itself: not
// understood. Apart from ReadCommandLine, because finding the pack reads the disk: pack is asked
// only where there is a /D= to check.
void RefusePackFolder(CommandLine& read, CString (*pack)());
