// CopyFileA over real files: what arrives, and what a refused copy leaves alone.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "HostTestFs.h"

using testfs::operator/;

namespace {

class CopyFile : public ::testing::Test {
protected:
    void SetUp() override { testfs::WriteFile(dir / "a.txt", "source content"); }
    // Refused, with that error, and the folder holds exactly these names afterwards.
    void ExpectRefused(const CString& from, const CString& to, BOOL failIfExists, DWORD error,
                       const std::vector<std::string>& names) {
        SetLastError(0);
        EXPECT_FALSE(CopyFileA(from, to, failIfExists)) << from << " -> " << to;
        EXPECT_EQ(error, GetLastError()) << from << " -> " << to;
        EXPECT_EQ(names, testfs::List(dir.Path())) << "stray or missing files";
    }
    testfs::TempDir dir;
};

} // namespace

TEST_F(CopyFile, CopiesContentModeAttributesAndModificationTime) {
    ASSERT_EQ(0, chmod(testfs::Posix(dir / "a.txt").c_str(), 0640));
    testfs::SetAttributes(dir / "a.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1234567890, 123456789}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, testfs::Posix(dir / "a.txt").c_str(), times, 0));

    ASSERT_TRUE(CopyFileA(dir / "a.txt", dir / "b.txt", FALSE)) << GetLastError();
    EXPECT_EQ("source content", testfs::ReadFile(dir / "b.txt"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
              testfs::Attributes(dir / "b.txt"));
    struct stat st = {};
    ASSERT_EQ(0, stat(testfs::Posix(dir / "b.txt").c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
    EXPECT_EQ(1234567890, st.st_mtim.tv_sec);
    EXPECT_EQ(123456789, st.st_mtim.tv_nsec);
}

TEST_F(CopyFile, ReplacesAnExistingTargetUnlessToldNotTo) {
    testfs::WriteFile(dir / "b.txt", "an older and longer target");
    ExpectRefused(dir / "a.txt", dir / "b.txt", TRUE, ERROR_FILE_EXISTS, {"a.txt", "b.txt"});
    EXPECT_EQ("an older and longer target", testfs::ReadFile(dir / "b.txt"));
    ASSERT_TRUE(CopyFileA(dir / "a.txt", dir / "b.txt", FALSE)) << GetLastError();
    EXPECT_EQ("source content", testfs::ReadFile(dir / "b.txt"));
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), testfs::List(dir.Path()));
}

TEST_F(CopyFile, RefusesReadOnlyHiddenAndSystemTargetsEvenForRoot) {
    for (DWORD marks : {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        SCOPED_TRACE(testing::Message() << "marks 0x" << std::hex << marks << ", uid " << getuid());
        testfs::WriteFile(dir / "b.txt", "keep me");
        testfs::SetAttributes(dir / "b.txt", marks);
        ExpectRefused(dir / "a.txt", dir / "b.txt", FALSE, ERROR_ACCESS_DENIED, {"a.txt", "b.txt"});
        EXPECT_EQ("keep me", testfs::ReadFile(dir / "b.txt"));
        EXPECT_EQ(marks, testfs::Attributes(dir / "b.txt"));
        testfs::SetAttributes(dir / "b.txt", 0);
    }
    // Like CREATE_ALWAYS: a hidden file may be replaced by a hidden one.
    testfs::SetAttributes(dir / "a.txt", FILE_ATTRIBUTE_HIDDEN);
    testfs::SetAttributes(dir / "b.txt", FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(CopyFileA(dir / "a.txt", dir / "b.txt", FALSE)) << GetLastError();
}

TEST_F(CopyFile, RefusesMissingFoldersAndOtherNonFiles) {
    testfs::MakeDir(dir / "sub");
    ASSERT_EQ(0, mkfifo(testfs::Posix(dir / "fifo").c_str(), 0644));
    ASSERT_EQ(0, symlink("nowhere", testfs::Posix(dir / "dangling").c_str()));
    const std::vector<std::string> names = {"a.txt", "dangling", "fifo", "sub"};
    ExpectRefused(dir / "sub", dir / "b.txt", FALSE, ERROR_ACCESS_DENIED, names);
    ExpectRefused(dir / "missing.txt", dir / "b.txt", FALSE, ERROR_FILE_NOT_FOUND, names);
    ExpectRefused(dir / "nofolder\\a.txt", dir / "b.txt", FALSE, ERROR_PATH_NOT_FOUND, names);
    ExpectRefused(dir / "dangling", dir / "b.txt", FALSE, ERROR_FILE_NOT_FOUND, names);
    ExpectRefused(dir / "a.txt", dir / "sub", FALSE, ERROR_ACCESS_DENIED, names);
    ExpectRefused(dir / "a.txt", dir / "nofolder\\b.txt", FALSE, ERROR_PATH_NOT_FOUND, names);
    // A link is an entry of its own: no copy goes through it to where it points.
    ASSERT_EQ(0, symlink("sub/through.txt", testfs::Posix(dir / "into-sub").c_str()));
    ExpectRefused(dir / "a.txt", dir / "into-sub", TRUE, ERROR_FILE_EXISTS,
                  {"a.txt", "dangling", "fifo", "into-sub", "sub"});
    ASSERT_EQ(0, unlink(testfs::Posix(dir / "into-sub").c_str()));
    EXPECT_TRUE(testfs::List(dir / "sub").empty());

    // A FIFO without a writer would block a plain open or read forever.
    auto copy = std::async(std::launch::async, [&] {
        BOOL ok = CopyFileA(dir / "fifo", dir / "b.txt", FALSE);
        return std::make_pair(ok, GetLastError());
    });
    if (copy.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        close(open(testfs::Posix(dir / "fifo").c_str(), O_WRONLY | O_NONBLOCK)); // set it free
        FAIL() << "CopyFileA blocked on a FIFO";
    }
    EXPECT_EQ(std::make_pair(FALSE, DWORD(ERROR_ACCESS_DENIED)), copy.get());
    EXPECT_EQ(names, testfs::List(dir.Path()));
}

TEST_F(CopyFile, NeverCopiesAFileOntoItself) {
    testfs::MakeDir(dir / "sub");
    ASSERT_EQ(0,
              link(testfs::Posix(dir / "a.txt").c_str(), testfs::Posix(dir / "hard.txt").c_str()));
    const std::vector<std::string> names = {"a.txt", "hard.txt", "sub"};
    ExpectRefused(dir / "a.txt", dir / "a.txt", FALSE, ERROR_SHARING_VIOLATION, names);
    ExpectRefused(dir / "a.txt", dir / "sub\\..\\.\\a.txt", FALSE, ERROR_SHARING_VIOLATION, names);
    ExpectRefused(dir / "A.TXT", dir / "a.txt", FALSE, ERROR_SHARING_VIOLATION, names);
    ExpectRefused(dir / "a.txt", dir / "A.Txt", FALSE, ERROR_SHARING_VIOLATION, names);
    ExpectRefused(dir / "a.txt", dir / "hard.txt", FALSE, ERROR_SHARING_VIOLATION, names);
    EXPECT_EQ("source content", testfs::ReadFile(dir / "a.txt"));
}

TEST_F(CopyFile, LargeAndSizelessFilesArriveWhole) {
    std::string big(3 * 1024 * 1024 + 123, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 13);
    testfs::WriteFile(dir / "big.bin", big);
    ASSERT_TRUE(CopyFileA(dir / "big.bin", dir / "copy.bin", FALSE)) << GetLastError();
    EXPECT_TRUE(big == testfs::ReadFile(dir / "copy.bin")) << "3 MiB copy differs";

    // /proc reports size 0 for files with content.
    const std::string version = testfs::ReadFile("Z:\\proc\\version");
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(CopyFileA("Z:\\proc\\version", dir / "version", FALSE)) << GetLastError();
    EXPECT_EQ(version, testfs::ReadFile(dir / "version"));
}

// As on Windows, the copy goes into the target itself: a failure loses the old content.
TEST_F(CopyFile, DiskFullRemovesTheHalfWrittenTarget) {
    testfs::WriteFile(dir / "big.bin", std::string(1024 * 1024, 'x'));
    testfs::WriteFile(dir / "b.txt", "old");
    struct rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    SetLastError(0);
    const BOOL ok = CopyFileA(dir / "big.bin", dir / "b.txt", FALSE);
    const DWORD error = GetLastError();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(DWORD(ERROR_DISK_FULL), error);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "big.bin"}), testfs::List(dir.Path()));
}

TEST_F(CopyFile, Windows1252NamesAreStoredAsUtf8) {
    testfs::MakeDir(dir / "target");
    testfs::WriteFile(dir / "L\xF6sung.txt", "umlaut");
    ASSERT_TRUE(CopyFileA(dir / "L\xF6sung.txt", dir / "TARGET\\L\xF6sung.txt", FALSE))
        << GetLastError();
    struct stat st;
    EXPECT_EQ(0, stat((testfs::Posix(dir.Path()) + "/target/L\xC3\xB6sung.txt").c_str(), &st));
    EXPECT_EQ((std::vector<std::string>{"L\xF6sung.txt"}), testfs::List(dir / "target"));
}

// The rename the pass finishes each file with, and the removal of its temporary file, refuse
// what Windows refuses; a hidden target is replaced, which is why the pass checks it first.
TEST_F(CopyFile, MoveAndDeleteRefuseWhatWindowsRefuses) {
    const std::vector<std::string> names = {"a.txt", "hidden.txt", "ro.txt", "sub"};
    testfs::WriteFile(dir / "ro.txt", "read-only");
    testfs::SetAttributes(dir / "ro.txt", FILE_ATTRIBUTE_READONLY);
    testfs::WriteFile(dir / "hidden.txt", "hidden");
    testfs::SetAttributes(dir / "hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    testfs::MakeDir(dir / "sub");
    for (const char* target : {"ro.txt", "sub"}) {
        SetLastError(0);
        EXPECT_FALSE(MoveFileExA(dir / "a.txt", dir / target, MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError()) << target;
        EXPECT_FALSE(DeleteFileA(dir / target));
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError()) << target;
    }
    EXPECT_FALSE(MoveFileExA(dir / "a.txt", dir / "hidden.txt", 0));
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(names, testfs::List(dir.Path()));
    // An open file is not replaced even when its holder shares delete (NTFS).
    HANDLE held = CreateFileA(dir / "hidden.txt", GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_FALSE(MoveFileExA(dir / "a.txt", dir / "hidden.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(held);

    ASSERT_TRUE(MoveFileExA(dir / "a.txt", dir / "hidden.txt", MOVEFILE_REPLACE_EXISTING))
        << GetLastError();
    EXPECT_EQ("source content", testfs::ReadFile(dir / "hidden.txt"));
    // A link under the temporary name goes, and what it points to stays.
    ASSERT_EQ(0, symlink("ro.txt", testfs::Posix(dir / "link").c_str()));
    EXPECT_TRUE(DeleteFileA(dir / "link")) << GetLastError();
    EXPECT_EQ((std::vector<std::string>{"hidden.txt", "ro.txt", "sub"}), testfs::List(dir.Path()));
}
