// How a run ended, and the one place that turns that into the program's exit code.
#pragma once

// How a run ended, told by what it left of the Korvo folder.
enum class RunEnd {
    Installed,      // the pack is installed
    HelpShown,      // only the switches were shown
    BadCommandLine, // nothing was done
    NoPass,         // the dialog was left before any pass ran
    Whole,          // failed; Korvo is whole: as it was, or as a killed pass's commit or undo
    WholeHeld,      // as Whole, for a file in use or another pass: worth trying again later
    PartlyUpdated,  // new files beside old ones until a later start completes them
    NewerInstalled, // nothing was changed: Korvo has newer files than the pack's
};

// The program's exit code for it, decided here alone: Windows Installer's codes, which
// deployment tools read without being told.
int ExitCodeOf(RunEnd end);
