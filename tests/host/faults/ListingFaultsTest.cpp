// The installation pass when the folders change under its listing, and when the listing itself
// fails or answers unusually: the listing functions are wrapped (ListingHooks.h) so that the
// world changes, or the listing breaks, at a chosen entry. Each case checks that the pass went on,
// that every target file is its old or its new version, and that the closing message names what
// failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <unistd.h>

#include "ListingHooks.h"
#include "HostTestFs.h"
#include "PassTexts.h"
#include "PassReport.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"

using testfs::operator/;

namespace {

typedef std::vector<std::string> Names;

bool IsDots(const char* name) {
    return !std::strcmp(name, ".") || !std::strcmp(name, "..");
}

class ListingFaults : public ::testing::Test {
protected:
    // Each name in the pack, new in the source and old in the target.
    void MakePack(const Names& names) {
        for (const std::string& name : names) {
            testfs::WriteFile(source / name.c_str(), "new " + name);
            testfs::WriteFile(target / name.c_str(), "old " + name);
        }
    }
    PassReport Run() {
        const size_t before = window.MessageBoxes().size();
        RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
        const std::vector<ShownMessageBox> boxes = window.MessageBoxes();
        EXPECT_EQ(before + 1, boxes.size()) << "the pass shows exactly one message box";
        PassReport report = boxes.size() > before ? ParseReport(boxes.back()) : PassReport{};
        EXPECT_TRUE(report.wellFormed) << report.text;
        return report;
    }
    std::string Content(const std::string& name) { return testfs::ReadFile(target / name.c_str()); }

    testfs::TempDir source;
    testfs::TempDir target;
    TestWindow window;
};

TEST_F(ListingFaults, SourceFilesDisappearBetweenListingAndCopy) {
    const Names pack = {"a.dat", "b.dat", "c.dat", "d.dat", "e.dat", "VOZORADI.DLL"};
    MakePack(pack);
    // The first file listed goes, so every other one comes after it; so does the optional
    // library, which the target has and which thus passes its existence test. The first copy
    // that fails ends the copying.
    std::set<std::string> gone;
    std::string first;
    ScopedFindNextHook hook([&](BOOL ok, WIN32_FIND_DATAA* data) {
        if (ok && !IsDots(data->cFileName) &&
            (gone.empty() || !std::strcmp(data->cFileName, "VOZORADI.DLL"))) {
            gone.insert(data->cFileName);
            first = first.empty() ? data->cFileName : first;
            const std::string posix = testfs::Posix(source / data->cFileName);
            EXPECT_EQ(0, unlink(posix.c_str())) << posix;
        }
        return ok;
    });

    PassReport report = Run();

    ASSERT_FALSE(gone.empty()) << "FindNextFileA was not wrapped";
    EXPECT_EQ(Names{first}, report.notCopied) << report.text;
    EXPECT_FALSE(report.listingBroken);
    for (const std::string& name : pack)
        EXPECT_EQ("old " + name, Content(name));
    EXPECT_EQ("", window.Caption());
}

TEST_F(ListingFaults, TargetFolderDisappearsDuringThePass) {
    MakePack({"a.dat", "b.dat", "c.dat", "d.dat", "e.dat", "f.dat", "VOZORADI.DLL"});
    testfs::MakeDir(source / "sub");
    // Gone at the third entry: nothing can be staged; the library listed after it is absent.
    int entries = 0;
    Names failing;
    ScopedFindNextHook hook([&](BOOL ok, WIN32_FIND_DATAA* data) {
        if (ok && !IsDots(data->cFileName)) {
            if (++entries == 3)
                testfs::RemoveTree(target.Path());
            if (!(data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                (entries < 3 || std::strcmp(data->cFileName, "VOZORADI.DLL")))
                failing.push_back(data->cFileName);
        }
        return ok;
    });

    PassReport report = Run();

    std::sort(failing.begin(), failing.end());
    ASSERT_FALSE(failing.empty());
    EXPECT_EQ(failing, report.notCopied) << report.text;
    EXPECT_FALSE(report.listingBroken);
    EXPECT_FALSE(testfs::Exists(target.Path())) << "the pass made the target folder again";
    EXPECT_EQ("", window.Caption());
}

TEST_F(ListingFaults, ListingBreaksOffWithAnErrorOtherThanNoMoreFiles) {
    MakePack({"a.dat", "b.dat", "c.dat", "d.dat", "e.dat", "f.dat"});
    // The listing fails after the dots and two entries: the pass installs nothing.
    int entries = 0;
    Names seen;
    ScopedFindNextHook hook([&](BOOL ok, WIN32_FIND_DATAA* data) {
        if (!ok || IsDots(data->cFileName))
            return ok;
        if (++entries > 2) {
            SetLastError(ERROR_READ_FAULT);
            return FALSE;
        }
        seen.push_back(data->cFileName);
        return ok;
    });

    PassReport report = Run();

    EXPECT_EQ(std::string(kFailed) + "\n\n" + kListingBroken + "\n\n" + kNotChanged + "\n\n" +
                  kTryAgain,
              report.text);
    ASSERT_EQ(2u, seen.size());
    for (const char* name : {"a.dat", "b.dat", "c.dat", "d.dat", "e.dat", "f.dat"})
        EXPECT_EQ("old " + std::string(name), Content(name)) << "nothing installed";
}

TEST_F(ListingFaults, ListingsThatWindowsMayGiveAreTakenAsTheyCome) {
    MakePack({"a.dat", "b.dat"});
    // An empty drive root answers ERROR_FILE_NOT_FOUND: read, and nothing in it to install.
    {
        ScopedFindFirstHook hook([](HANDLE found, WIN32_FIND_DATAA*) {
            FindClose(found);
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        });
        RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
        const std::string text = window.MessageBoxes().back().text;
        EXPECT_EQ(0u, text.find("Korvo-Quenda Service-Pack - Installation fehlgeschlagen!\n\n"
                                "Der Ordner enth\xE4lt keine Dateien zum Installieren:\n"))
            << text;
        EXPECT_EQ("old a.dat", Content("a.dat"));
    }
    // A folder without "." and ".." (a drive root on FAT): the first entry is a file.
    {
        ScopedFindFirstHook hook([](HANDLE found, WIN32_FIND_DATAA* data) {
            while (IsDots(data->cFileName) && __real_FindNextFileA(found, data))
                continue;
            return found;
        });
        EXPECT_TRUE(Run().complete);
        EXPECT_EQ("new a.dat", Content("a.dat"));
        EXPECT_EQ("new b.dat", Content("b.dat"));
    }
}

// The Linux stand-in's own listing: readdir failing is an error, not the end of the folder.
TEST_F(ListingFaults, ReaddirFailingBreaksTheListing) {
    MakePack({"a.dat", "b.dat", "c.dat"});
    ScopedReaddirHook hook([](dirent* entry) -> dirent* {
        if (entry && std::strcmp(entry->d_name, "b.dat"))
            return entry;
        errno = EIO;
        return nullptr;
    });
    PassReport report = Run();
    EXPECT_TRUE(report.listingBroken) << report.text;
    EXPECT_EQ("old b.dat", Content("b.dat"));
}

} // namespace
