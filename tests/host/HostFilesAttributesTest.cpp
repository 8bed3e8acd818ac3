// GetFileAttributesA, SetFileAttributesA, CreateFileA and the current directory.
#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "HostTestFs.h"

using testfs::operator/;

namespace {

mode_t ModeOf(const CString& path) {
    struct stat st = {};
    EXPECT_EQ(0, stat(testfs::Posix(path).c_str(), &st)) << path;
    return st.st_mode & 07777;
}

// Goes back to the current directory of its construction, whatever the test did.
struct KeepCurrentDirectory {
    KeepCurrentDirectory() { EXPECT_TRUE(getcwd(saved, sizeof saved)); }
    ~KeepCurrentDirectory() { EXPECT_EQ(0, chdir(saved)); }
    char saved[4096];
};

} // namespace

TEST(GetFileAttributesA, ReportsWhatIsOnDisk) {
    testfs::TempDir dir;
    testfs::WriteFile(dir / "plain", "");
    testfs::WriteFile(dir / "marked", "");
    testfs::SetAttributes(dir / "marked", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    testfs::MakeDir(dir / "Sub");
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_NORMAL), GetFileAttributesA(dir / "plain"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                    FILE_ATTRIBUTE_ARCHIVE),
              GetFileAttributesA(dir / "marked"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesA(dir / "sub"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_NORMAL), GetFileAttributesA(dir / "SUB\\..\\PLAIN"));

    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir / "missing"));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir / "missing\\x"));
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), GetLastError());

    // A name in another case is looked up in an index of the folder: whatever comes or goes
    // there meanwhile, made around the stand-in and within one tick of the clock, shows at once.
    const std::string late = testfs::Posix(dir / "LATE.txt"), moved = late + ".moved";
    for (const char* how : {"made", "renamed"}) {
        SCOPED_TRACE(how);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir / "late.TXT"));
        if (how[0] == 'm')
            testfs::WritePosixFile(late, "");
        else
            ASSERT_EQ(0, rename(moved.c_str(), late.c_str()));
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_NORMAL), GetFileAttributesA(dir / "late.TXT"));
        ASSERT_EQ(0, rename(late.c_str(), moved.c_str()));
    }

    // Names that go from an indexed folder must take no other name with them: the index may
    // only ever say "missing" wrongly, so every survivor is asked for in another case.
    testfs::TempDir many;
    const auto file = [&many](int i) { return many / ("f" + std::to_string(i)).c_str(); };
    for (int i = 0; i < 3000; ++i)
        testfs::WritePosixFile(testfs::Posix(file(i)), "");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(many / "MISSING"));
    for (int i = 0; i < 3000; i += 2)
        ASSERT_EQ(0, unlink(testfs::Posix(file(i)).c_str()));
    for (int i = 1; i < 3000; i += 2)
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_NORMAL),
                  GetFileAttributesA(many / ("F" + std::to_string(i)).c_str()))
            << i;
}

TEST(SetFileAttributesA, NormalClearsEveryMarkOnFilesAndFolders) {
    testfs::TempDir dir;
    testfs::WriteFile(dir / "f", "");
    testfs::MakeDir(dir / "d");
    for (const char* name : {"f", "d"}) {
        const CString path = dir / name;
        const DWORD marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        ASSERT_TRUE(SetFileAttributesA(path, marks)) << GetLastError();
        EXPECT_EQ(marks, testfs::Attributes(path) & ~FILE_ATTRIBUTE_DIRECTORY) << name;
        EXPECT_EQ(0u, ModeOf(path) & 0222) << "read-only takes every write bit";

        ASSERT_TRUE(SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL)) << GetLastError();
        EXPECT_EQ(name[0] == 'd' ? DWORD(FILE_ATTRIBUTE_DIRECTORY) : DWORD(FILE_ATTRIBUTE_NORMAL),
                  testfs::Attributes(path));
        EXPECT_NE(0u, ModeOf(path) & S_IWUSR) << "the owner may write again";
    }
    // Hidden alone on a read-only file keeps it read-only; NORMAL with other bits is ignored.
    ASSERT_TRUE(SetFileAttributesA(dir / "f", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(dir / "F", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                  FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              testfs::Attributes(dir / "f"));

    // Read-only cleared gives the owner, and only the owner, the write bit back.
    ASSERT_EQ(0, chmod(testfs::Posix(dir / "f").c_str(), 0444));
    ASSERT_TRUE(SetFileAttributesA(dir / "f", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(0644u, ModeOf(dir / "f"));

    EXPECT_FALSE(SetFileAttributesA(dir / "missing", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST(CreateFileA, OpensExistingFilesRegardlessOfCaseButNoFolders) {
    testfs::TempDir dir;
    testfs::MakeDir(dir / "Korvo");
    testfs::WriteFile(dir / "Korvo\\VOZORADI.DLL", "library");
    const auto open = [](const CString& path) {
        return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    for (const char* name : {"Korvo\\VOZORADI.DLL", "korvo\\vozoradi.dll", "KORVO/VozoRadi.Dll"}) {
        HANDLE file = open(dir / name);
        EXPECT_NE(INVALID_HANDLE_VALUE, file) << name << ": error " << GetLastError();
        EXPECT_TRUE(CloseHandle(file)) << name;
        EXPECT_FALSE(CloseHandle(file)) << "closed twice";
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    }
    const struct {
        const char* name;
        DWORD error;
    } refused[] = {{"Korvo", ERROR_ACCESS_DENIED},
                   {"Korvo\\DOZADARU.DLL", ERROR_FILE_NOT_FOUND},
                   {"Other\\VOZORADI.DLL", ERROR_PATH_NOT_FOUND},
                   {"Korvo\\VOZORADI.DLL:stream", ERROR_INVALID_NAME}};
    for (const auto& r : refused) {
        EXPECT_EQ(INVALID_HANDLE_VALUE, open(dir / r.name)) << r.name;
        EXPECT_EQ(r.error, GetLastError()) << r.name;
    }
}

TEST(CurrentDirectory, RelativePathsFollowItAndOnlyABufferThatHoldsItAllIsFilled) {
    testfs::TempDir dir;
    testfs::MakeDir(dir / "Sub");
    testfs::WriteFile(dir / "Sub\\file.txt", "");
    KeepCurrentDirectory keep;
    ASSERT_TRUE(SetCurrentDirectoryA(dir / "sub")) << GetLastError();
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_NORMAL), GetFileAttributesA("..\\Sub\\.\\file.txt"));
    EXPECT_FALSE(SetCurrentDirectoryA("file.txt"));
    EXPECT_EQ(DWORD(ERROR_DIRECTORY), GetLastError());
    EXPECT_FALSE(SetCurrentDirectoryA("missing"));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());

    const CString expected = dir / "Sub";
    const DWORD length = static_cast<DWORD>(expected.GetLength());
    char buffer[MAX_PATH];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(length + 1, GetCurrentDirectoryA(length, buffer)) << "size needed, NUL included";
    EXPECT_EQ('#', buffer[0]) << "a too small buffer stays untouched";
    EXPECT_EQ(length, GetCurrentDirectoryA(length + 1, buffer));
    EXPECT_STREQ(expected, buffer);
    EXPECT_EQ('#', buffer[length + 1]);

    ASSERT_TRUE(SetCurrentDirectoryA("\\"));
    EXPECT_EQ(3u, GetCurrentDirectoryA(sizeof buffer, buffer));
    EXPECT_STREQ("Z:\\", buffer) << "a backslash at the end only at the root";
}
