// _splitpath, _mbslen and _mbscmp of the host runtime.
#include <gtest/gtest.h>

#include <cstring>

#include "WinApi.h"

TEST(SplitPath, SplitsLikeTheClassicRuntime) {
    const struct {
        const char *path, *drive, *dir, *fname, *ext;
    } cases[] = {
        {"C:\\Prog\\Korvo\\VOZORADI.DLL", "C:", "\\Prog\\Korvo\\", "VOZORADI", ".DLL"},
        {"\\\\server\\share\\f.txt", "", "\\\\server\\share\\", "f", ".txt"},
        {"c:/a/b.c/name", "c:", "/a/b.c/", "name", ""},
        {"dir.v2\\archive.tar.gz", "", "dir.v2\\", "archive.tar", ".gz"},
        {"README", "", "", "README", ""},
        {"Z:", "Z:", "", "", ""},
        {".profile", "", "", "", ".profile"},
        {"", "", "", "", ""},
    };
    for (const auto& c : cases) {
        char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
        _splitpath(c.path, drive, dir, fname, ext);
        EXPECT_STREQ(c.drive, drive) << c.path;
        EXPECT_STREQ(c.dir, dir) << c.path;
        EXPECT_STREQ(c.fname, fname) << c.path;
        EXPECT_STREQ(c.ext, ext) << c.path;
    }
    char ext[_MAX_EXT];
    _splitpath("C:\\x\\name.ext", nullptr, nullptr, nullptr, ext);
    EXPECT_STREQ(".ext", ext) << "parts not asked for may be null";
}

TEST(SplitPath, CutsLongPartsToFitTheirBuffers) {
    const std::string part(300, 'p');
    const std::string path = "C:\\" + part + "\\" + part + "." + part;
    // Each buffer followed by guard bytes that must survive.
    struct Guarded {
        char buffer[_MAX_DIR];
        char guard[16];
    } dir, fname, ext;
    for (Guarded* g : {&dir, &fname, &ext})
        std::memset(g, '#', sizeof *g);
    _splitpath(path.c_str(), nullptr, dir.buffer, fname.buffer, ext.buffer);
    EXPECT_EQ(std::string("\\") + std::string(_MAX_DIR - 2, 'p'), dir.buffer);
    EXPECT_EQ(std::string(_MAX_FNAME - 1, 'p'), fname.buffer);
    EXPECT_EQ("." + std::string(_MAX_EXT - 2, 'p'), ext.buffer);
    for (Guarded* g : {&dir, &fname, &ext})
        EXPECT_EQ(std::string(16, '#'), std::string(g->guard, 16)) << "written past the buffer";
}

TEST(MbsFunctions, CountAndCompareBytes) {
    const auto u = [](const char* s) { return reinterpret_cast<const unsigned char*>(s); };
    EXPECT_EQ(0u, _mbslen(u("")));
    EXPECT_EQ(2u, _mbslen(u("C:")));
    EXPECT_EQ(6u, _mbslen(u("L\xF6sung")));
    EXPECT_EQ(0, _mbscmp(u("\\\\"), u("\\\\")));
    EXPECT_GT(0, _mbscmp(u("abc"), u("abd")));
    EXPECT_LT(0, _mbscmp(u("abc"), u("ab")));
    EXPECT_LT(0, _mbscmp(u("\xF6"), u("o"))) << "bytes compare unsigned";
    EXPECT_NE(0, _mbscmp(u("install.exe"), u("INSTALL.EXE"))) << "letter case counts";
}
