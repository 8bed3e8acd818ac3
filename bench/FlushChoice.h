// What the pass's flushes cost: the pass with the volume's flush (as shipped), with a flush of
// each file instead (what the pass falls back to where the volume cannot be opened), and with
// none. The bench is linked with -Wl,--wrap=FlushVolumeOf,--wrap=CanFlushVolumeOf, so that it
// chooses per run.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "DiskFlush.h"

enum class Flush { Volume, EachFile, None };

inline Flush& FlushChosen() {
    static Flush chosen = Flush::Volume;
    return chosen;
}

// The error of the volume's last flush that failed (then the pass flushed each file), or 0.
inline DWORD& VolumeFlushError() {
    static DWORD error = 0;
    return error;
}

extern "C" BOOL __real_CanFlushVolumeOf(HANDLE folder);
extern "C" BOOL __wrap_CanFlushVolumeOf(HANDLE folder) {
    if (FlushChosen() == Flush::Volume)
        return __real_CanFlushVolumeOf(folder);
    return FlushChosen() == Flush::None;
}

extern "C" BOOL __real_FlushVolumeOf(HANDLE folder);
extern "C" BOOL __wrap_FlushVolumeOf(HANDLE folder) {
    switch (FlushChosen()) {
    case Flush::Volume:
        if (__real_FlushVolumeOf(folder))
            return TRUE;
        VolumeFlushError() = GetLastError();
        return FALSE;
    case Flush::EachFile:
        SetLastError(ERROR_ACCESS_DENIED); // as for a volume the program may not open
        return FALSE;
    case Flush::None:
        break;
    }
    return TRUE;
}

// timePass(): one pass from the same target state, in ms. Rows: each flush against none.
template <class TimePass>
void ReportFlushes(const std::string& build, const std::string& what, int rounds,
                   TimePass timePass) {
    std::vector<double> times[3];
    // Round 0 only warms the cache; the order turns each round so drift hits all alike.
    for (int round = 0; round <= rounds; ++round)
        for (int step = 0; step < 3; ++step) {
            const int which = (step + round) % 3;
            FlushChosen() = Flush(which);
            const double ms = timePass();
            if (round > 0)
                times[which].push_back(ms);
        }
    FlushChosen() = Flush::Volume;
    double median[3];
    for (int i = 0; i < 3; ++i) {
        std::sort(times[i].begin(), times[i].end());
        const size_t n = times[i].size();
        median[i] = n % 2 ? times[i][n / 2] : (times[i][n / 2 - 1] + times[i][n / 2]) / 2;
    }
    std::printf("%-4s %-40s pass without flush %8.1f ms, volume's flush %+.1f ms, each file's "
                "flush %+.1f ms (%d rounds)%s\n",
                build.c_str(), what.c_str(), median[2], median[0] - median[2],
                median[1] - median[2], rounds,
                VolumeFlushError() ? "; the volume refused its flush, each file was flushed" : "");
    std::printf("ROW\t%s pass with the volume's flush / without, %s\t%.3f\tshown\tshown\n",
                build.c_str(), what.c_str(), median[0] / median[2]);
    std::printf("ROW\t%s pass with each file's flush / without, %s\t%.3f\tshown\tshown\n",
                build.c_str(), what.c_str(), median[1] / median[2]);
    std::fflush(stdout);
}
