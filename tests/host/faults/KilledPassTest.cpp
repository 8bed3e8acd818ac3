// The pass killed before each change it makes to the disk: the Korvo folder is then as before
// (but for the pass's own names) or its commit or undo recorded, and the next pass finishes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include "HostPowerCut.h"
#include "HostTestFs.h"
#include "ListingHooks.h"
#include "PassTexts.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"
#include "install/PassFolderLayout.h"
#include "install/PassNames.h"

using testfs::operator/;

namespace {

typedef std::map<std::string, std::string> Contents;

// Every file of the folder with its content; the pass's own names only when asked for.
Contents Read(const CString& folder, bool passNames) {
    Contents contents;
    for (const std::string& name : testfs::List(folder))
        if (passNames || !IsPassName(name.c_str()))
            contents[name] = testfs::ReadFile(folder / name.c_str());
    return contents;
}

// What the file holds; nothing where there is none.
std::string Content(const CString& path) {
    return testfs::Exists(path) ? testfs::ReadFile(path) : "";
}

// Whether path is one of the pass's own, in its folder inside the Korvo folder.
bool Ours(LPCSTR path) {
    return std::strstr(path, (std::string("\\") + kPassFolderName + "\\").c_str()) != nullptr;
}

// A record as a kill (cut short) or a power cut (zeros, its size kept) may leave it from byte at
// on; returns what is left of it.
std::string Damage(const CString& record, size_t at, bool zeros) {
    const std::string content = testfs::ReadFile(record);
    testfs::WriteFile(record, content.substr(0, at) +
                                  (zeros ? std::string(content.size() - at, '\0') : ""));
    return content.substr(0, at);
}

// Also with the commit failing at file failAt > 0, killed in its undo; each time also with the
// record cut and zeroed at every line where a power cut can do so (before its flush, or its
// Undo line's). A next pass failing for another reason (a name no file may have) leaves the
// folder old or new, never a mix, and says which killed pass's way it finished; one start after
// that installs the pack and leaves nothing of the pass. b.dat has a second name outside.
TEST(KilledPass, BeforeEveryChangeLeavesTheFolderAsBeforeOrTheNextPassCompletesIt) {
    testfs::TempDir source, target, bad, outside;
    for (const char* name : {"a.dat", "b.dat", "c.dat", "d.dat"})
        testfs::WriteFile(source / name, std::string("new ") + name);
    testfs::WriteFile(bad / "x.~kq", "");
    testfs::SetAttributes(source / "b.dat", FILE_ATTRIBUTE_HIDDEN);
    const DWORD marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
    const auto setUp = [&] {
        testfs::RemoveTree(target.Path());
        testfs::MakeDir(target.Path());
        testfs::WriteFile(target / "a.dat", "old a");
        testfs::SetAttributes(target / "a.dat", marks);
        testfs::WriteFile(outside / "b.dat", "old b");
        testfs::RemoveTree(target / "b.dat");
        ASSERT_TRUE(CreateHardLinkA(target / "b.dat", outside / "b.dat", nullptr));
        testfs::WriteFile(target / "keep.txt", "not in the pack");
    };
    const Contents before = {
        {"a.dat", "old a"}, {"b.dat", "old b"}, {"keep.txt", "not in the pack"}};
    const Contents after = {{"a.dat", "new a.dat"},
                            {"b.dat", "new b.dat"},
                            {"c.dat", "new c.dat"},
                            {"d.dat", "new d.dat"},
                            {"keep.txt", "not in the pack"}};
    const auto pass = [&](const CString& from) {
        TestWindow window;
        RunInstallationPass(from, target.Path(), &window.Wnd());
        return window.MessageBoxes().back().text;
    };
    // Renames and links, writes, file flushes (a run of them as one), volume flushes, deletes;
    // X: the rename refused at failAt.
    const auto traced = [&](int failAt) {
        std::string trace;
        int commits = 0;
        ScopedChangeHook hook([&](LPCSTR from, LPCSTR to) {
            const bool refused = to && Ours(from) && !Ours(to) && ++commits == failAt;
            const char step = !from                                   ? 'W'
                              : !std::strcmp(from, kFlushed)          ? 'S'
                              : refused                               ? 'X'
                              : to                                    ? 'R'
                              : !std::strcmp(from, kVolumeFlushed)    ? 'F'
                              : CString(from) == target / kRecordName ? 'C'
                                                                      : 'D';
            if (step != 'S' || trace.empty() || trace.back() != 'S')
                trace += step;
            return !refused;
        });
        EXPECT_EQ(failAt ? kFailed : kCompleted, pass(source.Path()).substr(0, 56));
        return trace;
    };
    // Where the volume cannot be flushed, each copy is flushed as it is written, and the renames
    // by their folders before the old files go.
    setUp();
    RefuseVolumeFlush(true);
    std::string trace = traced(0);
    RefuseVolumeFlush(false);
    const size_t first = trace.find('F');
    std::string copies = trace.substr(0, first);
    copies.erase(std::remove(copies.begin(), copies.end(), 'D'), copies.end()); // marks reset
    EXPECT_EQ("WSWSWSWS", copies);
    EXPECT_EQ("FWSRRRRRRFSDDCD", trace.substr(first)); // the last: the lock
    // With the volume's flush: the copies before the record, the renames before the deletes.
    setUp();
    trace = traced(0);
    EXPECT_EQ("FWSRRRRRRFDDCD", trace.substr(trace.find('F')));

    for (int failAt = 0; failAt <= 4; ++failAt) {
        setUp();
        trace = traced(failAt);
        trace.erase(std::remove(trace.begin(), trace.end(), 'S'), trace.end()); // no changes
        // By what the pass did: after the record's write and before the step that follows a
        // refused rename (the Undo line's write), it was committing.
        const size_t record = trace.find('W', trace.find('F')), refused = trace.find('X'),
                     removed = trace.find('C');
        for (int stop = 1;; ++stop) {
            const size_t made = stop - 1; // changes made before the kill
            if (made >= trace.size())
                break;
            const bool committing =
                made > record && (refused == std::string::npos || made <= refused + 1);
            const bool recorded = made > record && made <= removed;
            // Where a power cut may leave the record short: each of its lines cut in the
            // middle, and zeroed from there.
            std::vector<size_t> cuts = {0};
            if (made == record + 1 || (refused != std::string::npos && made == refused + 2)) {
                setUp();
                const pid_t pid = fork();
                if (pid == 0) {
                    StopBeforeChange(stop);
                    pass(source.Path());
                    _exit(0);
                }
                int status = 0;
                ASSERT_EQ(pid, waitpid(pid, &status, 0));
                const std::string written = Content(target / kRecordName);
                const size_t from = made == record + 1 ? 0 : written.rfind(".\r\n") + 3;
                for (size_t at = from; at < written.size(); at = written.find('\n', at) + 1)
                    cuts.push_back(at + (written.find('\n', at) - at) / 2 + 1);
            }
            for (size_t cut = 0; cut < 2 * cuts.size() - 1; ++cut) {
                setUp();
                const pid_t pid = fork();
                if (pid == 0) {
                    int commits = 0;
                    ScopedChangeHook hook([&](LPCSTR from, LPCSTR to) {
                        return !to || !Ours(from) || Ours(to) || ++commits != failAt;
                    });
                    StopBeforeChange(stop);
                    pass(source.Path());
                    _exit(0);
                }
                int status = 0;
                ASSERT_EQ(pid, waitpid(pid, &status, 0));
                ASSERT_TRUE(WIFEXITED(status));
                ASSERT_EQ(kStopStatus, WEXITSTATUS(status)) << "at " << stop;
                // The marks a.dat had are put back wherever the record names it.
                const bool named =
                    cut == 0 || Damage(target / kRecordName, cuts[(cut + 1) / 2], cut % 2 == 0)
                                        .find(" a.dat\r\n") != std::string::npos;
                // Cut before its end, the record's commit never began; its Undo line cut, the
                // pass was still committing.
                const bool begun = cut > 0 ? made != record + 1 : committing;
                const std::string text = pass(bad.Path());
                EXPECT_EQ(begun ? after : before, Read(target.Path(), false))
                    << "killed at " << stop << " of " << trace << ", cut " << cut;
                EXPECT_EQ("old b", Content(outside / "b.dat"));
                const char* said = !recorded || (cut > 0 && !begun) ? kNotChanged
                                   : begun                          ? kFinishedCommit
                                                                    : kFinishedUndo;
                EXPECT_NE(std::string::npos, text.find(said)) << stop << text;
                if (recorded && !begun && named) {
                    EXPECT_EQ(marks, testfs::Attributes(target / "a.dat")) << stop;
                }
                EXPECT_EQ(kCompleted, pass(source.Path()));
                EXPECT_EQ(after, Read(target.Path(), true)) << "after change " << stop;
                EXPECT_EQ("old b", Content(outside / "b.dat"));
            }
        }
    }
}

// A pass that meets another one tidying up (the pass folder, or its lock, gone between two of
// its calls) goes on: they are no stranger's.
TEST(KilledPass, APassMeetingAnotherTidyingUpGoesOn) {
    testfs::TempDir source, target;
    testfs::WriteFile(source / "a.dat", "new");
    const CString folder = PassFolderOf(target.Path()), lock = target / kLockName;
    for (const CString& gone : {folder, lock}) {
        ASSERT_TRUE(CreateDirectoryA(folder, nullptr));
        if (gone == lock)
            CloseHandle(CreateFileA(lock, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        int seen = 0;
        ScopedOpenHook hook([&](LPCSTR path) {
            if (gone == CString(path) && ++seen == 2)
                gone == lock ? DeleteFileA(lock) : RemoveDirectoryA(folder);
        });
        TestWindow window;
        RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
        EXPECT_EQ(kCompleted, window.MessageBoxes().back().text) << gone;
        EXPECT_EQ((Contents{{"a.dat", "new"}}), Read(target.Path(), true));
    }
}

// What a killed pass left in its folder (a read-only file under a file's second name, where the
// commit keeps the old file) is replaced: such a folder is never taken for one this pass made.
TEST(KilledPass, ItsReadOnlyLeftoverIsReplaced) {
    testfs::TempDir source, target;
    testfs::WriteFile(source / "a.dat", "new");
    testfs::WriteFile(target / "a.dat", "old");
    ASSERT_TRUE(CreateDirectoryA(PassFolderOf(target.Path()), nullptr));
    for (int i = 0; i < kSpreadFolders; ++i)
        ASSERT_TRUE(CreateDirectoryA(SpreadFolderOf(target.Path(), i), nullptr));
    const CString left = SecondPathFor(target.Path(), "a.dat");
    testfs::WriteFile(left, "left");
    testfs::SetAttributes(left, FILE_ATTRIBUTE_READONLY);
    TestWindow window;
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    EXPECT_EQ(kCompleted, window.MessageBoxes().back().text);
    EXPECT_EQ((Contents{{"a.dat", "new"}}), Read(target.Path(), true));
}

// Links planted under the pass's names are never followed nor installed: a link, or a file with
// other names, under a copy's name has the killed commit undone (without a list to check it
// against); a link under a kept file's name has an undo that cannot end completed instead.
TEST(KilledPass, LinksUnderThePassNamesAreNeitherFollowedNorInstalled) {
    testfs::TempDir target, outside, bad;
    testfs::WriteFile(bad / "x.~kq", "");
    const CString planted = outside / "x", copy = TemporaryPathFor(target.Path(), "a.dat"),
                  kept = SecondPathFor(target.Path(), "a.dat");
    const std::string record = "Korvo-Quenda Service-Pack: Commit 3\r\n+ 00 1 a.dat\r\n.\r\n";
    const struct {
        const CString& at;
        int (*link)(const char*, const char*);
        const char *undo, *said, *left;
    } cases[] = {{copy, link, "", kFinishedUndo, "old"},
                 {copy, symlink, "", kFinishedUndo, "old"},
                 {kept, symlink, "Undo\r\n", kFinishedCommit, "new"}};
    for (const auto& c : cases) {
        testfs::RemoveTree(target.Path());
        testfs::WriteFileMakingFolders(target / kRecordName, record + c.undo);
        testfs::WriteFileMakingFolders(c.at, "");
        testfs::RemoveTree(c.at);
        testfs::WriteFile(target / "a.dat", c.left);
        testfs::WriteFile(planted, "planted");
        ASSERT_EQ(0, c.link(testfs::Posix(planted).c_str(), testfs::Posix(c.at).c_str()));
        TestWindow window;
        RunInstallationPass(bad.Path(), target.Path(), &window.Wnd());
        EXPECT_NE(std::string::npos, window.MessageBoxes().back().text.find(c.said)) << c.undo;
        EXPECT_EQ(c.left, Content(target / "a.dat"));
        EXPECT_EQ("planted", Content(planted));
        EXPECT_FALSE(testfs::Exists(target / kRecordName));
    }
}

// Holds of a moment waited for in the commit, and in the undo once the failing file's is spent.
TEST(KilledPass, HoldsOfAMomentAreWaitedForInTheCommitAndInTheUndo) {
    testfs::TempDir source, target;
    for (const char* name : {"a.dat", "b.dat"}) {
        testfs::WriteFile(source / name, std::string("new ") + name);
        testfs::WriteFile(target / name, std::string("old ") + name);
    }
    const Contents before = Read(target.Path(), false);
    std::string first, seen;
    HANDLE moment = nullptr, good = nullptr;
    const auto hold = [](LPCSTR path) {
        return CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    TestWindow window;
    {
        // The first copy put in place held a moment, then the next for good: a moment's hold
        // (on the first, again) ends when the pass tries the same rename again.
        ScopedChangeHook hook([&](LPCSTR from, LPCSTR to) {
            if (!to)
                return true;
            const std::string rename = std::string(from) + '>' + to;
            if (moment && seen == rename && rename.find(first) != std::string::npos) {
                CloseHandle(moment);
                moment = nullptr;
            } else if (Ours(from) && !Ours(to) && !good) {
                moment = hold(first.empty() ? to : first.c_str());
                good = first.empty() ? nullptr : hold(to);
                first = first.empty() ? to : first;
            }
            seen = rename;
            return true;
        });
        RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    }
    CloseHandle(good);
    EXPECT_EQ(nullptr, moment) << "not tried again";
    EXPECT_EQ(before, Read(target.Path(), false));
    EXPECT_NE(std::string::npos, window.MessageBoxes().back().text.find(kNotChanged));
}

// The kept old file held for good while the undo would put it back: the Korvo file keeps its
// name meanwhile (the new file), and the next start, with the hold gone, installs the pack.
TEST(KilledPass, AKeptFileHeldInTheUndoLeavesNoKorvoFileMissing) {
    testfs::TempDir source, target;
    for (const char* name : {"a.dat", "b.dat"}) {
        testfs::WriteFile(source / name, std::string("new ") + name);
        testfs::WriteFile(target / name, std::string("old ") + name);
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    std::string first; // the file committed first, whichever the listing gave first
    TestWindow window;
    {
        ScopedChangeHook hook([&](LPCSTR from, LPCSTR to) {
            if (!to || !Ours(from) || Ours(to) || held != INVALID_HANDLE_VALUE)
                return true;
            if (first.empty()) {
                first = std::strrchr(to, '\\') + 1;
                return true;
            }
            held = CreateFileA(SecondPathFor(target.Path(), first.c_str()), GENERIC_READ, 0,
                               nullptr, OPEN_EXISTING, 0, nullptr);
            return false;
        });
        RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    }
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_NE(std::string::npos, window.MessageBoxes().back().text.find(kPartly));
    EXPECT_EQ("new " + first, Content(target / first.c_str()));
    CloseHandle(held);
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    EXPECT_EQ(kCompleted, window.MessageBoxes().back().text);
    EXPECT_EQ((Contents{{"a.dat", "new a.dat"}, {"b.dat", "new b.dat"}}),
              Read(target.Path(), true));
}

// Killed before each change, or after the last, and the power cut then, with the volume flushed
// and with each copy and folder flushed instead, and in an undo also with the renames before the
// last flush kept: a start that can only finish what the record says leaves the folder new once
// the record was written, old once the undo's line was; one more start installs the pack whole.
// A leftover under a copy's name has the copy renamed over it.
TEST(KilledPass, BeforeEveryChangeAndAPowerCutTheNextStartsLeaveTheFolderWhole) {
    testfs::TempDir source, target, bad;
    for (const char* name : {"a.dat", "b.dat", "c.dat"})
        testfs::WriteFile(source / name, std::string("new ") + name);
    testfs::WriteFile(bad / "x.~kq", "");
    const Contents old = {{"a.dat", "old a"}, {"b.dat", "old b"}, {"keep.txt", "kept"}};
    Contents pack = Read(source.Path(), false);
    pack["keep.txt"] = "kept";
    const CString leftover = TemporaryPathFor(target.Path(), "c.dat");
    const auto setUp = [&] {
        testfs::RemoveTree(target.Path());
        testfs::MakeDir(target.Path());
        for (const auto& file : old)
            testfs::WriteFile(target / file.first.c_str(), file.second);
        testfs::MakeDir(PassFolderOf(target.Path()));
        for (int i = 0; i < kSpreadFolders; ++i)
            testfs::MakeDir(SpreadFolderOf(target.Path(), i));
        testfs::WriteFile(leftover, "left by a killed pass");
    };
    const auto pass = [&](const CString& from) {
        TestWindow window;
        RunInstallationPass(from, target.Path(), &window.Wnd());
        return window.MessageBoxes().back().text;
    };
    // Counts the changes, fails the failAt-th rename into the Korvo folder and kills the pass
    // before the stop-th change, with a power cut.
    const auto hook = [](int stop, int failAt, bool keep, int& changes, int& commits) {
        return [=, &changes, &commits](LPCSTR from, LPCSTR to) {
            if (from && !std::strcmp(from, kFlushed))
                return true;
            if (++changes == stop) {
                hostfs::CutPower(keep);
                _exit(kStopStatus);
            }
            return !to || !Ours(from) || Ours(to) || ++commits != failAt;
        };
    };
    for (const bool volume : {true, false})
        for (const auto& [failAt, keep] : {std::pair{0, false}, {2, true}}) {
            RefuseVolumeFlush(!volume);
            // Where a whole pass writes the record (its last write before the first rename into
            // the Korvo folder) and the undo's line (its first write after).
            int changes = 0, commits = 0, recordAt = 0, undoAt = 0;
            setUp();
            {
                ScopedChangeHook traced(
                    [&, counted = hook(0, failAt, keep, changes, commits)](LPCSTR from, LPCSTR to) {
                        const bool ok = counted(from, to);
                        if (!from && !commits)
                            recordAt = changes;
                        else if (!from && !undoAt)
                            undoAt = changes;
                        return ok;
                    });
                pass(source.Path());
            }
            for (int stop = 1, last = changes; stop <= last + 1; ++stop) {
                setUp();
                const pid_t pid = fork();
                if (pid == 0) {
                    hostfs::TrackPowerCut(true);
                    changes = commits = 0;
                    ScopedChangeHook killed(hook(stop, failAt, keep, changes, commits));
                    pass(source.Path());
                    hostfs::CutPower(keep);
                    _exit(0);
                }
                int status = 0;
                ASSERT_EQ(pid, waitpid(pid, &status, 0));
                ASSERT_TRUE(WIFEXITED(status) &&
                            WEXITSTATUS(status) == (stop > last ? 0 : kStopStatus));
                const std::string at = (volume ? "volume" : "files") + std::string(" flushed, ") +
                                       std::to_string(failAt) + " failing, " +
                                       (keep ? "kept, " : "") + "cut at " + std::to_string(stop);
                pass(bad.Path());
                const bool committed = stop > recordAt && (!failAt || stop <= undoAt);
                EXPECT_EQ(committed ? pack : old, Read(target.Path(), false)) << at;
                EXPECT_EQ(kCompleted, pass(source.Path())) << at;
                EXPECT_EQ(pack, Read(target.Path(), false)) << at;
                EXPECT_FALSE(testfs::Exists(PassFolderOf(target.Path()))) << at;
            }
        }
    RefuseVolumeFlush(false);
}

} // namespace
