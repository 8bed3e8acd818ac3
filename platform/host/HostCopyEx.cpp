// CopyFileExA as Windows calls its progress routine: once when the copy starts
// (CALLBACK_STREAM_SWITCH), then after each chunk of about a megabyte (CALLBACK_CHUNKFINISHED),
// with the file's size and the bytes copied. The stand-in has no handles to pass.
#include "HostCopy.h"
#include "HostErrors.h"

extern "C" BOOL CopyFileExA(LPCSTR source, LPCSTR target, LPPROGRESS_ROUTINE progress, LPVOID data,
                            BOOL* cancel, DWORD flags) {
    if (cancel || (flags & ~DWORD(COPY_FILE_FAIL_IF_EXISTS)))
        return hostfs::Fail(ERROR_NOT_SUPPORTED); // nothing the installer asks for
    bool quiet = !progress;
    const auto tell = [&](uint64_t done, uint64_t size) {
        if (quiet)
            return true;
        LARGE_INTEGER total, copied;
        total.QuadPart = LONGLONG(size);
        copied.QuadPart = LONGLONG(done);
        const DWORD reason = done == 0 ? CALLBACK_STREAM_SWITCH : CALLBACK_CHUNKFINISHED;
        const DWORD answer =
            progress(total, copied, total, copied, 1, reason, nullptr, nullptr, data);
        // PROGRESS_QUIET: no more calls; PROGRESS_CANCEL and PROGRESS_STOP end the copy.
        quiet = answer == PROGRESS_QUIET;
        return answer == PROGRESS_CONTINUE || quiet;
    };
    return hostfs::CopyFileWithProgress(source, target,
                                        (flags & COPY_FILE_FAIL_IF_EXISTS) ? TRUE : FALSE, tell);
}
