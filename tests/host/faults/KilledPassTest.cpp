// The pass killed before each change it makes to the disk: the Korvo folder is then as before
// (but for the pass's own names) or its commit or undo recorded, and the next pass finishes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

#include "HostTestFs.h"
#include "ListingHooks.h"
#include "PassTexts.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"
#include "install/PassRules.h"

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

// Also with the commit failing at file failAt > 0, killed in its undo: a next pass failing for
// another reason (a name no file may have) leaves the folder old or new, never a mix.
TEST(KilledPass, BeforeEveryChangeLeavesTheFolderAsBeforeOrTheNextPassCompletesIt) {
    testfs::TempDir source, target, bad;
    for (const char* name : {"a.dat", "b.dat", "c.dat", "d.dat"})
        testfs::WriteFile(source / name, std::string("new ") + name);
    testfs::WriteFile(bad / "x.~kq", "");
    testfs::SetAttributes(source / "b.dat", FILE_ATTRIBUTE_HIDDEN);
    const auto setUp = [&] {
        testfs::RemoveTree(target.Path());
        testfs::MakeDir(target.Path());
        testfs::WriteFile(target / "a.dat", "old a");
        testfs::SetAttributes(target / "a.dat", FILE_ATTRIBUTE_READONLY);
        testfs::WriteFile(target / "b.dat", "old b");
        testfs::WriteFile(target / "keep.txt", "not in the pack");
    };
    const auto pass = [&](const CString& from) {
        TestWindow window;
        RunInstallationPass(from, target.Path(), &window.Wnd());
        return window.MessageBoxes().back().text;
    };
    // Writes, file flushes (a run of them as one), volume flushes, renames, deletes.
    const auto traced = [&] {
        std::string trace;
        ScopedChangeHook hook([&](LPCSTR from, LPCSTR to) {
            const char step = !from                                   ? 'W'
                              : !std::strcmp(from, kFlushed)          ? 'S'
                              : to                                    ? 'R'
                              : CString(from) == target.Path()        ? 'F'
                              : CString(from) == target / kRecordName ? 'C'
                                                                      : 'D';
            if (step != 'S' || trace.empty() || trace.back() != 'S')
                trace += step;
            return true;
        });
        EXPECT_EQ(kCompleted, pass(source.Path()));
        return trace;
    };
    // Where the volume cannot be flushed, each copy is flushed as it is written, and the renames
    // by their folders before the old files go.
    setUp();
    RefuseVolumeFlush(true);
    std::string trace = traced();
    RefuseVolumeFlush(false);
    const size_t first = trace.find('F');
    std::string copies = trace.substr(0, first);
    copies.erase(std::remove(copies.begin(), copies.end(), 'D'), copies.end()); // marks reset
    EXPECT_EQ("WSWSWSWS", copies);
    EXPECT_EQ("FWSRRRRFSDDCD", trace.substr(first)); // the last: the lock
    // With the volume's flush: the copies before the record, the renames before the deletes.
    setUp();
    const Contents before = Read(target.Path(), true);
    trace = traced();
    EXPECT_EQ("FWSRRRRFDDCD", trace.substr(trace.find('F')));
    trace.erase(std::remove(trace.begin(), trace.end(), 'S'), trace.end()); // no changes
    // Killed after that change, the commit was done.
    const int done = static_cast<int>(trace.find('C')) + 2;
    const Contents after = Read(target.Path(), true);

    for (int failAt = 0, stop = 1; failAt <= 4; ++stop) {
        setUp();
        const pid_t pid = fork();
        if (pid == 0) {
            int commits = 0;
            ScopedChangeHook hook([&](LPCSTR from, LPCSTR to) {
                return !to || !Ours(from) || Ours(to) || ++commits != failAt;
            });
            StopBeforeChange(stop);
            const std::string text = pass(source.Path());
            _exit(failAt > 0 && (Read(target.Path(), true) != before ||
                                 text.find(kNotChanged) == std::string::npos ||
                                 testfs::Attributes(target / "a.dat") != 1));
        }
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) != kStopStatus) { // the pass made fewer changes
            EXPECT_EQ(0, WEXITSTATUS(status)) << "the failed pass left the folder changed";
            EXPECT_GT(stop, 10) << "the pass was stopped at too few changes";
            stop = 0, ++failAt;
            continue;
        }
        // Marks a kill leaves reset are not compared; the way the record gave is finished first.
        const std::string record = Content(target / kRecordName);
        const bool recorded = record.size() > 5 && record.substr(record.size() - 5) == "\r\n.\r\n";
        // An undo stopped: each file new, or old with its copy beside it.
        for (const std::string name : {"a.dat", "b.dat"})
            EXPECT_TRUE(record.find("Undo") == std::string::npos ||
                        Content(target / name.c_str()) == "new " + name ||
                        Content(TemporaryPathFor(target.Path(), name.c_str())) == "new " + name)
                << name << stop;
        EXPECT_NE(std::string::npos, pass(bad.Path()).find(kNotChanged));
        const bool committed = recorded || (failAt == 0 && stop >= done);
        EXPECT_EQ(committed ? after : before, Read(target.Path(), false)) << "killed at " << stop;
        EXPECT_EQ(kCompleted, pass(source.Path()));
        EXPECT_EQ(after, Read(target.Path(), true)) << "after change " << stop;
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

} // namespace
