// The installation pass's closing message taken apart, for tests that provoke failures and
// need to know which files it named, whatever order the listing gave them in.
#pragma once

#include <string>
#include <vector>

#include "TestWindow.h"

struct PassReport {
    bool wellFormed = false; // the paragraphs the pass writes, in its order, and nothing else
    bool complete = false;   // the one-line completion message
    std::vector<std::string> notCopied; // sorted
    int more = 0;                       // "... und N weitere"
    bool listingBroken = false;
    bool partly = false;             // else it says that Korvo was not changed
    std::vector<std::string> advice; // the closing sentences, in their order
    std::string text;
};

PassReport ParseReport(const ShownMessageBox& box);
