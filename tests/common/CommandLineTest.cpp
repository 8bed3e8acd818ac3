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
}

TEST(CommandLine, NamesWhatItDoesNotUnderstand) {
    // clang-format off
    const std::pair<const wchar_t*, const char*> cases[] = {
        {L"i /S /D=C:\\K /X", "/X"}, {L"i /S", "/S ohne /D="}, {L"i /D=", "/D="},
        {L"i /LOG= /S /D=C:\\K", "/LOG="}, {L"i /SILENT /D=C:\\K", "/SILENT"},
        {L"i /? /S /D=C:\\K", "/? mit /S"}, {L"i /D=C:\\K /D=C:\\L", "/D=C:\\L"},
        {L"i /D=C:\\\x4E2D", "/D=C:\\?"}, {L"i /D=C:\\K", ""}};
    // clang-format on
    for (const auto& [line, notUnderstood] : cases)
        EXPECT_EQ(notUnderstood, std::string(ReadCommandLine(line).notUnderstood)) << line;
}

} // namespace
