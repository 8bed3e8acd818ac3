// Names and paths between the Windows form the logic uses and the POSIX form on disk.
#include <gtest/gtest.h>

#include <unistd.h>

#include "HostErrors.h"
#include "HostNames.h"
#include "HostPath.h"

using namespace hostfs;

TEST(NameConversion, EveryWindows1252ByteRoundTrips) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string name(1, static_cast<char>(byte));
        std::string back;
        EXPECT_TRUE(Utf8ToCp1252(Cp1252ToUtf8(name), back)) << "byte 0x" << std::hex << byte;
        EXPECT_EQ(name, back) << "byte 0x" << std::hex << byte;
    }
    EXPECT_EQ("L\xC3\xB6sung.txt", Cp1252ToUtf8("L\xF6sung.txt"));
    EXPECT_EQ("\xE2\x82\xAC", Cp1252ToUtf8("\x80"));
    EXPECT_EQ("\xC2\x81", Cp1252ToUtf8("\x81")) << "undefined bytes map to C1 controls";
}

TEST(NameConversion, WhatWindows1252CannotHoldBecomesQuestionMarks) {
    std::string out;
    EXPECT_FALSE(Utf8ToCp1252("\xE6\x97\xA5\xE6\x9C\xAC.txt", out));
    EXPECT_EQ("??.txt", out);
    EXPECT_FALSE(Utf8ToCp1252("a\xFF"
                              "b",
                              out))
        << "invalid UTF-8";
    EXPECT_EQ("a?b", out);
    EXPECT_FALSE(Utf8ToCp1252("\xC0\xAF", out)) << "overlong '/'";
    EXPECT_EQ("??", out);
    EXPECT_FALSE(Utf8ToCp1252("\xC2\x80", out)) << "U+0080 has no byte (0x80 is the euro)";
    EXPECT_EQ("?", out);
}

TEST(NameConversion, LetterCaseFoldsLikeWindows1252) {
    EXPECT_TRUE(EqualIgnoringCase("L\xF6sung.TXT", "l\xD6SUNG.txt"));
    EXPECT_TRUE(EqualIgnoringCase("\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F"));
    EXPECT_FALSE(EqualIgnoringCase("\xD7", "\xF7")) << "multiplication and division signs";
    EXPECT_FALSE(EqualIgnoringCase("\xDF", "SS"));
}

TEST(NameConversion, PatternsMatchAsFindFirstFileDoes) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"README", "*.*", true},    {"a.b.c", "*.*", true},        {".", "*.*", true},
        {"..", "*", true},          {"A.TXT", "*.txt", true},      {"a.txt.bak", "*.txt", false},
        {"README", "*.", true},     {"a.txt", "*.", false},        {"a.txt", "?.txt", true},
        {"ab.txt", "?.txt", false}, {"a.txt", "a?.txt", true},     {"a", "a.*", true},
        {"a.b.txt", "*.b", false},  {"L\xF6sung", "l\xD6*", true}, {"x", "", false},
        {"abc", "a*c", true},       {"abd", "a*c", false},         {"a.c", "a?c", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.matches, MatchesPattern(c.name, c.pattern))
            << "name \"" << c.name << "\", pattern \"" << c.pattern << "\"";
}

TEST(PathConversion, WindowsPathsLandOnDriveZ) {
    const struct {
        const char* windows;
        const char* posix;
    } cases[] = {
        {"Z:\\tmp\\a", "/tmp/a"},
        {"z:/tmp//a/", "/tmp/a"},
        {"Z:\\", "/"},
        {"\\tmp\\x", "/tmp/x"},
        {"Z:\\tmp\\..\\..\\etc", "/etc"},
        {"Z:\\a\\.\\b\\c\\..", "/a/b"},
        {"Z:\\L\xF6sung", "/L\xC3\xB6sung"},
    };
    for (const auto& c : cases) {
        std::string posix;
        EXPECT_EQ(0u, ToPosixPath(c.windows, posix)) << c.windows;
        EXPECT_EQ(c.posix, posix) << c.windows;
    }
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    std::string posix;
    EXPECT_EQ(0u, ToPosixPath("x\\y", posix));
    EXPECT_EQ(std::string(cwd) + "/x/y", posix);

    EXPECT_EQ("Z:\\", ToWindowsPath("/"));
    EXPECT_EQ("Z:\\tmp\\L\xF6sung\\?.txt", ToWindowsPath("/tmp/L\xC3\xB6sung/\xE6\x97\xA5.txt"));
}

TEST(PathConversion, RefusesWhatWindowsRefuses) {
    const struct {
        const char* windows;
        DWORD error;
    } cases[] = {
        {"", ERROR_PATH_NOT_FOUND},
        {"C:\\tmp", ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share\\a", ERROR_BAD_NETPATH},
        {"//server/share", ERROR_BAD_NETPATH},
        {"Z:\\tmp\\a<b", ERROR_INVALID_NAME},
        {"Z:\\tmp\\a\x1f", ERROR_INVALID_NAME},
        {"Z:\\tmp:x\\a", ERROR_INVALID_NAME},
        {"Z:\\*\\a", ERROR_INVALID_NAME},
    };
    for (const auto& c : cases) {
        std::string posix;
        EXPECT_EQ(c.error, ToPosixPath(c.windows, posix)) << "\"" << c.windows << "\"";
    }
}
