// The command line as Windows splits it, and the switches read from it.
#include <gtest/gtest.h>

#include "install/CommandLine.h"

namespace {

TEST(CommandLine, SplitsAsWindowsDoes) {
    std::wstring split;
    WideArgument argument;
    for (size_t at = 0; NextArgument(L"\"C:\\Pro gramme\\install.exe\" \"/D=C:\\Korvo Quenda\\\\\" "
                                     L"a\\\\b \t \"sag \\\"ja\\\"\" \"x\"\"y\"",
                                     at, argument);)
        split.append(argument.begin(), argument.end()).append(L"|");
    EXPECT_EQ(L"/D=C:\\Korvo Quenda\\|a\\\\b|sag \"ja\"|x\"y|", split);
}

TEST(CommandLine, ReadsSwitchesInAnyLetterCase) {
    const CommandLine read =
        ReadCommandLine(L"install /s /d=\"C:\\Korvo Quenda\\\\\" /Log=C:\\l.txt");
    EXPECT_TRUE(read.unattended);
    EXPECT_EQ("C:\\Korvo Quenda|C:\\l.txt", std::string(read.folder + "|" + read.log));
    EXPECT_TRUE(ReadCommandLine(L"install /?").help);
    EXPECT_EQ("C:\\", std::string(ReadCommandLine(L"install /D=C:\\").folder)) << "the root";
}

// With the pack in C:\Pack. A star marks a value named with a sentence on what is wrong; a
// refused log is not kept.
TEST(CommandLine, NamesWhatItDoesNotUnderstand) {
    // clang-format off
    const std::pair<const wchar_t*, const char*> cases[] = {
        {L"i /S /D=C:\\K /X", "/X"}, {L"i /S", "/S ohne /D="}, {L"i /D=", "/D="},
        {L"i /LOG= /S /D=C:\\K", "/LOG="}, {L"i /SILENT /D=C:\\K", "/SILENT"},
        {L"i /? /S /D=C:\\K", "/? mit /S"}, {L"i /D=C:\\K /D=C:\\L", "/D=C:\\L"},
        {L"i /D=C:\\\x4E2D", "/D=C:\\?"}, {L"i /D=C:\\K", ""}, {L"i /D=\\\\s\\k\\", ""},
        {L"i /S /D=\"C:\\K\\\" /LOG=\"C:\\l\"", "/D=C:\\K\" /LOG=C:\\l*"},
        {L"i /D=C:\\K /LOG=C:\\l<1>", "/LOG=C:\\l<1>*"}, {L"i /D=C:\\K|*?", "/D=C:\\K|*?*"},
        {L"i /D=..\\K", "/D=..\\K*"}, {L"i /D=.", "/D=.*"}, {L"i /D=C:", "/D=C:*"},
        {L"i /D=C:K", "/D=C:K*"}, {L"i /D=\\K", "/D=\\K*"}, {L"i /LOG=l.txt", "/LOG=l.txt*"},
        {L"i /D=\\\\.\\C:", "/D=\\\\.\\C:*"}, {L"i /D=\\\\s", "/D=\\\\s*"},
        {L"i /D=c:\\pack\\", "/D=c:\\pack*"}, {L"i /D=C:\\Pack\\Alt", "/D=C:\\Pack\\Alt*"},
        {L"i /D=C:\\Packs", ""}, {L"i /D=C:\\", ""},
        {L"i /D=C:\\K\\..\\..\\Pack\\.\\Alt", "/D=C:\\K\\..\\..\\Pack\\.\\Alt*"},
        {L"i /D=C:\\\\Pack", "/D=C:\\\\Pack*"}};
    // clang-format on
    for (const auto& [line, named] : cases) {
        CommandLine read = ReadCommandLine(line);
        RefusePackFolder(read, [] { return CString("C:\\Pack\\"); });
        EXPECT_EQ(named, std::string(read.notUnderstood) + (read.why ? "*" : "") +
                             static_cast<const char*>(read.log))
            << line;
    }
}

} // namespace
