// The one copy behind CopyFileA and CopyFileExA.
#pragma once

#include <cstdint>
#include <functional>

#include "WinApi.h"

namespace hostfs {

// Told how much of the file is copied: once when both files are open, then after each chunk
// of a megabyte. false stops the copy, which then fails with ERROR_REQUEST_ABORTED.
typedef std::function<bool(uint64_t done, uint64_t size)> CopyProgress;

BOOL CopyFileWithProgress(LPCSTR source, LPCSTR target, BOOL failIfExists,
                          const CopyProgress& progress);

} // namespace hostfs
