// The installation pass, in one process under Wine, over the same listing and target state as
// bare loops: one of the same file operations as the staged pass (the target checked, a copy
// to the temporary name, the commit's record and renames, the old files deleted), whose ratio
// to the pass is what the pass itself adds; one of today's single rename per file (copy to the
// temporary name, rename over the target), to show what the rollback costs; and one of
// CopyFileA alone, whose ratio is the price of replacing each file whole.
//
//   kq_wine_pass_bench.exe <work folder> <rounds> [small]
//
// The pass keeps its owner window answering and shows its progress in the window's text, as
// in the installer, so its figure includes both. A last figure is what twenty targets held for
// good (Korvo still running) add to a pass: the waits of its retries, within their budget.
// And the pass that checks a pack against its list, against the same pass without one and
// SHA-256 alone (CNG) over the same files: checking may cost little more than one hash. And
// the pass with the volume's flush, with each file's, and with none (FlushChoice.h).
//
// Prints "ROW<TAB>figure<TAB>value<TAB>target<TAB>pass|miss" lines for bench.sh, and the
// medians behind them. The closing box is answered at once by a CBT hook on this thread
// (no polling delay); the pass's figure is its time up to the box, the box is shown apart.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FlushChoice.h"
#include "PackListOf.h"
#include "Sha256.h"
#include "Timing.h"
#include "WinApi.h"
#include "install/FileKind.h"
#include "install/InstallationPass.h"
#include "install/PassFolderLayout.h"
#include "install/Staging.h"

namespace {

const char kCompleted[] = "Korvo-Quenda Service-Pack - Installation abgeschlossen!";
const char kFailed[] = "Korvo-Quenda Service-Pack - Installation fehlgeschlagen!";
const double kTarget = 1.05;
// The price of the whole-file guarantee: many small files pay the rename's lookups.
const double kGuaranteeSmall = 2.0, kGuaranteeLarge = 1.05;
// Against the single rename per file it replaced, on small files: faster.
const double kSingleRenameSmall = 1.0;

[[noreturn]] void Die(const char* what, const std::string& path) {
    std::fprintf(stderr, "wine_pass_bench: %s %s: error %lu\n", what, path.c_str(), GetLastError());
    std::exit(1);
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (std::strcmp(entry.cFileName, ".") && std::strcmp(entry.cFileName, ".."))
            names.push_back(entry.cFileName);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return names;
}

void WriteFileOf(const std::string& path, size_t size, unsigned seed) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        Die("cannot create", path);
    std::vector<char> block(std::min<size_t>(size, 1 << 20));
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    for (size_t done = 0; done < size;) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min(block.size(), size - done));
        if (!WriteFile(file, block.data(), chunk, &written, nullptr) || written != chunk)
            Die("cannot write", path);
        done += written;
    }
    CloseHandle(file);
}

// Older copies: other content and a last-write time years back.
void MakeOld(const std::string& path) {
    HANDLE file =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        Die("cannot open", path);
    SYSTEMTIME st = {2019, 6, 0, 1, 12, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    SetFileTime(file, nullptr, nullptr, &ft);
    CloseHandle(file);
}

void MakeSet(const std::string& folder, int count, size_t size, unsigned seed, bool old) {
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\file%05d.dat", i);
        WriteFileOf(folder + name, size, seed + static_cast<unsigned>(i));
        if (old)
            MakeOld(folder + name);
    }
}

// Many small files are moved aside with their folder (bench.sh deletes the work folder
// natively): one by one under Wine that would take longer than the runs themselves. A few
// large ones are deleted, so that no gigabytes pile up.
void Empty(const std::string& folder, const std::string& trash) {
    static int moved = 0;
    const std::vector<std::string> names = Names(folder);
    if (names.size() > 100) {
        CreateDirectoryA(trash.c_str(), nullptr);
        const std::string aside = trash + "\\" + std::to_string(++moved);
        if (!MoveFileA(folder.c_str(), aside.c_str()) || !CreateDirectoryA(folder.c_str(), nullptr))
            Die("cannot move aside", folder);
        return;
    }
    for (const std::string& name : names) {
        const std::string path = folder + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(path.c_str()))
            Die("cannot delete", path);
    }
}

// The same state before every run: nothing, or the older copies. Those are copied over what
// the last run left under the same names: in place, as the runs themselves write them; then
// flushed, as old files are. Else their writing back falls into the next run's time, and most
// into its flushes, which wait behind it on the same disk.
void Reset(const std::string& target, const std::string& oldCopies, const std::string& trash) {
    if (oldCopies.empty()) {
        Empty(target, trash);
        return;
    }
    for (const std::string& name : Names(oldCopies)) {
        const std::string to = target + "\\" + name;
        if (!CopyFileA((oldCopies + "\\" + name).c_str(), to.c_str(), FALSE))
            Die("cannot restore", to);
        HANDLE file = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE || !FlushFileBuffers(file))
            Die("cannot flush", to);
        CloseHandle(file);
    }
}

// The pass's completion box: when it was made, what it said; answered as soon as it is up.
struct BoxWatch {
    HWND owner = nullptr;
    double createdAt = 0;
    std::string text;
} box;

LRESULT CALLBACK AnswerBox(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char className[16] = "";
    if ((code == HCBT_CREATEWND || code == HCBT_ACTIVATE) &&
        GetClassNameA(window, className, sizeof className) && !std::strcmp(className, "#32770")) {
        if (code == HCBT_CREATEWND && box.createdAt == 0)
            box.createdAt = Now();
        if (code == HCBT_ACTIVATE) {
            char text[256] = "";
            GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
            box.text = text;
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct PassTime {
    double toBox;
    double total;
};

PassTime TimePass(const std::string& source, const std::string& target, CWnd& owner,
                  const char* expected = kCompleted) {
    box.createdAt = 0;
    box.text.clear();
    const double start = Now();
    RunInstallationPass(source.c_str(), target.c_str(), &owner, &owner);
    const double end = Now();
    if (box.createdAt == 0 || box.text.compare(0, std::strlen(expected), expected) != 0) {
        std::fprintf(stderr, "wine_pass_bench: the pass ended with \"%s\"\n", box.text.c_str());
        std::exit(1);
    }
    return {box.createdAt - start, end - start};
}

enum class Loop { CopyOnly, Staged, SingleRename };

// What the staged pass does to one target before its copy: looked at without following, then
// opened as the commit's rename and the comparison with the source need it, its number of names
// read. The handle stays open for the comparison; none where there is no target.
HANDLE CheckTarget(const std::string& to) {
    if (GetFileAttributesA(to.c_str()) == INVALID_FILE_ATTRIBUTES)
        return INVALID_HANDLE_VALUE;
    HANDLE file =
        CreateFileA(to.c_str(), DELETE | GENERIC_WRITE | GENERIC_READ | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD attributes, links;
    ReadFileKind(file, attributes, links);
    return file;
}

// The pass's own folder as the pass sets it up, the Korvo folder held first: made, held,
// hidden, locked, its subfolders made and held; and taken down again.
struct OwnFolder {
    explicit OwnFolder(const std::string& targetFolder)
        : target(targetFolder), path(PassFolderOf(target.c_str())) {
        handles.push_back(OpenFolderHeld(target.c_str()));
        CreateDirectoryA(path.c_str(), nullptr);
        handles.push_back(OpenFolderHeld(path.c_str()));
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
        lock = target + "\\" + kLockName;
        handles.push_back(CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        for (int i = 0; i < kSpreadFolders; ++i) {
            const CString spread = SpreadFolderOf(target.c_str(), i);
            CreateDirectoryA(spread, nullptr);
            handles.push_back(OpenFolderHeld(spread));
        }
    }
    ~OwnFolder() {
        for (HANDLE handle : handles)
            CloseHandle(handle);
        for (int i = 0; i < kSpreadFolders; ++i)
            RemoveDirectoryA(SpreadFolderOf(target.c_str(), i));
        DeleteFileA(lock.c_str());
        RemoveDirectoryA(path.c_str());
    }
    std::string target, path, lock;
    std::vector<HANDLE> handles;
};

void FlushThrough(const CString& path, DWORD folder) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | folder, nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
}

// The volume's flush, or where it cannot be opened (as under Wine), the folders' that hold the
// renamed names; each copy was flushed as it was written then.
void Flush(const OwnFolder& own, bool copies) {
    const std::string& target = own.target;
    if (FlushVolumeOf(own.handles.front()) || copies)
        return;
    FlushThrough(target.c_str(), FILE_FLAG_BACKUP_SEMANTICS);
    for (int i = 0; i < kSpreadFolders; ++i)
        FlushThrough(SpreadFolderOf(target.c_str(), i), FILE_FLAG_BACKUP_SEMANTICS);
}

void StagedLoop(const std::vector<std::string>& names, const std::string& source,
                const std::string& target) {
    OwnFolder own(target);
    CKeepAlive alive(nullptr);
    const bool flushEach = !CanFlushVolumeOf(own.handles.front());
    std::vector<bool> old(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        HANDLE current = CheckTarget(target + "\\" + names[i]);
        old[i] = current != INVALID_HANDLE_VALUE;
        const std::string temporary(TemporaryPathFor(target.c_str(), names[i].c_str()));
        // The pass made its folder: no leftover is looked for under the second name.
        SameFile same;
        CopyData((source + "\\" + names[i]).c_str(), temporary.c_str(), flushEach, alive, current,
                 &same);
        if (old[i])
            CloseHandle(current);
    }
    Flush(own, true); // the copies, before the record
    const std::string record = target + "\\" + kRecordName;
    HANDLE file = CreateFileA(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    for (const std::string& name : names) {
        DWORD written;
        WriteFile(file, name.c_str(), static_cast<DWORD>(name.size()), &written, nullptr);
    }
    FlushFileBuffers(file);
    CloseHandle(file);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string to = target + "\\" + names[i];
        if (old[i])
            CreateHardLinkA(SecondPathFor(target.c_str(), names[i].c_str()), to.c_str(), nullptr);
        MoveFileExA(TemporaryPathFor(target.c_str(), names[i].c_str()), to.c_str(),
                    old[i] ? MOVEFILE_REPLACE_EXISTING : 0);
    }
    Flush(own, false); // the renames, before the old files go
    for (size_t i = 0; i < names.size(); ++i) {
        const CString second = SecondPathFor(target.c_str(), names[i].c_str());
        if (old[i] && GetFileAttributesA(second) != INVALID_FILE_ATTRIBUTES)
            DeleteFileA(second);
    }
    if (GetFileAttributesA(record.c_str()) != INVALID_FILE_ATTRIBUTES)
        DeleteFileA(record.c_str());
}

double TimeLoop(const std::vector<std::string>& names, const std::string& source,
                const std::string& target, Loop kind) {
    const double start = Now();
    if (kind == Loop::Staged) {
        StagedLoop(names, source, target);
        return Now() - start;
    }
    for (const std::string& name : names) {
        const std::string from = source + "\\" + name, to = target + "\\" + name;
        if (kind == Loop::CopyOnly) {
            CopyFileA(from.c_str(), to.c_str(), FALSE);
            continue;
        }
        // The pass before it was staged: each file copied and renamed over its target at once.
        const std::string temporary = to + kPassFolderName;
        CopyFileA(from.c_str(), temporary.c_str(), TRUE);
        MoveFileExA(temporary.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
        SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    return Now() - start;
}

void Check(const std::string& source, const std::string& target) {
    if (Names(target).size() != Names(source).size())
        Die("files missing after a run in", target);
}

void Row(const std::string& figure, double value, double target) {
    std::printf("ROW\t%s\t%.3f\t<= %.2f\t%s\n", figure.c_str(), value, target,
                value <= target ? "pass" : "miss");
}

struct Case {
    const char* label;
    const char* folder;
    int count;
    size_t size;
};

// The pass that checks its staged copies against a list made for this set's files.
void RunChecked(const Case& c, const std::string& work, int rounds, CWnd& owner) {
    const std::string source = work + "\\" + c.folder + "-source";
    const std::string target = work + "\\target", trash = work + "\\used";
    CreateDirectoryA(target.c_str(), nullptr);
    const std::vector<std::string> names = Names(source);
    const std::string list = PackListOf(source, '\\', names);
    if (list.empty())
        Die("cannot list", source);
    ReportCheckedPass(
        "Wine", c.label, rounds,
        [&](bool withList) {
            Reset(target, std::string(), trash);
            CarryPackList(withList ? &list : nullptr);
            const double ms = TimePass(source, target, owner).toBox;
            CarryPackList(nullptr);
            Check(source, target);
            return ms;
        },
        [&] {
            const double start = Now();
            if (!HashEach(source, '\\', names))
                Die("cannot hash the files of", source);
            return Now() - start;
        });
    Empty(target, trash);
}

void RunCase(const Case& c, const std::string& work, bool older, int rounds, CWnd& owner) {
    const std::string source = work + "\\" + c.folder + "-source";
    const std::string oldCopies = older ? work + "\\" + c.folder + "-old" : std::string();
    const std::string target = work + "\\target", trash = work + "\\used";
    CreateDirectoryA(target.c_str(), nullptr);
    const std::vector<std::string> names = Names(source);

    std::vector<double> pass, passTotal, copy, same, single, listing;
    // Round 0 only warms the cache; the order turns each round so drift hits all alike.
    const int kSteps = 4;
    for (int round = 0; round <= rounds; ++round) {
        double t[kSteps] = {}, total = 0;
        for (int step = 0; step < kSteps; ++step) {
            Reset(target, oldCopies, trash);
            const int which = (step + round) % kSteps;
            if (which == 0) {
                const PassTime p = TimePass(source, target, owner);
                t[0] = p.toBox;
                total = p.total;
            } else {
                t[which] = TimeLoop(names, source, target, Loop(which - 1));
            }
            Check(source, target);
        }
        // What the pass does that the loops do not: list the source folder.
        const double listingStart = Now();
        Names(source);
        const double listed = Now() - listingStart;
        if (round == 0)
            continue;
        listing.push_back(listed);
        pass.push_back(t[0]);
        passTotal.push_back(total);
        copy.push_back(t[1]);
        same.push_back(t[2]);
        single.push_back(t[3]);
    }
    Empty(target, trash);

    const std::string what = std::string(c.label) + (older ? ", older copies" : ", empty target");
    const double mp = Median(pass), mpt = Median(passTotal), mc = Median(copy), ms = Median(same),
                 mr = Median(single);
    std::printf(
        "wine %-26s pass %8.1f ms (box %.1f ms more, listing %.1f ms)  same operations "
        "%8.1f ms  CopyFileA alone %8.1f ms  single rename per file (before staging) %8.1f ms "
        "(pass x%.2f)  (%d rounds; pass min/max %.1f/%.1f, same min/max %.1f/%.1f)\n",
        what.c_str(), mp, mpt - mp, Median(listing), ms, mc, mr, mp / mr, rounds,
        *std::min_element(pass.begin(), pass.end()), *std::max_element(pass.begin(), pass.end()),
        *std::min_element(same.begin(), same.end()), *std::max_element(same.begin(), same.end()));
    Row("Wine pass / loop of the same operations, " + what, mp / ms, kTarget);
    Row("Wine pass / CopyFileA loop (whole-file guarantee), " + what, mp / mc,
        c.count > 100 ? kGuaranteeSmall : kGuaranteeLarge);
    if (c.count > 100)
        Row("Wine pass / single rename per file (before staging), " + what, mp / mr,
            kSingleRenameSmall);
    std::fflush(stdout);
}

// The pack again over a Korvo that has it already: the pass leaves every file alone. Against a
// bare CopyFileA loop over the same files, and with a list against SHA-256 over the same bytes.
void RunAgain(const Case& c, const std::string& work, int rounds, CWnd& owner) {
    const std::string source = work + "\\" + c.folder + "-source";
    const std::string target = work + "\\target", trash = work + "\\used";
    CreateDirectoryA(target.c_str(), nullptr);
    const std::vector<std::string> names = Names(source);
    const std::string list = PackListOf(source, '\\', names);
    Reset(target, source, trash); // nothing that runs below changes it
    std::vector<double> plain, listed, copy, hash;
    for (int round = 0; round <= rounds; ++round) {
        double t[4] = {};
        for (int step = 0; step < 4; ++step) {
            const int which = (step + round) % 4;
            if (which < 2) {
                CarryPackList(which == 1 ? &list : nullptr);
                t[which] = TimePass(source, target, owner).toBox;
                CarryPackList(nullptr);
            } else if (which == 2) {
                t[2] = TimeLoop(names, source, target, Loop::CopyOnly);
            } else {
                const double start = Now();
                if (!HashEach(source, '\\', names))
                    Die("cannot hash the files of", source);
                t[3] = Now() - start;
            }
        }
        if (round == 0)
            continue;
        plain.push_back(t[0]);
        listed.push_back(t[1]);
        copy.push_back(t[2]);
        hash.push_back(t[3]);
    }
    Empty(target, trash);
    const double mp = Median(plain), ml = Median(listed), mc = Median(copy), mh = Median(hash);
    std::printf("wine %-26s the same pack again: pass %.1f ms, with its list %.1f ms, CopyFileA "
                "alone %.1f ms, SHA-256 alone %.1f ms (%d rounds)\n",
                c.label, mp, ml, mc, mh, rounds);
    const std::string what = std::string(c.label) + ", the same pack again";
    Row("Wine pass / CopyFileA loop, " + what, mp / mc, c.count > 100 ? 0.5 : 1.0);
    if (c.count <= 100)
        Row("Wine pass with its list / SHA-256 alone, " + what, ml / mh, 1.2);
    std::fflush(stdout);
}

// One file in a hundred changed since the pack was installed, against the pass over all older
// copies.
void RunOneInAHundred(const Case& c, const std::string& work, int rounds, CWnd& owner) {
    const std::string source = work + "\\" + c.folder + "-source";
    const std::string old = work + "\\" + c.folder + "-old", changed = work + "\\changed";
    const std::string target = work + "\\target", trash = work + "\\used";
    CreateDirectoryA(target.c_str(), nullptr);
    CreateDirectoryA(changed.c_str(), nullptr);
    const std::vector<std::string> names = Names(source);
    for (size_t i = 0; i < names.size(); i += 100)
        if (!CopyFileA((old + "\\" + names[i]).c_str(), (changed + "\\" + names[i]).c_str(), FALSE))
            Die("cannot copy", names[i]);
    std::vector<double> some, all;
    for (int round = 0; round <= rounds; ++round) {
        double t[2] = {};
        for (int step = 0; step < 2; ++step) {
            const int which = (step + round) % 2;
            if (which == 0) {
                Reset(target, source, trash);
                Reset(target, changed, trash);
            } else {
                Reset(target, old, trash);
            }
            t[which] = TimePass(source, target, owner).toBox;
        }
        if (round == 0)
            continue;
        some.push_back(t[0]);
        all.push_back(t[1]);
    }
    Empty(target, trash);
    Empty(changed, trash);
    const double ms = Median(some), ma = Median(all);
    std::printf("wine %-26s one file in a hundred changed: pass %.1f ms, over all older copies "
                "%.1f ms (%d rounds)\n",
                c.label, ms, ma, rounds);
    Row("Wine pass, one file in a hundred changed / over all older copies, " + std::string(c.label),
        ms / ma, 0.3);
    std::fflush(stdout);
}

// The pass with each flush against none, over the same target state.
void RunFlushes(const Case& c, const std::string& work, bool older, int rounds, CWnd& owner) {
    const std::string source = work + "\\" + c.folder + "-source";
    const std::string oldCopies = older ? work + "\\" + c.folder + "-old" : std::string();
    const std::string target = work + "\\target", trash = work + "\\used";
    CreateDirectoryA(target.c_str(), nullptr);
    ReportFlushes("Wine", std::string(c.label) + (older ? ", older copies" : ", empty target"),
                  rounds, [&] {
                      Reset(target, oldCopies, trash);
                      const double ms = TimePass(source, target, owner).toBox;
                      Check(source, target);
                      return ms;
                  });
    Empty(target, trash);
}

// Twenty targets held as a running program holds its files: the pass against itself with the
// same targets free.
void RunHeld(const std::string& work, int rounds, CWnd& owner) {
    const int kHeld = 20;
    const std::string source = work + "\\held-source", target = work + "\\held-target";
    MakeSet(source, kHeld, 4096, 1, false);
    MakeSet(target, kHeld, 4096, 7, true);
    const std::string old = work + "\\held-old";
    MakeSet(old, kHeld, 4096, 7, true);
    std::vector<double> free, held;
    for (int round = 0; round <= rounds; ++round) {
        Reset(target, old, work + "\\used");
        const double f = TimePass(source, target, owner).toBox;
        Reset(target, old, work + "\\used");
        std::vector<HANDLE> holds;
        for (const std::string& name : Names(target))
            holds.push_back(CreateFileA((target + "\\" + name).c_str(), GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const double h = TimePass(source, target, owner, kFailed).toBox;
        for (HANDLE file : holds)
            CloseHandle(file);
        if (round == 0)
            continue;
        free.push_back(f);
        held.push_back(h);
    }
    const double extra = (Median(held) - Median(free)) / 1000;
    std::printf("wine 20 x 4 KiB, all held for good: pass %.1f ms, with none held %.1f ms "
                "(%d rounds)\n",
                Median(held), Median(free), rounds);
    Row("Wine pass, extra seconds for 20 targets held for good", extra, 2.5);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    // "flush": the flushes' figures alone; "small": only the sets of many small files; "again":
    // only the pack over a Korvo that has it, or has one file in a hundred changed.
    const std::string mode = argc == 4 ? argv[3] : "";
    if (argc != 3 && !(argc == 4 && (mode == "flush" || mode == "small" || mode == "again"))) {
        std::fprintf(stderr, "usage: %s <work folder> <rounds> [flush|small|again]\n", argv[0]);
        return 2;
    }
    const bool flushOnly = mode == "flush";
    const std::string work = argv[1];
    const int rounds = std::max(1, std::atoi(argv[2]));
    CreateDirectoryA(work.c_str(), nullptr);

    const bool smallOnly = mode == "small";
    const std::vector<Case> cases =
        smallOnly ? std::vector<Case>{{"2000 x 4 KiB", "small", 2000, 4096}}
                  : std::vector<Case>{{"2000 x 4 KiB", "small", 2000, 4096},
                                      {"10 x 32 MiB", "large", 10, 32u << 20}};
    for (const Case& c : cases) {
        MakeSet(work + "\\" + c.folder + "-source", c.count, c.size, 1, false);
        MakeSet(work + "\\" + c.folder + "-old", c.count, c.size, 7, true);
    }

    // A real window that is never shown, as the box's owner.
    HWND window = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window)
        Die("cannot create", "the owner window");
    CWnd owner;
    owner.m_hWnd = window;
    HHOOK hook = SetWindowsHookExA(WH_CBT, AnswerBox, nullptr, GetCurrentThreadId());

    if (mode == "again") {
        for (const Case& c : cases)
            RunAgain(c, work, c.count > 100 ? rounds : 3 * rounds, owner);
        RunOneInAHundred(cases.front(), work, rounds, owner);
    }
    // A round of the large files is short and its noise large: they get three times as many.
    for (const Case& c : cases)
        for (bool older : {false, true})
            if (!flushOnly && mode != "again")
                RunCase(c, work, older, c.count > 100 ? rounds : 3 * rounds, owner);
    for (const Case& c : cases)
        for (bool older : {false, true})
            if (!smallOnly && mode != "again")
                RunFlushes(c, work, older, c.count > 100 ? rounds : 3 * rounds, owner);
    const bool all = mode.empty();
    for (const Case& c : cases)
        if (all)
            RunChecked(c, work, c.count > 100 ? rounds : 3 * rounds, owner);
    if (all)
        RunHeld(work, rounds, owner);

    UnhookWindowsHookEx(hook);
    owner.m_hWnd = nullptr;
    DestroyWindow(window);
    return 0;
}
