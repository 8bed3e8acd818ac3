// Source names that Windows-1252 cannot hold (on disk as UTF-8, as another system may leave
// them): the listing shows them with '?', which no file function takes, so the pass must name
// them as not copied and carry on, touching no file it cannot name. Likewise names that end in
// a dot or a space, which Windows would shorten into another name ("..." into the folder), and
// names that differ only in case, which would share one file.
#include <gtest/gtest.h>

#include <algorithm>

#include "HostTestFs.h"
#include "PassReport.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"

using testfs::operator/;
using testfs::Posix;

namespace {

typedef std::vector<std::string> Names;

// The names on disk, as bytes, sorted.
Names RawNames(const std::string& folder) {
    Names names = testfs::ReaddirNames(folder);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(UnholdableNames, AreReportedAsNotCopiedAndBreakNothingElse) {
    testfs::TempDir source, target;
    const std::string from = Posix(source.Path()), to = Posix(target.Path());
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC.txt"; // 日本.txt
    testfs::WritePosixFile(from + "/" + japanese, "new japanese");
    testfs::WritePosixFile(from + "/bad\xFF.bin", "invalid UTF-8");
    testfs::WriteFile(source / "L\xF6sung.txt", "new umlaut");
    testfs::WriteFile(source / "plain.txt", "new plain");
    for (const char* name : {"Case.txt", "CASE.txt"})
        testfs::WritePosixFile(from + "/" + name, "refused");
    for (const char* name : {"notes.", "...", "trail "})
        testfs::WritePosixFile(from + "/" + name, "shortened by Windows");
    testfs::SetAttributes(target.Path(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // The target's file of that name is out of reach for the pass; it must stay as it is.
    testfs::WritePosixFile(to + "/" + japanese, "old japanese");

    TestWindow window;
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());

    ASSERT_EQ(1u, window.MessageBoxes().size());
    PassReport report = ParseReport(window.MessageBoxes()[0]);
    EXPECT_TRUE(report.wellFormed) << report.text;
    EXPECT_EQ((Names{"...", "??.txt", "CASE.txt", "Case.txt", "bad?.bin", "notes.", "trail "}),
              report.notCopied)
        << report.text;
    EXPECT_FALSE(report.listingBroken);
    EXPECT_EQ(Names{japanese}, RawNames(to)) << "nothing installed";
    EXPECT_EQ("old japanese", testfs::ReadPosixFile(to + "/" + japanese));
    EXPECT_EQ("", window.Caption()) << "no internal error";
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              testfs::Attributes(target.Path()))
        << "the Korvo folder's own attributes are never touched";
}

} // namespace
