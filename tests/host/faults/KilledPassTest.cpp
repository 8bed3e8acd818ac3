// The pass killed before each change it makes to the disk: the Korvo folder is then as before
// (but for the pass's own names) or its commit recorded, and the next pass completes it.
#include <gtest/gtest.h>

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

TEST(KilledPass, BeforeEveryChangeLeavesTheFolderAsBeforeOrTheNextPassCompletesIt) {
    testfs::TempDir source, target, empty;
    for (const char* name : {"a.dat", "b.dat", "c.dat"})
        testfs::WriteFile(source / name, std::string("new ") + name);
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
    setUp();
    const Contents before = Read(target.Path(), true);
    ASSERT_EQ(kCompleted, pass(source.Path()));
    const Contents after = Read(target.Path(), true);

    int stop = 1;
    for (;; ++stop) {
        setUp();
        const pid_t pid = fork();
        if (pid == 0) {
            StopBeforeChange(stop);
            pass(source.Path());
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 0)
            break; // the pass made fewer changes
        ASSERT_EQ(kStopStatus, WEXITSTATUS(status));
        // Marks a kill leaves reset are not compared; a recorded commit is completed first.
        const std::string record =
            testfs::Exists(target / kRecordName) ? testfs::ReadFile(target / kRecordName) : "";
        const bool recorded = record.size() > 5 && record.substr(record.size() - 5) == "\r\n.\r\n";
        // Killed after the record went, the lock left: the commit was done.
        const Contents now = Read(target.Path(), false);
        EXPECT_TRUE(recorded || before == now || (after == now && !record.size()))
            << "killed before " << stop;
        const std::string next = pass(recorded ? empty.Path() : source.Path());
        EXPECT_EQ(recorded ? std::string::npos : 0, next.find(kCompleted)) << next;
        EXPECT_EQ(after, Read(target.Path(), true)) << "after change " << stop;
    }
    EXPECT_GT(stop, 10) << "the pass was stopped at too few changes";
}

} // namespace
