// How long a program takes from CreateProcess to its first visible top-level window, timed from
// outside with QueryPerformanceCounter; the window is then closed with WM_CLOSE.
//
//   kq_start_time.exe <rounds> <program> <yardstick program> [<other program>...]
//
// The programs start in turns (A B C, C B A, ...) after one untimed start each, in this
// process's wineserver, so Wine's own boot is not timed. Prints the medians, and a ROW line
// for bench.sh with the first program's median over the second's.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "Timing.h"

namespace {

const double kTarget = 1.2;
const double kGiveUpMs = 30000;

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK KeepIfShown(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

[[noreturn]] void Die(const char* what, const std::string& program) {
    std::fprintf(stderr, "start_time: %s %s (error %lu)\n", what, program.c_str(), GetLastError());
    std::exit(1);
}

// Milliseconds until the program's window was visible.
double TimeStart(const std::string& program) {
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const double start = Now();
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        Die("cannot start", program);
    Search search = {process.dwProcessId, nullptr};
    double shown = 0;
    for (;;) {
        EnumWindows(KeepIfShown, reinterpret_cast<LPARAM>(&search));
        shown = Now();
        if (search.found)
            break;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            Die("ended without a window:", program);
        if (shown - start > kGiveUpMs) {
            TerminateProcess(process.hProcess, 1);
            Die("showed no window in time:", program);
        }
        Sleep(1);
    }
    PostMessageA(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return shown - start;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <rounds> <program> <yardstick program> [<program>...]\n",
                     argv[0]);
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    const std::vector<std::string> programs(argv + 2, argv + argc);
    const int count = static_cast<int>(programs.size());
    std::vector<std::vector<double>> times(programs.size());
    for (int round = 0; round <= rounds; ++round)
        for (int step = 0; step < count; ++step) {
            const int which = round % 2 ? count - 1 - step : step;
            const double t = TimeStart(programs[which]);
            if (round > 0)
                times[which].push_back(t);
        }
    for (int i = 0; i < count; ++i)
        std::printf("wine start to visible window: %-36s median %7.1f ms (min %.1f, max %.1f, "
                    "%d runs)\n",
                    BaseName(programs[i]).c_str(), Median(times[i]),
                    *std::min_element(times[i].begin(), times[i].end()),
                    *std::max_element(times[i].begin(), times[i].end()), rounds);
    const double ratio = Median(times[0]) / Median(times[1]);
    std::printf("ROW\tWine start to main window, %s / %s\t%.3f\t< %.2f\t%s\n",
                BaseName(programs[0]).c_str(), BaseName(programs[1]).c_str(), ratio, kTarget,
                ratio < kTarget ? "pass" : "miss");
    // The others are for comparison only.
    for (int i = 2; i < count; ++i)
        std::printf("ROW\tWine start to main window, %s / %s\t%.3f\t-\tinfo\n",
                    BaseName(programs[i]).c_str(), BaseName(programs[1]).c_str(),
                    Median(times[i]) / Median(times[1]));
    return 0;
}
