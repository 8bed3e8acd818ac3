// What the program writes and shows under the ANSI code pages it meets: 1252, 65001 (UTF-8, as
// Windows' "Beta: Unicode UTF-8" setting gives) and 932 (Shift-JIS). Wine takes the ANSI code
// page from the locale; test.sh runs these under 1252 with the other suites and once more each
// under ja_JP.UTF-8 and hi_IN.UTF-8 (KQ_LOCALE).
//
// CodePage932: in Shift-JIS the second byte of a character can be 0x5C, the backslash:
// "\x95\x5C" is one character. Such a byte is no separator for the runtime's multibyte
// functions, nor for the A functions when the ANSI code page is 932. The program sets the
// multibyte code page to the ANSI one at start; these tests set it to 932 themselves and need
// the ANSI code page to be 932 as well; elsewhere they are skipped.
#include <gtest/gtest.h>

#include <mbctype.h>

#include <string>
#include <vector>

#include "AnsiName.h"
#include "PassTexts.h"
#include "TestFs.h"
#include "TestWindow.h"
#include "disk/DiskObject.h"
#include "install/CommandLine.h"
#include "install/InstallationPass.h"
#include "install/PassFolderLayout.h"
#include "install/WindowsFolders.h"

using testfs::operator/;

namespace {

const char kInternalError[] = "CDiskObject internal error - check call parameters";
const char kHyou[] = "\x95\x5C"; // the trail byte is a backslash

class CodePage932 : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetACP() != 932)
            GTEST_SKIP() << "needs the ANSI code page 932, this one is " << GetACP();
        m_savedCodePage = _getmbcp();
        m_restore = true;
        ASSERT_EQ(0, _setmbcp(932));
        window.Wnd().SetWindowTextA(kCaption);
        folder = dir / kHyou;
        testfs::MakeDir(folder);
        testfs::WriteFile(folder / "VOZORADI.DLL", "library");
    }
    void TearDown() override {
        if (m_restore)
            _setmbcp(m_savedCodePage);
    }
    BOOL Present(const CString& path) {
        CDiskObject disk(&window.Wnd());
        BOOL present = disk.IsFilePresent(path);
        message = static_cast<const char*>(disk.GetErrorMessage());
        return present;
    }

    testfs::TempDir dir;
    CString folder;
    TestWindow window;
    std::string message;

private:
    int m_savedCodePage = 0;
    bool m_restore = false;
};

struct Parts {
    std::string drive, dir, name, ext;
};

Parts Split(const CString& path) {
    char drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(path, drive, dir, name, ext);
    return {drive, dir, name, ext};
}

TEST_F(CodePage932, SplitPathKeepsTheCharacterWhole) {
    const std::string base = static_cast<const char*>(dir.Path());
    Parts inFolder = Split(folder / "VOZORADI.DLL");
    EXPECT_EQ(base.substr(2) + "\\" + kHyou + "\\", inFolder.dir);
    EXPECT_EQ("VOZORADI", inFolder.name);
    EXPECT_EQ(".DLL", inFolder.ext);

    // As the last character of a name, the trail byte does not end a folder part.
    Parts named = Split(folder);
    EXPECT_EQ(base.substr(2) + "\\", named.dir);
    EXPECT_EQ(kHyou, named.name);
    EXPECT_EQ("", named.ext);
    Parts withExtension = Split(dir / (std::string(kHyou) + ".DLL").c_str());
    EXPECT_EQ(kHyou, withExtension.name);
    EXPECT_EQ(".DLL", withExtension.ext);
}

TEST_F(CodePage932, DiskObjectFindsTheFileInsideTheFolder) {
    EXPECT_TRUE(Present(folder / "VOZORADI.DLL"));
    CString slashed = folder / "VOZORADI.DLL";
    slashed.Replace('\\', '/');
    EXPECT_TRUE(Present(slashed)) << "only real slashes are turned into separators";
    testfs::WriteFile(dir / (std::string(kHyou) + ".DLL").c_str(), "named");
    EXPECT_TRUE(Present(dir / (std::string(kHyou) + ".DLL").c_str()));
    EXPECT_FALSE(Present(folder / "DOZADARU.DLL"));
    EXPECT_EQ("", message);
    EXPECT_EQ(kCaption, window.Caption());
}

TEST_F(CodePage932, MalformedPathsAroundTheCharacterAreInternalErrors) {
    // After a lead byte, '?' is no trail byte: a check that skipped the byte after every lead
    // byte would miss it. The last path has a name too long for its part buffer only when the
    // character counts as part of the name, as it must: split byte by byte, its trail byte
    // would end the folder part and leave a name that fits.
    const std::string malformed[] = {"\x95\x5C?\\VOZORADI.DLL", "\x95?\\VOZORADI.DLL",
                                     "\x95\x5C\\\x95?.DLL", "\x95\x5C\\VOZORADI.\x95*",
                                     "\x95\x5C" + std::string(_MAX_FNAME - 2, 'n')};
    for (const std::string& path : malformed) {
        window.Wnd().SetWindowTextA(kCaption);
        EXPECT_FALSE(Present(dir / path.c_str())) << path;
        EXPECT_EQ(kInternalError, message) << path;
        EXPECT_EQ(kInternalError, window.Caption()) << path;
    }
}

TEST_F(CodePage932, InstallationPassFromAndIntoSuchFolders) {
    testfs::TempDir other;
    const CString target = other / kHyou;
    testfs::MakeDir(target);
    const std::string name = std::string(kHyou) + ".txt";
    testfs::WriteFile(folder / name.c_str(), "new text");
    testfs::WriteFile(target / "VOZORADI.DLL", "old library");
    // A commit killed with such a name in its record is completed.
    const std::string killed = std::string(kHyou) + ".dat";
    testfs::WriteFileMakingFolders(target / kRecordName,
                                   "Korvo-Quenda Service-Pack: Commit 3\r\n- 00 1 " + killed +
                                       "\r\n.\r\n");
    testfs::WriteFileMakingFolders(TemporaryPathFor(target, killed.c_str()), "killed");

    RunInstallationPass(folder, target, &window.Wnd());

    ASSERT_EQ(1u, window.MessageBoxes().size());
    EXPECT_EQ(kCompleted, window.MessageBoxes()[0].text);
    EXPECT_EQ("new text", testfs::ReadFile(target / name.c_str()));
    EXPECT_EQ("library", testfs::ReadFile(target / "VOZORADI.DLL"));
    EXPECT_EQ("killed", testfs::ReadFile(target / killed.c_str()));
    EXPECT_EQ((std::vector<std::string>{"VOZORADI.DLL", killed, name}), testfs::List(target));
    EXPECT_EQ(kCaption, window.Caption());
}

// Nor does it end in a backslash: as a Windows folder, or as the Korvo folder of /D=.
TEST_F(CodePage932, AFolderEndingInSuchACharacterIsNotWindowsOwn) {
    char windows[MAX_PATH] = "";
    ASSERT_LT(0u, GetSystemWindowsDirectoryA(windows, MAX_PATH));
    EXPECT_FALSE(IsWindowsOwnFolder(CString(windows) + kHyou)) << windows;
    EXPECT_TRUE(IsWindowsOwnFolder(CString(windows) + "\\")) << windows;
    EXPECT_EQ(std::string("C:\\") + kHyou,
              std::string(ReadCommandLine(L"i.exe /S /D=C:\\\x8868").folder));
}

std::wstring Wide(const CString& ansi) {
    std::wstring wide(static_cast<size_t>(ansi.GetLength()) + 1, L'\0');
    wide.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_ACP, 0, ansi, ansi.GetLength(), &wide[0], ansi.GetLength() + 1)));
    return wide;
}

// The source folder where the code page cannot name it: spelt with '?', never as a look-alike,
// so the pass lists nothing and names it in its failure.
TEST(CodePageTexts, SourceFolderTheCodePageCannotNameIsNamedInTheFailure) {
    if (GetACP() != 1252 && GetACP() != 932)
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " names every folder";
    const std::wstring unnamable = GetACP() == 1252 ? L"\u65E5\u672C" : L"Stra\u00DFe";
    testfs::TempDir base, target;
    const CString spelt = base.Path() / (GetACP() == 1252 ? "??" : "Stra?e");
    const std::wstring folder = Wide(base.Path()) + L"\\" + unnamable;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\inside").c_str(), nullptr));
    wchar_t previous[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    char current[MAX_PATH] = "";
    const DWORD length = GetCurrentDirectoryExactA(MAX_PATH, current);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(spelt, CString(current));
    EXPECT_EQ(static_cast<DWORD>(spelt.GetLength()), length);

    TestWindow window;
    RunInstallationPass(current, target.Path(), &window.Wnd());
    ASSERT_EQ(1u, window.MessageBoxes().size());
    EXPECT_EQ("Korvo-Quenda Service-Pack - Installation fehlgeschlagen!\n\nDer "
              "Service-Pack-Ordner konnte nicht gelesen werden:\n" +
                  std::string(spelt),
              window.MessageBoxes()[0].text);
    EXPECT_EQ(std::vector<std::string>{}, testfs::List(target.Path()));
}

// A name of the pack's list (Windows-1252) reads as the listing spells the same file; where the
// code page cannot hold it, the pass never meets it.
TEST(CodePageTexts, ListedNameIsSpeltAsTheListingSpellsIt) {
    testfs::TempDir dir;
    const std::wstring path = Wide(dir.Path()) + L"\\L\u00F6sung.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileExactA(dir / "L*", &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, listing);
    FindClose(listing);
    CString listed;
    EXPECT_EQ(GetACP() != 932, AnsiNameFrom1252("L\xF6sung.txt", listed))
        << "code page " << GetACP();
    EXPECT_EQ(CString(entry.cFileName), listed);
}

} // namespace
