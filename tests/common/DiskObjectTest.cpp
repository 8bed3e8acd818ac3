// CDiskObject::IsFilePresent: path checks, the open, and what reaches the feedback window.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestFs.h"
#include "TestWindow.h"
#include "WineDifference.h"
#include "disk/DiskObject.h"

using testfs::operator/;

namespace {

const char kInternalError[] = "CDiskObject internal error - check call parameters";

class DiskObject : public ::testing::Test {
protected:
    void SetUp() override {
        window.Wnd().SetWindowTextA("Korvo-Quenda Service-Pack");
        testfs::WriteFile(folder / "VOZORADI.DLL", "library");
    }
    // Asks a fresh object, as the installation pass does.
    BOOL Present(const CString& path) {
        CDiskObject disk(&window.Wnd());
        BOOL present = disk.IsFilePresent(path);
        message = static_cast<const char*>(disk.GetErrorMessage());
        return present;
    }
    void ExpectWindowUntouched() {
        EXPECT_EQ("Korvo-Quenda Service-Pack", window.Caption());
        if (window.UpdateDataCalls() >= 0) {
            EXPECT_EQ(0, window.UpdateDataCalls());
        }
    }
    void ExpectInternalError(int reports = 1) {
        EXPECT_EQ(kInternalError, message);
        EXPECT_EQ(kInternalError, window.Caption());
        if (window.UpdateDataCalls() >= 0) {
            EXPECT_EQ(reports, window.UpdateDataCalls());
        }
    }

    testfs::TempDir folder;
    TestWindow window;
    std::string message;
};

TEST_F(DiskObject, ExistingFileIsPresentWithBackOrForwardSlashes) {
    EXPECT_TRUE(Present(folder / "VOZORADI.DLL"));
    CString slashed = folder / "VOZORADI.DLL";
    const std::string path(slashed);
    EXPECT_EQ(std::count(path.begin(), path.end(), '\\'), slashed.Replace('\\', '/'));
    EXPECT_EQ(-1, slashed.Find('\\')) << slashed;
    EXPECT_TRUE(Present(slashed));
    EXPECT_EQ("", message);
    ExpectWindowUntouched();
}

TEST_F(DiskObject, ExistenceTestClosesEveryHandleItOpens) {
    const long before = testfs::OpenHandles();
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(Present(folder / "VOZORADI.DLL"));
        EXPECT_FALSE(Present(folder / "DOZADARU.DLL"));
    }
    EXPECT_EQ(before, testfs::OpenHandles());
    HANDLE writer = CreateFileA(folder / "VOZORADI.DLL", GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, 0);
    EXPECT_TRUE(Present(folder / "VOZORADI.DLL")) << "open for writing in another program";
    EXPECT_FALSE(DeleteFileA(folder / "VOZORADI.DLL")) << "held without sharing delete";
    CloseHandle(writer);
    // A handle left open would keep Windows from deleting the file.
    EXPECT_TRUE(DeleteFileA(folder / "VOZORADI.DLL")) << GetLastError();
}

TEST_F(DiskObject, NamesAreFoundRegardlessOfLetterCase) {
    EXPECT_TRUE(Present(folder / "vozoradi.dll"));
    ExpectWindowUntouched();
}

TEST_F(DiskObject, MissingFileOrFolderIsAbsentWithoutAnyMessage) {
    EXPECT_FALSE(Present(folder / "DOZADARU.DLL"));
    EXPECT_FALSE(Present(folder / "missing" / "VOZORADI.DLL"));
    testfs::MakeDir(folder / "A_FOLDER.DLL");
    EXPECT_FALSE(Present(folder / "A_FOLDER.DLL"));
    EXPECT_EQ("", message);
    ExpectWindowUntouched();
}

TEST_F(DiskObject, EmptyPathIsAnInternalError) {
    EXPECT_FALSE(Present(""));
    ExpectInternalError();
}

TEST_F(DiskObject, WildcardsAndStrayColonsAreInternalErrors) {
    const char* malformed[] = {"VOZO?ADI.DLL", "VOZO*.DLL", "VOZORADI.D?L", "VOZO:RADI.DLL"};
    for (const char* name : malformed) {
        EXPECT_FALSE(Present(folder / name)) << name;
        EXPECT_EQ(kInternalError, message) << name;
    }
    EXPECT_FALSE(Present(folder / "sub:folder" / "VOZORADI.DLL"));
    ExpectInternalError(5);
}

TEST_F(DiskObject, ErrorIsResetByTheNextQuestion) {
    CDiskObject disk(&window.Wnd());
    EXPECT_FALSE(disk.IsFilePresent("*"));
    EXPECT_EQ(kInternalError, std::string(disk.GetErrorMessage()));
    EXPECT_TRUE(disk.IsFilePresent(folder / "VOZORADI.DLL"));
    EXPECT_EQ("", std::string(disk.GetErrorMessage()));
}

TEST_F(DiskObject, WithoutAFeedbackWindowTheErrorIsOnlyKept) {
    CDiskObject disk(nullptr);
    EXPECT_FALSE(disk.IsFilePresent("a?b"));
    EXPECT_EQ(kInternalError, std::string(disk.GetErrorMessage()));
    ExpectWindowUntouched();
}

TEST_F(DiskObject, NetworkPathIsLeftAsItIsAndJustNotFound) {
    EXPECT_FALSE(Present("\\\\kq-no-such-server\\share\\VOZORADI.DLL"));
    EXPECT_EQ("", message);
    ExpectWindowUntouched();
}

TEST_F(DiskObject, RelativePathUsesTheCurrentDirectoryAndLeavesItAlone) {
    char before[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, before));
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path()));
    EXPECT_TRUE(Present("VOZORADI.DLL"));
    EXPECT_TRUE(Present(".\\VOZORADI.DLL"));
    EXPECT_FALSE(Present("..\\VOZORADI.DLL"));
    char during[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, during);
    EXPECT_STREQ(static_cast<const char*>(folder.Path()), during);
    SetCurrentDirectoryA(before);
    ExpectWindowUntouched();
}

TEST_F(DiskObject, PathsTooLongForThePartBuffersAreRefusedSafely) {
    // A part longer than the runtime's 256-byte part buffers cannot be checked whole: such a
    // path cannot name a file on Windows, and it must not overflow anything.
    std::string longPart(300, 'x');
    EXPECT_FALSE(Present(folder / (longPart + ".DLL").c_str()));
    EXPECT_FALSE(Present(folder / ("VOZORADI." + longPart).c_str()));
    CString deep = folder.Path();
    for (int i = 0; i < 5; ++i)
        deep += ("\\" + std::string(60, 'd')).c_str();
    EXPECT_FALSE(Present(deep + "\\VOZORADI.DLL"));
    ExpectInternalError(3);
}

TEST_F(DiskObject, LongestPathsWindowsCanNameArePresent) {
    // A 246-character folder and an 8.3 name: 259 characters, one short of MAX_PATH.
    CString deep = folder.Path();
    while (deep.GetLength() < 246) {
        // No name left empty, whatever the length of the temporary folder.
        const int room = 246 - deep.GetLength() - 1;
        deep += ("\\" + std::string(room == 61 ? 59 : room > 60 ? 60 : room, 'd')).c_str();
        testfs::MakeDir(deep);
    }
    ASSERT_EQ(246, deep.GetLength());
    testfs::WriteFile(deep + "\\VOZORADI.DLL", "library");
    EXPECT_TRUE(Present(deep + "\\VOZORADI.DLL"));
    EXPECT_FALSE(Present(deep + "\\DOZADARU.DLL"));
    ExpectWindowUntouched();
}

} // namespace
