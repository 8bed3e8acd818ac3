// The pass's list of files gives back each name as added, whatever it shares with the one before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/PassFiles.h"

TEST(PassFiles, GivesBackEachNameAndItsState) {
    // clang-format off
    const std::vector<std::string> names = {
        "a.dll", "a.dll", "ab.dll", "b", "bb", "file12345.dat", "file98765.dat",
        "file9876543210abcdefghij.dat", "x" + std::string(20, 'y') + ".dat", "y.dat",
        "alpha_long_common_suffix_text.bin", "beta_long_common_suffix_text.bin",
        std::string(259, 'k'), std::string(258, 'k') + "x", "kk", "Korvo Daten", "korvo daten"};
    // clang-format on
    CPassFiles files;
    for (size_t i = 0; i < names.size(); ++i)
        ASSERT_TRUE(files.Add(names[i].c_str(), i % 2, i % 3 ? FILE_ATTRIBUTE_HIDDEN : 0, i % 5));
    size_t i = 0;
    files.ForEach([&](CPassFiles::File file) {
        if (i % 4 == 0)
            file.SetCurrent(i % 8 == 0);
        if (i++ % 3 == 1)
            file.SetProgram();
        return true;
    });
    i = 0;
    files.ForEach([&](CPassFiles::File file) {
        EXPECT_EQ(names[i], file.Name()) << i;
        EXPECT_EQ(i % 2 == 1, file.OldKept()) << i;
        EXPECT_EQ(i % 3 ? DWORD{FILE_ATTRIBUTE_HIDDEN} : 0, file.ResetMarks()) << i;
        EXPECT_EQ(i % 5 ? i % 5 : 1, file.Names()) << i;
        EXPECT_EQ(i % 4 == 0, file.Current() && file.TimeStale() == (i % 8 == 0)) << i;
        EXPECT_EQ(i % 3 == 1, file.Program()) << i;
        return ++i > 0;
    });
    EXPECT_EQ(names.size(), i);
}
