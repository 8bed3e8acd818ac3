// The installation pass on the Linux build against GNU cp -p over the same files and the same
// target state, and the pass's peak memory as the folder grows. Shown beside them: SHA-256
// alone (libcrypto, as the pass checks a pack against its list) over the same files; and the
// pass with the volume's flush (syncfs), with each file's (fsync), and with none.
//
//   kq_host_pass_bench copy <work folder> <rounds>
//   kq_host_pass_bench memory <work folder> <runs>
//   kq_host_pass_bench once <source folder> <target folder>   (one pass: the memory child)
//
// Prints "ROW<TAB>figure<TAB>value<TAB>target<TAB>pass|miss" lines for bench.sh, and the
// figures behind them.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "FlushChoice.h"
#include "HeadlessWindow.h"
#include "HostProgramData.h"
#include "PackListOf.h"
#include "Sha256.h"
#include "res/resource.h"
#include "install/InstallationPass.h"

extern char** environ;

namespace {

const char kCompleted[] = "Korvo-Quenda Service-Pack - Installation abgeschlossen!";
const double kCopyTarget = 1.25;
const double kFirstInstallationTarget = 1.5;
const long kMemoryTargetKiB = 1024;

[[noreturn]] void Die(const char* what, const std::string& path) {
    std::fprintf(stderr, "host_pass_bench: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    std::exit(1);
}

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The pass takes Windows paths: the POSIX root is drive Z:.
std::string WindowsPath(std::string posix) {
    std::replace(posix.begin(), posix.end(), '/', '\\');
    return "Z:" + posix;
}

// In readdir's order, which is also the pass's.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        Die("cannot list", folder);
    while (const dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
            names.push_back(entry->d_name);
    closedir(dir);
    return names;
}

void WriteFileOf(const std::string& path, size_t size, unsigned seed, bool old) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        Die("cannot create", path);
    std::vector<char> block(std::min<size_t>(size, 1 << 20));
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, block.data(), std::min(block.size(), size - done));
        if (n <= 0)
            Die("cannot write", path);
        done += static_cast<size_t>(n);
    }
    if (old) {
        const timespec times[2] = {{1561982400, 0}, {1561982400, 0}}; // mid-2019
        futimens(fd, times);
    }
    close(fd);
}

void MakeSet(const std::string& folder, int count, size_t size, unsigned seed, bool old) {
    mkdir(folder.c_str(), 0755);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/file%05d.dat", i);
        WriteFileOf(folder + name, size, seed + static_cast<unsigned>(i), old);
    }
}

void Empty(const std::string& folder) {
    for (const std::string& name : Names(folder))
        if (unlink((folder + "/" + name).c_str()) != 0)
            Die("cannot delete", folder + "/" + name);
}

// Runs a program to its end and returns its exit status.
int Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        Die("cannot start", args[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        Die("cannot wait for", args[0]);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::vector<std::string> CpCommand(const std::vector<std::string>& names, const std::string& source,
                                   const std::string& target) {
    std::vector<std::string> args = {"/bin/cp", "-p", "--"};
    for (const std::string& name : names)
        args.push_back(source + "/" + name);
    args.push_back(target + "/");
    return args;
}

struct Case {
    const char* label;
    const char* folder;
    int count;
    size_t size;
};

// The same state before every run: nothing, or the older copies. Those are written over what
// the last run left, in place: deleting and making them anew would free and take thousands of
// inodes between runs, which this machine's ext4 (without a journal) then scans past at every
// new file for a while.
void Reset(const std::string& target, const Case& c, bool older) {
    if (older)
        MakeSet(target, c.count, c.size, 7, true);
    else
        Empty(target);
}

bool RunPass(const std::string& source, const std::string& target) {
    CWnd owner;
    std::unique_ptr<HeadlessWindow> window = MakeHeadlessWindow(owner);
    RunInstallationPass(WindowsPath(source).c_str(), WindowsPath(target).c_str(), &owner);
    const bool complete =
        window->messageBoxes.size() == 1 && window->messageBoxes[0].text == kCompleted;
    owner.m_hWnd = nullptr;
    return complete;
}

void Row(const std::string& figure, double value, const char* target, bool met) {
    std::printf("ROW\t%s\t%.3f\t%s\t%s\n", figure.c_str(), value, target, met ? "pass" : "miss");
    std::fflush(stdout);
}

// The median time of the pass, in ms.
double CopyCase(const Case& c, const std::string& work, bool older, int rounds) {
    const std::string source = work + "/" + c.folder + "-source";
    const std::string target = work + "/target";
    mkdir(target.c_str(), 0755);
    const std::vector<std::string> names = Names(source);
    const std::vector<std::string> cp = CpCommand(names, source, target);

    std::vector<double> pass, copy;
    // Round 0 only warms the cache; the order turns each round so drift hits both alike.
    for (int round = 0; round <= rounds; ++round) {
        double p = 0, q = 0;
        for (int step = 0; step < 2; ++step) {
            Reset(target, c, older);
            const double start = Now();
            if ((round + step) % 2 == 0) {
                if (!RunPass(source, target))
                    Die("the pass was incomplete into", target);
                p = Now() - start;
            } else {
                if (Run(cp) != 0)
                    Die("cp -p failed into", target);
                q = Now() - start;
            }
            if (Names(target).size() != names.size())
                Die("files missing after a run in", target);
        }
        if (round == 0)
            continue;
        pass.push_back(p);
        copy.push_back(q);
    }
    Empty(target);

    const std::string what = std::string(c.label) + (older ? ", older copies" : ", empty target");
    const double mp = Median(pass), mc = Median(copy);
    std::printf("host %-26s pass %8.1f ms (min %.1f, max %.1f)  cp -p %8.1f ms (min %.1f, max "
                "%.1f)  %d rounds\n",
                what.c_str(), mp, *std::min_element(pass.begin(), pass.end()),
                *std::max_element(pass.begin(), pass.end()), mc,
                *std::min_element(copy.begin(), copy.end()),
                *std::max_element(copy.begin(), copy.end()), rounds);
    Row("Host pass / cp -p, " + what, mp / mc, "< 1.25", mp / mc < kCopyTarget);
    return mp;
}

void CarryPackList(const std::string* list) {
    SetHostProgramData(IDR_PACK_LIST, list);
}

// The pass that checks its staged copies against a list made for this set's files.
void CheckedCase(const Case& c, const std::string& work, int rounds) {
    const std::string source = work + "/" + c.folder + "-source", target = work + "/target";
    mkdir(target.c_str(), 0755);
    const std::vector<std::string> names = Names(source);
    const std::string list = PackListOf(WindowsPath(source), '\\', names);
    if (list.empty())
        Die("cannot list", source);
    ReportCheckedPass(
        "Host", c.label, rounds,
        [&](bool withList) {
            Reset(target, c, false);
            CarryPackList(withList ? &list : nullptr);
            const double start = Now();
            if (!RunPass(source, target))
                Die("the pass was incomplete into", target);
            const double ms = Now() - start;
            CarryPackList(nullptr);
            return ms;
        },
        [&] {
            const double start = Now();
            if (!HashEach(WindowsPath(source), '\\', names))
                Die("cannot hash the files of", source);
            return Now() - start;
        });
    Empty(target);
}

// The pass with each flush against none, over the same target state.
void FlushCase(const Case& c, const std::string& work, bool older, int rounds) {
    const std::string source = work + "/" + c.folder + "-source", target = work + "/target";
    mkdir(target.c_str(), 0755);
    ReportFlushes("host", std::string(c.label) + (older ? ", older copies" : ", empty target"),
                  rounds, [&] {
                      Reset(target, c, older);
                      const double start = Now();
                      if (!RunPass(source, target))
                          Die("the pass was incomplete into", target);
                      return Now() - start;
                  });
    Empty(target);
}

// The pack again over a Korvo that has it already, against cp -p over the same files, and with
// a list against SHA-256 over the same bytes.
void AgainCase(const Case& c, const std::string& work, int rounds) {
    const std::string source = work + "/" + c.folder + "-source", target = work + "/target";
    mkdir(target.c_str(), 0755);
    const std::vector<std::string> names = Names(source);
    const std::vector<std::string> cp = CpCommand(names, source, target);
    const std::string list = PackListOf(WindowsPath(source), '\\', names);
    if (Run(cp) != 0) // installed; nothing below changes it
        Die("cp -p failed into", target);
    std::vector<double> plain, listed, copy, hash;
    for (int round = 0; round <= rounds; ++round) {
        double t[4] = {};
        for (int step = 0; step < 4; ++step) {
            const int which = (step + round) % 4;
            const double start = Now();
            if (which < 2) {
                CarryPackList(which == 1 ? &list : nullptr);
                if (!RunPass(source, target))
                    Die("the pass was incomplete into", target);
                CarryPackList(nullptr);
            } else if (which == 2 ? Run(cp) != 0 : !HashEach(WindowsPath(source), '\\', names)) {
                Die("cp -p or SHA-256 failed over", source);
            }
            t[which] = Now() - start;
        }
        if (round == 0)
            continue;
        plain.push_back(t[0]);
        listed.push_back(t[1]);
        copy.push_back(t[2]);
        hash.push_back(t[3]);
    }
    Empty(target);
    const double mp = Median(plain), ml = Median(listed), mc = Median(copy), mh = Median(hash);
    std::printf("host %-26s the same pack again: pass %.1f ms, with its list %.1f ms, cp -p "
                "%.1f ms, SHA-256 alone %.1f ms (%d rounds)\n",
                c.label, mp, ml, mc, mh, rounds);
    const std::string what = std::string(c.label) + ", the same pack again";
    const bool small = c.count > 100;
    Row("Host pass / cp -p, " + what, mp / mc, small ? "<= 0.5" : "<= 1.0",
        mp / mc <= (small ? 0.5 : 1.0));
    if (!small)
        Row("Host pass with its list / SHA-256 alone, " + what, ml / mh, "<= 1.2", ml / mh <= 1.2);
}

// One file in a hundred changed since the pack was installed, against the pass over all older
// copies.
void OneInAHundredCase(const Case& c, const std::string& work, int rounds) {
    const std::string source = work + "/" + c.folder + "-source", target = work + "/target";
    mkdir(target.c_str(), 0755);
    const std::vector<std::string> names = Names(source);
    const std::vector<std::string> cp = CpCommand(names, source, target);
    std::vector<double> some, all;
    for (int round = 0; round <= rounds; ++round) {
        double t[2] = {};
        for (int step = 0; step < 2; ++step) {
            const int which = (step + round) % 2;
            if (which == 0) {
                if (Run(cp) != 0)
                    Die("cp -p failed into", target);
                for (int i = 0; i < c.count; i += 100) {
                    char name[32];
                    std::snprintf(name, sizeof name, "/file%05d.dat", i);
                    WriteFileOf(target + name, c.size, 7 + static_cast<unsigned>(i), true);
                }
            } else {
                Reset(target, c, true);
            }
            const double start = Now();
            if (!RunPass(source, target))
                Die("the pass was incomplete into", target);
            t[which] = Now() - start;
        }
        if (round == 0)
            continue;
        some.push_back(t[0]);
        all.push_back(t[1]);
    }
    Empty(target);
    const double ms = Median(some), ma = Median(all);
    std::printf("host %-26s one file in a hundred changed: pass %.1f ms, over all older copies "
                "%.1f ms (%d rounds)\n",
                c.label, ms, ma, rounds);
    Row("Host pass, one file in a hundred changed / over all older copies, " + std::string(c.label),
        ms / ma, "<= 0.3", ms / ma <= 0.3);
}

int Copy(const std::string& work, int rounds) {
    mkdir(work.c_str(), 0755);
    const Case cases[] = {{"2000 x 4 KiB", "small", 2000, 4096},
                          {"10 x 32 MiB", "large", 10, 32u << 20}};
    for (const Case& c : cases)
        MakeSet(work + "/" + c.folder + "-source", c.count, c.size, 1, false);
    // A round of the large files is short and its noise large: they get three times as many.
    for (const Case& c : cases)
        for (bool older : {false, true})
            FlushCase(c, work, older, c.count > 100 ? rounds : 3 * rounds);
    for (const Case& c : cases)
        CheckedCase(c, work, c.count > 100 ? rounds : 3 * rounds);
    for (const Case& c : cases)
        AgainCase(c, work, c.count > 100 ? rounds : 3 * rounds);
    OneInAHundredCase(cases[0], work, rounds);
    for (const Case& c : cases) {
        double first = 0;
        for (bool older : {false, true}) {
            const double ms = CopyCase(c, work, older, c.count > 100 ? rounds : 3 * rounds);
            // Names missing from the Korvo folder must not cost a read of the folder each.
            if (older && c.count > 100)
                Row(std::string("Host first installation / over older copies, ") + c.label,
                    first / ms, "<= 1.5", first / ms <= kFirstInstallationTarget);
            first = ms;
        }
    }
    return 0;
}

// The high-water mark of this process's resident memory, in KiB.
long PeakResidentKiB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    while (status && std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1)
            break;
    if (status)
        std::fclose(status);
    return kib;
}

// Peak resident memory of a fresh process that runs one pass, in KiB. The child reports it
// itself: the exec after posix_spawn's vfork would hand it the parent's peak in ru_maxrss.
long PeakOfPass(const std::string& self, const std::string& source, const std::string& target) {
    Empty(target);
    const std::string command = "'" + self + "' once '" + source + "' '" + target + "'";
    FILE* child = popen(command.c_str(), "r");
    long kib = -1;
    if (!child || std::fscanf(child, "%ld", &kib) != 1 || pclose(child) != 0 || kib <= 0)
        Die("the pass failed into", target);
    return kib;
}

int Memory(const std::string& self, const std::string& work, int runs) {
    mkdir(work.c_str(), 0755);
    const std::string target = work + "/target";
    mkdir(target.c_str(), 0755);
    long peak[2];
    const int counts[2] = {5000, 50000};
    for (int i = 0; i < 2; ++i) {
        const std::string source = work + "/mem" + std::to_string(counts[i]);
        MakeSet(source, counts[i], 16, 1, false);
        std::vector<double> peaks;
        for (int run = 0; run < runs; ++run)
            peaks.push_back(static_cast<double>(PeakOfPass(self, source, target)));
        peak[i] = static_cast<long>(Median(peaks));
        std::printf("host peak resident memory of one pass over %5d files of 16 bytes: %ld KiB "
                    "(median of %d)\n",
                    counts[i], peak[i], runs);
    }
    Empty(target);
    const long growth = peak[1] - peak[0];
    Row("Host pass peak memory, 50,000 files minus 5,000 (KiB)", static_cast<double>(growth),
        "< 1024", growth < kMemoryTargetKiB);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "copy" && argc == 4)
        return Copy(argv[2], std::max(1, std::atoi(argv[3])));
    if (mode == "memory" && argc == 4) {
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0)
            Die("cannot find", "/proc/self/exe");
        return Memory(std::string(self, static_cast<size_t>(n)), argv[2],
                      std::max(1, std::atoi(argv[3])));
    }
    if (mode == "once" && argc == 4) {
        if (!RunPass(argv[2], argv[3]))
            return 1;
        std::printf("%ld\n", PeakResidentKiB());
        return 0;
    }
    std::fprintf(stderr,
                 "usage: %s copy <work folder> <rounds>\n"
                 "       %s memory <work folder> <runs>\n"
                 "       %s once <source folder> <target folder>   (prints its peak in KiB)\n",
                 argv[0], argv[0], argv[0]);
    return 2;
}
