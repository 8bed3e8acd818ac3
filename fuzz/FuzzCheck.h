// What the fuzz targets share: the report of a failed check, whose first line the test command
// looks for, and the removal of their throw-away folders.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/stat.h>

namespace fuzzcheck {

// Ends the run on a failed check, with the input spelled out byte for byte.
[[noreturn]] inline void Fail(const char* what, const std::string& input,
                              const char* label = "path") {
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n  %s (%zu bytes): \"", what, label, input.size());
    for (unsigned char c : input)
        std::fprintf(stderr, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X", c);
    std::fprintf(stderr, "\"\n");
    std::abort();
}

// The folder and everything in it; links are removed, not followed.
inline void RemoveTree(const std::string& path) {
    nftw(
        path.c_str(),
        [](const char* entry, const struct stat*, int, FTW*) { return remove(entry); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

} // namespace fuzzcheck
