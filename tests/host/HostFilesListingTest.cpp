// FindFirstFileA, FindNextFileA and FindClose over real folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "HostPath.h"
#include "TestFs.h"

using testfs::operator/;

namespace {

struct Entry {
    std::string name;
    DWORD attributes;
    uint64_t size;
    uint64_t lastWrite;
};

// Every entry in listing order, and the error that ended the listing.
std::vector<Entry> ListAll(const CString& pattern, DWORD& error) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    error = GetLastError();
    if (find == INVALID_HANDLE_VALUE)
        return entries;
    do {
        entries.push_back({data.cFileName, data.dwFileAttributes,
                           uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow,
                           uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
                               data.ftLastWriteTime.dwLowDateTime});
    } while (FindNextFileA(find, &data));
    error = GetLastError();
    EXPECT_TRUE(FindClose(find));
    return entries;
}

const Entry* Find(const std::vector<Entry>& entries, const std::string& name) {
    for (const Entry& e : entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

std::string OnDisk(const CString& path) {
    std::string posix;
    hostfs::ToPosixPath(path, posix);
    return posix;
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
    ASSERT_EQ(0, utimensat(AT_FDCWD, OnDisk(dir / "a.txt").c_str(), times, 0));

    for (const char* pattern : {"*.*", "*"}) {
        SCOPED_TRACE(pattern);
        DWORD error;
        std::vector<Entry> entries = ListAll(dir / pattern, error);
        EXPECT_EQ(ERROR_NO_MORE_FILES, error);
        ASSERT_EQ(7u, entries.size());
        EXPECT_EQ(".", entries[0].name);
        EXPECT_EQ("..", entries[1].name);
        EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, entries[0].attributes);
        std::vector<std::string> names;
        for (size_t i = 2; i < entries.size(); ++i)
            names.push_back(entries[i].name);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(
            (std::vector<std::string>{"L\xF6sung.txt", "README", "a.txt", "hidden.sys", "sub"}),
            names);
        const Entry* a = Find(entries, "a.txt");
        EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, a->attributes);
        EXPECT_EQ(3u, a->size);
        EXPECT_EQ((1000000000ull + 11644473600ull) * 10000000ull, a->lastWrite);
        EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
                  Find(entries, "hidden.sys")->attributes);
        EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, Find(entries, "sub")->attributes);
    }
}

TEST(FindFirstFileA, MatchesTheLastComponentRegardlessOfCase) {
    testfs::TempDir dir;
    testfs::MakeDir(dir / "Folder");
    for (const char* name : {"a.txt", "B.TXT", "README", "c.dat"})
        testfs::WriteFile(dir / "Folder" / name, "");
    DWORD error;
    std::vector<std::string> names;
    for (const Entry& e : ListAll(dir / "FOLDER\\*.txt", error))
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"B.TXT", "a.txt"}), names);
    EXPECT_EQ(ERROR_NO_MORE_FILES, error);

    std::vector<Entry> single = ListAll(dir / "folder/readme", error);
    ASSERT_EQ(1u, single.size());
    EXPECT_EQ("README", single[0].name);
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
        WIN32_FIND_DATAA data;
        SetLastError(0);
        EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(c.pattern, &data)) << c.pattern;
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

TEST(FindFirstFileA, NamesWindows1252CannotHoldAreListedWithQuestionMarks) {
    testfs::TempDir dir;
    const std::string folder = OnDisk(dir.Path());
    for (const char* name : {"/\xE6\x97\xA5\xE6\x9C\xAC.txt", "/bad\xFF.bin"})
        ASSERT_EQ(0, close(open((folder + name).c_str(), O_CREAT | O_WRONLY, 0644)));
    ASSERT_EQ(0, symlink("nowhere", (folder + "/dangling").c_str()));
    DWORD error;
    std::vector<Entry> entries = ListAll(dir / "*", error);
    ASSERT_TRUE(Find(entries, "??.txt"));
    ASSERT_TRUE(Find(entries, "bad?.bin"));
    const Entry* dangling = Find(entries, "dangling");
    ASSERT_TRUE(dangling) << "an entry that stat cannot follow is listed all the same";
    EXPECT_EQ(5u, entries.size());
    // The '?' can never name the file again.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir / "??.txt"));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());
}

TEST(FindFirstFileA, ListsTheRootOfDriveZ) {
    testfs::TempDir dir;
    const std::string path(dir.Path());
    const std::string top = path.substr(3, path.find('\\', 3) - 3); // "tmp" of Z:\tmp\...
    DWORD error;
    for (const char* root : {"Z:\\*", "\\*"}) {
        const std::vector<Entry> entries = ListAll(root, error);
        ASSERT_GT(entries.size(), 2u) << root;
        EXPECT_EQ(".", entries[0].name);
        EXPECT_TRUE(Find(entries, top)) << root << " lacks " << top;
    }
}
