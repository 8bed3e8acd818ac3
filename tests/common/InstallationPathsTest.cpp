// The installation pass over names and paths of unusual form: spaces, several dots, names of
// the longest length a file system takes, a target folder near MAX_PATH.
#include <gtest/gtest.h>

#include <algorithm>

#include "PassTexts.h"
#include "TestFs.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"

using testfs::operator/;

namespace {

typedef std::vector<std::string> Names;

// Runs the pass and returns the text of the one message box it showed.
std::string RunPass(const CString& source, const CString& target, TestWindow& window) {
    RunInstallationPass(source, target, &window.Wnd());
    EXPECT_EQ(1u, window.MessageBoxes().size()) << "the pass shows exactly one message box";
    return window.MessageBoxes().empty() ? "" : window.MessageBoxes().back().text;
}

TEST(InstallationPaths, SpacesAndSeveralDotsInFoldersAndNames) {
    testfs::TempDir base;
    const CString source = base / "Korvo Service Pack 1.2.3";
    const CString target = base / "Korvo 2016 Daten.alt";
    testfs::MakeDir(source);
    testfs::MakeDir(target);
    // Near misses of the fixed names are ordinary files: only the whole name counts.
    const Names names = {"..a",         "a  b.txt",         "archive.tar.gz",
                         "Korvo Daten", "VOZORADI.DLL.bak", "install.exe.old",
                         ".profile",    "v1.2.3.patch.bin", "x.DOZADARU.DLL"};
    for (const std::string& name : names)
        testfs::WriteFile(source / name.c_str(), "new " + name);

    TestWindow window;
    EXPECT_EQ(kCompleted, RunPass(source, target, window));

    Names expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, testfs::List(target));
    for (const std::string& name : names)
        EXPECT_EQ("new " + name, testfs::ReadFile(target / name.c_str())) << name;
}

TEST(InstallationPaths, NameOf255CharactersIsNamedAsTooLong) {
    testfs::TempDir source, target;
    const std::string longName = std::string(251, 'x') + ".dat";
    testfs::WriteFile(source / longName.c_str(), "new long");
    testfs::WriteFile(target / longName.c_str(), "old long, a little longer");
    testfs::WriteFile(source / "short.txt", "new short");

    TestWindow window;
    const std::string text = RunPass(source.Path(), target.Path(), window);

    // Its temporary name is longer than MAX_PATH, which the host would take and Windows not:
    // the pass writes no such path anywhere.
    EXPECT_EQ(kFailed + std::string("\n\nFolgende Dateien konnten nicht kopiert werden:\n") +
                  longName + "\n\n" + kNotChanged + "\n\n" + kPathTooLong,
              text);
    EXPECT_EQ("old long, a little longer", testfs::ReadFile(target / longName.c_str()));
    EXPECT_EQ(Names{longName}, testfs::List(target.Path())) << "nothing installed";
}

TEST(InstallationPaths, TargetFolderOf250CharactersIsNeverWrittenInPlace) {
    testfs::TempDir source, base;
    CString target = base.Path();
    while (target.GetLength() < 250) {
        const int room = 250 - target.GetLength() - 1;
        target += ("\\" + std::string(room > 60 ? 60 : room, 'k')).c_str();
        testfs::MakeDir(target);
    }
    ASSERT_EQ(250, target.GetLength());
    const CString library = target / "VOZORADI.DLL";
    testfs::WriteFile(source / "VOZORADI.DLL", "new library");
    testfs::WriteFile(library, "old library");
    testfs::WriteFile(source / "a.txt", "new a");
    // The library's path has 263 characters. Where the A functions stop at MAX_PATH (Windows;
    // Wine's CreateFileA) the existence test cannot open it, and the library is left out.
    HANDLE probe = CreateFileA(library, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool reachable = probe != INVALID_HANDLE_VALUE;
    if (reachable)
        CloseHandle(probe);

    // a.txt's path has 256 characters, its temporary name 260: no room to write it safely.
    TestWindow window;
    const std::string text = RunPass(source.Path(), target, window);
    EXPECT_EQ(0u, text.find(kFailed)) << text;
    EXPECT_NE(std::string::npos, text.find("\na.txt\n")) << text;
    EXPECT_EQ(reachable, text.find("\nVOZORADI.DLL\n") != std::string::npos) << text;

    EXPECT_EQ("old library", testfs::ReadFile(library));
    EXPECT_EQ(Names{"VOZORADI.DLL"}, testfs::List(target));
    EXPECT_EQ("", window.Caption()) << "its folder part, 251 characters, is no internal error";
}

} // namespace
