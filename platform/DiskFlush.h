// Puts on the disk what the program wrote, so that a power cut cannot take it back after the
// program went on as if it were there (NTFS journals names, not the data of files).
#pragma once

#include "WinApi.h"

// One flush of the volume that holds the folder open as `folder` (its own handle, not its
// path: a path's drive letter names another volume where one is mounted in a folder or a
// junction leads elsewhere): the data of every file written there and every rename. FALSE,
// with the last error, where the volume cannot be opened for it (a network share, not
// elevated): then each file is flushed through a handle of its own.
extern "C" BOOL FlushVolumeOf(HANDLE folder);

// Whether FlushVolumeOf may flush folder's volume, asked before the files are written: where it
// cannot, each file is flushed while it is still open, which costs no second open.
extern "C" BOOL CanFlushVolumeOf(HANDLE folder);
