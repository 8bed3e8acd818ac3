// A Korvo file that already holds the pack file's bytes is left alone: a pack started again
// rewrites nothing, and backup tools, scanners and file-sync clients see no change.
#pragma once

#include "KeepAlive.h"
#include "install/PackList.h"
#include "install/PassFiles.h"
#include "install/Staging.h"

// Whether file's target, a plain file, holds what the pass would install: where list names the
// file, its size and SHA-256 are the list's; else the same size and the same bytes as the
// source, compared block by block. If so, marks file current (with its marks to reset and
// whether its time is the source's). Anything that cannot be read is not current.
bool MarkIfCurrent(const FilePaths& paths, CPassFiles::File file, CPackList& list,
                   CKeepAlive& alive);

// Once the pass has succeeded: a current file's marks reset and its time set to the source's,
// where they differ. False when that could not be done.
bool TouchCurrent(const FilePaths& paths, CPassFiles::File file);
