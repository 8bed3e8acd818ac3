// Source names that Windows-1252 cannot hold (on disk as UTF-8, as another system may leave
// them): the listing shows them with '?', which no file function takes, so the pass must name
// them as not copied and carry on, touching no file it cannot name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "HostPath.h"
#include "PassReport.h"
#include "TestFs.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"

using testfs::operator/;

namespace {

typedef std::vector<std::string> Names;

std::string Posix(const CString& path) {
    std::string posix;
    EXPECT_EQ(0u, hostfs::ToPosixPath(path, posix)) << path;
    return posix;
}

void WriteRaw(const std::string& path, const std::string& content) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(ssize_t(content.size()), write(fd, content.data(), content.size()));
    close(fd);
}

// The names on disk, as bytes, sorted.
Names RawNames(const std::string& folder) {
    Names names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
                names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(UnholdableNames, AreReportedAsNotCopiedAndBreakNothingElse) {
    testfs::TempDir source, target;
    const std::string from = Posix(source.Path()), to = Posix(target.Path());
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC.txt"; // 日本.txt
    WriteRaw(from + "/" + japanese, "new japanese");
    WriteRaw(from + "/bad\xFF.bin", "invalid UTF-8");
    testfs::WriteFile(source / "L\xF6sung.txt", "new umlaut");
    testfs::WriteFile(source / "plain.txt", "new plain");
    // The target's file of that name is out of reach for the pass; it must stay as it is.
    WriteRaw(to + "/" + japanese, "old japanese");

    TestWindow window;
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());

    ASSERT_EQ(1u, window.MessageBoxes().size());
    PassReport report = ParseReport(window.MessageBoxes()[0]);
    EXPECT_TRUE(report.wellFormed) << report.text;
    EXPECT_EQ((Names{"??.txt", "bad?.bin"}), report.notCopied) << report.text;
    EXPECT_FALSE(report.listingBroken);
    EXPECT_EQ("new umlaut", testfs::ReadFile(target / "L\xF6sung.txt"));
    EXPECT_EQ("new plain", testfs::ReadFile(target / "plain.txt"));
    EXPECT_EQ((Names{"L\xC3\xB6sung.txt", "plain.txt", japanese}), RawNames(to));
    std::string content;
    {
        const int fd = open((to + "/" + japanese).c_str(), O_RDONLY | O_CLOEXEC);
        char buffer[64];
        const ssize_t n = fd >= 0 ? read(fd, buffer, sizeof buffer) : -1;
        if (n > 0)
            content.assign(buffer, size_t(n));
        if (fd >= 0)
            close(fd);
    }
    EXPECT_EQ("old japanese", content);
    EXPECT_EQ("", window.Caption()) << "no internal error";
}

} // namespace
