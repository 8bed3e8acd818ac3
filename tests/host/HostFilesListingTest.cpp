// FindFirstFileA, FindNextFileA and FindClose over real folders.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "HostTestFs.h"

using testfs::operator/;

namespace {

struct Listed {
    std::vector<std::string> order;
    std::map<std::string, WIN32_FIND_DATAA> entries;
    DWORD error; // what ended the listing, or why it did not start
};

Listed ListAll(const CString& pattern) {
    Listed listed;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    listed.error = GetLastError();
    if (find == INVALID_HANDLE_VALUE)
        return listed;
    do {
        listed.order.push_back(data.cFileName);
        listed.entries[data.cFileName] = data;
    } while (FindNextFileA(find, &data));
    listed.error = GetLastError();
    EXPECT_TRUE(FindClose(find));
    return listed;
}

} // namespace

TEST(FindFirstFileA, ListsDotsFirstThenEveryEntry) {
    testfs::TempDir dir;
    testfs::WriteFile(dir / "a.txt", "abc");
    testfs::WriteFile(dir / "README", "");
    testfs::WriteFile(dir / "L\xF6sung.txt", "");
    testfs::WriteFile(dir / "hidden.sys", "x");
    testfs::SetAttributes(dir / "hidden.sys", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    testfs::MakeDir(dir / "sub");
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, testfs::Posix(dir / "a.txt").c_str(), times, 0));

    for (const char* pattern : {"*.*", "*"}) {
        SCOPED_TRACE(pattern);
        Listed listed = ListAll(dir / pattern);
        EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), listed.error);
        ASSERT_EQ(7u, listed.order.size());
        EXPECT_EQ(".", listed.order[0]);
        EXPECT_EQ("..", listed.order[1]);
        for (const char* name : {"L\xF6sung.txt", "README", "a.txt", "hidden.sys", "sub"})
            EXPECT_EQ(1u, listed.entries.count(name)) << name;
        const auto attributes = [&](const char* name) {
            return listed.entries[name].dwFileAttributes;
        };
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_DIRECTORY), attributes("."));
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_DIRECTORY), attributes("sub"));
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_NORMAL), attributes("a.txt"));
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), attributes("hidden.sys"));
        const WIN32_FIND_DATAA& a = listed.entries["a.txt"];
        EXPECT_EQ(3u, a.nFileSizeLow);
        EXPECT_EQ((1000000000ull + 11644473600ull) * 10000000ull,
                  uint64_t(a.ftLastWriteTime.dwHighDateTime) << 32 |
                      a.ftLastWriteTime.dwLowDateTime);
    }
}

TEST(FindFirstFileA, ErrorCodes) {
    testfs::TempDir dir;
    testfs::WriteFile(dir / "file", "");
    const struct {
        CString pattern;
        DWORD error;
    } cases[] = {
        {dir / "missing\\*.*", ERROR_PATH_NOT_FOUND},
        {dir / "file\\*.*", ERROR_PATH_NOT_FOUND},
        {dir / "*.xyz", ERROR_FILE_NOT_FOUND},
        {dir / "a|b*", ERROR_INVALID_NAME},
        {"Y:\\*.*", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_TRUE(ListAll(c.pattern).order.empty()) << c.pattern;
        EXPECT_EQ(c.error, GetLastError()) << c.pattern;
    }
    WIN32_FIND_DATAA data;
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    HANDLE find = FindFirstFileA(dir / "*", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_FALSE(CloseHandle(find)) << "a listing is not a file handle";
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find)) << "closed twice";
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(FindFirstFileA, ListsWhatWindowsCouldNotName) {
    testfs::TempDir dir;
    const std::string folder = testfs::Posix(dir.Path());
    for (const char* name : {"/\xE6\x97\xA5\xE6\x9C\xAC.txt", "/bad\xFF.bin"})
        ASSERT_EQ(0, close(open((folder + name).c_str(), O_CREAT | O_WRONLY, 0644)));
    ASSERT_EQ(0, symlink("nowhere", (folder + "/dangling").c_str()));
    Listed listed = ListAll(dir / "*");
    EXPECT_EQ(5u, listed.order.size());
    EXPECT_EQ(1u, listed.entries.count("??.txt"));
    EXPECT_EQ(1u, listed.entries.count("bad?.bin"));
    EXPECT_EQ(1u, listed.entries.count("dangling")) << "listed though stat cannot follow it";
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_REPARSE_POINT), listed.entries["dangling"].dwFileAttributes);
    // The '?' can never name the file again.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir / "??.txt"));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());
}
