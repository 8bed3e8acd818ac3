// The pack's list of files as the program reads it: from install.exe's resource on Windows, here
// from what the test gives as program data.
#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

#include "HeadlessWindow.h"
#include "HostProgramData.h"
#include "HostTestFs.h"
#include "PassTexts.h"
#include "TestFs.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"
#include "install/PackList.h"
#include "install/PassFolderLayout.h"
#include "res/resource.h"

using testfs::operator/;

namespace {

const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

class PackList : public ::testing::Test {
protected:
    void Carry(const std::string& list) { SetHostProgramData(IDR_PACK_LIST, &list); }
    void TearDown() override { SetHostProgramData(IDR_PACK_LIST, nullptr); }
    testfs::TempDir dir;
    CKeepAlive alive{nullptr};
};

TEST_F(PackList, ListedFilesAreFoundByExactNameAndCheckedByContent) {
    // In byte order, capitals first; a Windows-1252 name as the stand-in's listings spell it.
    Carry(kAbc + " 3 Hilfe.txt\n" + kAbc + " 3 L\xF6sung.txt\n" + kEmpty + " 0 leer.dat\n");
    CPackList list;
    ASSERT_TRUE(list.Carried());
    ASSERT_FALSE(list.Malformed());
    EXPECT_FALSE(list.Lists("fremd.dll")) << "a file the release did not list";
    EXPECT_FALSE(list.Lists("hilfe.txt")) << "names compare exactly";
    EXPECT_TRUE(list.Lists("Hilfe.txt"));
    EXPECT_TRUE(list.Lists("L\xF6sung.txt"));

    // A changed copy, a missing file and the message are the pass's test below.
    testfs::WriteFile(dir / "same", "abc");
    testfs::WriteFile(dir / "longer", "abc\n");
    EXPECT_EQ(CPackList::Copy::Matches, list.CheckStagedCopy("Hilfe.txt", dir / "same", alive));
    EXPECT_EQ(CPackList::Copy::Differs, list.CheckStagedCopy("Hilfe.txt", dir / "longer", alive));
    EXPECT_EQ(CPackList::Copy::Differs, list.CheckStagedCopy("fremd.dll", dir / "same", alive));
    EXPECT_EQ(CPackList::Copy::Unreadable, list.CheckStagedCopy("Hilfe.txt", dir / "x", alive));
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, GetLastError());
}

TEST_F(PackList, MalformedListRefusesEveryFile) {
    const std::string good = kAbc + " 3 a.txt\n";
    const std::string bad[] = {
        kAbc + " 3 a.txt",                          // cut short
        kAbc + " 3 a.txt\r\n",                      // CR in the name
        kAbc.substr(1) + " 3 a.txt\n",              // 63 digits
        "BA7816BF" + kAbc.substr(8) + " 3 a.txt\n", // upper case
        kAbc + " 03 a.txt\n",                       // leading zero
        kAbc + "  a.txt\n",                         // no size
        kAbc + " 3 \n",                             // no name
        kAbc + " 3 b.txt\n" + good,                 // out of order
        good + good,                                // twice
        kAbc + " 3 sub\\a.txt\n",                   // a path
        kAbc + " 3 install.exe\n",                  // never installed
        kAbc + " 3 a.txt.\n",                       // Windows drops the dot
    };
    for (const std::string& text : bad) {
        Carry(text);
        CPackList list;
        EXPECT_TRUE(list.Malformed()) << text;
        EXPECT_FALSE(list.Lists("a.txt")) << text;
    }
    // A pass refuses the pack whole, and advises no other download than a new one.
    testfs::TempDir korvo;
    testfs::WriteFile(dir / "a.txt", "abc");
    TestWindow window;
    RunInstallationPass(dir.Path(), korvo.Path(), &window.Wnd());
    EXPECT_EQ(kFailed + std::string("\n\n") + kNotChanged + "\n\n" + kDownloadAgain,
              window.MessageBoxes().back().text);
    EXPECT_TRUE(testfs::List(korvo.Path()).empty());
    Carry(good);
    EXPECT_FALSE(CPackList().Malformed());
    Carry("");
    EXPECT_FALSE(CPackList().Malformed()) << "a pack of no files";
}

// A pass installs exactly the listed files, as released: a missing one fails it before anything
// is copied, a changed one before anything is committed, and an unlisted one is passed over.
TEST_F(PackList, APassInstallsTheListedFilesAsReleasedOrNothing) {
    Carry(kAbc + " 3 a.txt\n" + kAbc + " 3 b.txt\n" + kAbc + " 3 c.txt\n");
    testfs::TempDir korvo;
    testfs::WriteFile(dir / "a.txt", "abc");
    testfs::WriteFile(dir / "b.txt", "abd");
    testfs::WriteFile(dir / "d.txt", "not listed");
    testfs::WriteFile(korvo / "a.txt", "old");
    TestWindow window;
    const auto pass = [&](const char* named) {
        RunInstallationPass(dir.Path(), korvo.Path(), &window.Wnd());
        const std::string text = window.MessageBoxes().back().text;
        EXPECT_EQ(kFailed + std::string("\n\n") + kNotAsShipped + "\n" + named + "\n\n" +
                      kNotChanged + "\n\n" + kDownloadAgain,
                  text);
        EXPECT_EQ((std::vector<std::string>{"a.txt"}), testfs::List(korvo.Path()));
        EXPECT_EQ("old", testfs::ReadFile(korvo / "a.txt"));
    };
    pass("c.txt");
    testfs::WriteFile(dir / "c.txt", "abc");
    pass("b.txt");
    testfs::WriteFile(dir / "b.txt", "abc");
    RunInstallationPass(dir.Path(), korvo.Path(), &window.Wnd());
    EXPECT_EQ(kCompleted, window.MessageBoxes().back().text);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt", "c.txt"}), testfs::List(korvo.Path()));
    EXPECT_EQ("abc", testfs::ReadFile(korvo / "a.txt"));
    // Korvo's files judged current by the list, not by the pack folder's: a damaged pack file
    // whose target is as released is left alone, a target of the same size otherwise replaced.
    testfs::WriteFile(dir / "b.txt", "abd");
    testfs::WriteFile(korvo / "a.txt", "abx");
    RunInstallationPass(dir.Path(), korvo.Path(), &window.Wnd());
    EXPECT_EQ(kCompleted, window.MessageBoxes().back().text);
    EXPECT_EQ("abc", testfs::ReadFile(korvo / "a.txt"));
    EXPECT_EQ("abc", testfs::ReadFile(korvo / "b.txt"));
}

// What is checked is the copy as staged, of the last file listed too, and a scanner's hold on it
// is waited for. Meanwhile the Korvo folder cannot be moved away, and a target that comes after
// staging is left as it is.
TEST_F(PackList, WhatIsCheckedIsTheStagedCopy) {
    Carry(kAbc + " 3 a.txt\n");
    testfs::TempDir korvo;
    TestWindow window;
    HANDLE held = INVALID_HANDLE_VALUE; // let go when the pass waits
    // Runs a pass that acts once, on the copy of that content, once it is whole.
    const auto pass = [&](const std::string& content, std::function<void(const CString&)> act) {
        SetHeadlessServeHook([&](DWORD waitMs) {
            if (waitMs > 0 && held != INVALID_HANDLE_VALUE)
                CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
            const CString copy = TemporaryPathFor(korvo.Path(), "a.txt");
            if (act && testfs::Exists(copy) && testfs::ReadFile(copy) == content)
                std::exchange(act, nullptr)(copy);
        });
        RunInstallationPass(dir.Path(), korvo.Path(), &window.Wnd());
        SetHeadlessServeHook(nullptr);
        EXPECT_FALSE(act) << "no copy of " << content;
        return window.MessageBoxes().back().text;
    };
    const auto failed = [](const char* heading, const char* advice) {
        return kFailed + ("\n\n" + std::string(heading)) + "\na.txt\n\n" + kNotChanged + "\n\n" +
               advice;
    };
    testfs::WriteFile(dir / "a.txt", "abd");
    EXPECT_EQ(failed(kNotAsShipped, kDownloadAgain), pass("abd", [&](const CString&) {
                  testfs::WriteFile(dir / "a.txt", "abc");
                  EXPECT_FALSE(MoveFileExA(korvo.Path(), korvo.Path() + "-moved", 0));
              }));
    EXPECT_TRUE(testfs::List(korvo.Path()).empty());
    // A scanner's hold on a closed copy (of the file staged first, whichever it is) until the
    // check has waited.
    Carry(kAbc + " 3 a.txt\n" + kAbc + " 3 b.txt\n");
    testfs::WriteFile(dir / "b.txt", "abc");
    bool waited = false;
    SetHeadlessServeHook([&](DWORD waitMs) {
        if (waitMs > 0 && held != INVALID_HANDLE_VALUE)
            CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE)), waited = true;
        for (const char* name : {"a.txt", "b.txt"})
            if (!waited && held == INVALID_HANDLE_VALUE)
                held = CreateFileA(TemporaryPathFor(korvo.Path(), name), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    });
    RunInstallationPass(dir.Path(), korvo.Path(), &window.Wnd());
    SetHeadlessServeHook(nullptr);
    EXPECT_TRUE(waited);
    EXPECT_EQ(kCompleted, window.MessageBoxes().back().text);
    testfs::RemoveTree(dir / "b.txt");
    testfs::RemoveTree(korvo / "b.txt");
    Carry(kAbc + " 3 a.txt\n");
    testfs::RemoveTree(korvo / "a.txt");
    EXPECT_EQ(failed("Folgende Dateien konnten nicht kopiert werden:", kTryAgain),
              pass("abc", [&](const CString&) { testfs::WriteFile(korvo / "a.txt", "new"); }));
    EXPECT_EQ("new", testfs::ReadFile(korvo / "a.txt"));
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, testfs::List(korvo.Path()));
}

// A killed pass's record used only as written, its copy only as a lone file and the listed one:
// one that cannot be vouched for is undone and the pass goes on afresh (here failing, as the
// pack folder lacks the file).
TEST_F(PackList, KilledPassesCopiesAreCheckedBeforeTheyAreInstalled) {
    Carry(kAbc + " 3 a.txt\n");
    const std::string head = "Korvo-Quenda Service-Pack: Commit 3\r\n+ 00 1 ",
                      ended = head + "a.txt\r\n.\r\n";
    const struct {
        std::string record, copy;
        const char* said;
        int (*link)(const char*, const char*);
    } cases[] = {{ended, "abc", kFinishedCommit, nullptr},
                 {head + "a.txt\r\n", "abc", kNotChanged, nullptr},
                 {"Korvo\r\n+ 00 1 a.txt\r\n.\r\n", "abc", kRecordName, nullptr},
                 {head + "x\\a.txt\r\n.\r\n", "abc", kRecordName, nullptr},
                 {ended, "abd", kFinishedUndo, nullptr},
                 {ended, "abcd", kFinishedUndo, nullptr},
                 {ended, "abc", kFinishedUndo, link},
                 {ended, "abc", kFinishedUndo, symlink}};
    for (const auto& planted : cases) {
        testfs::TempDir korvo;
        const CString copy = TemporaryPathFor(korvo.Path(), "a.txt");
        testfs::WriteFile(korvo / "a.txt", "old");
        testfs::WriteFileMakingFolders(korvo / kRecordName, planted.record);
        testfs::WriteFileMakingFolders(copy, planted.copy);
        if (planted.link) {
            testfs::RemoveTree(copy);
            testfs::WriteFile(dir / "x", planted.copy);
            ASSERT_EQ(0,
                      planted.link(testfs::Posix(dir / "x").c_str(), testfs::Posix(copy).c_str()));
        }
        TestWindow window;
        RunInstallationPass(dir.Path(), korvo.Path(), &window.Wnd());
        const std::string text = window.MessageBoxes().back().text;
        EXPECT_NE(std::string::npos, text.find(planted.said)) << planted.record << text;
        // Unless the record cannot be used, the fresh pass ran and found the file missing.
        EXPECT_EQ(planted.said != kRecordName, text.find(kNotAsShipped) != std::string::npos);
        EXPECT_EQ(&planted == cases ? "abc" : "old", testfs::ReadFile(korvo / "a.txt"))
            << planted.record << planted.copy;
    }
}

} // namespace
