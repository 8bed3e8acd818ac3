// The installation pass when the system fails under it: the target fills up in the middle of a
// file, the process is killed in the middle of a copy, source entries cannot be read. The pass
// runs in a child process, which sends its message box back through a pipe. Every case checks
// that the pass went on with the other files, that each target file is its old or its new
// version byte for byte, and that the closing message names what failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <numeric>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "HeadlessWindow.h"
#include "HostTestFs.h"
#include "PassTexts.h"
#include "PassReport.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"
#include "install/PassFolderLayout.h"
#include "install/Retry.h"
#include "install/RunLog.h"

using testfs::operator/;
using testfs::Posix;

namespace {

typedef std::vector<std::string> Names;

const size_t kMiB = 1024 * 1024;

// Content that shows any misplaced, missing or repeated block: every 8-byte word holds its own
// offset and the file's mark.
void FillPattern(std::string& chunk, uint64_t offset, unsigned char mark) {
    for (size_t i = 0; i + 8 <= chunk.size(); i += 8) {
        const uint64_t word = (uint64_t(mark) << 56) | (offset + i);
        std::memcpy(&chunk[i], &word, 8);
    }
}

void WritePatternFile(const CString& path, size_t size, unsigned char mark) {
    const int fd = open(Posix(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path << ": " << std::strerror(errno);
    std::string chunk(kMiB, '\0');
    for (size_t done = 0; done < size; done += chunk.size()) {
        chunk.resize(std::min(kMiB, size - done));
        FillPattern(chunk, done, mark);
        ASSERT_EQ(ssize_t(chunk.size()), write(fd, chunk.data(), chunk.size())) << path;
    }
    close(fd);
}

// Whether the file holds exactly what WritePatternFile wrote, without reading it all in at once.
bool HoldsPattern(const CString& path, size_t size, unsigned char mark) {
    const int fd = open(Posix(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string expected(kMiB, '\0'), got(kMiB, '\0');
    size_t done = 0;
    bool same = true;
    while (same) {
        const ssize_t n = read(fd, &got[0], got.size());
        if (n <= 0) {
            same = n == 0 && done == size;
            break;
        }
        expected.resize(size_t(n));
        FillPattern(expected, done, mark);
        same = done + size_t(n) <= size && got.compare(0, size_t(n), expected) == 0;
        done += size_t(n);
    }
    close(fd);
    return same;
}

struct ChildPass {
    bool exited = false; // by itself, with status 0
    int killedBy = 0;    // the signal that ended it
    std::vector<ShownMessageBox> boxes;
};

// Runs the pass in a forked child; setUp runs in the child first. A child still running after
// the deadline is killed as hung.
ChildPass RunPassInChild(const CString& source, const CString& target,
                         const std::function<void()>& setUp,
                         std::chrono::seconds deadline = std::chrono::seconds(60)) {
    ChildPass result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return result;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return result;
    }
    if (pid == 0) {
        close(fds[0]);
        if (setUp)
            setUp();
        CWnd wnd;
        std::unique_ptr<HeadlessWindow> window = MakeHeadlessWindow(wnd);
        RunInstallationPass(source, target, &wnd);
        std::string out;
        for (const HeadlessMessageBox& box : window->messageBoxes)
            out += std::to_string(box.type) + '\x01' + box.caption + '\x01' + box.text + '\x02';
        for (size_t done = 0; done < out.size();) {
            const ssize_t n = write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                _exit(2);
            done += size_t(n);
        }
        _exit(0); // no destructors or leak checks of the parent's copy of the process
    }
    close(fds[1]);

    std::string in;
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd p = {fds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) == 0) {
            kill(pid, SIGKILL);
            ADD_FAILURE() << "the pass did not end within " << deadline.count() << " s";
            break;
        }
        char buffer[4096];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        in.append(buffer, size_t(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.killedBy = WIFSIGNALED(status) ? WTERMSIG(status) : 0;

    size_t pos = 0;
    for (size_t stop; (stop = in.find('\x02', pos)) != std::string::npos; pos = stop + 1) {
        const std::string record = in.substr(pos, stop - pos);
        const size_t a = record.find('\x01'), b = record.find('\x01', a + 1);
        result.boxes.push_back({record.substr(b + 1), record.substr(a + 1, b - a - 1),
                                UINT(std::stoul(record.substr(0, a)))});
    }
    return result;
}

// The one box of a pass that ran to its end, taken apart.
PassReport ReportOf(const ChildPass& pass) {
    EXPECT_TRUE(pass.exited) << "the child did not end normally";
    EXPECT_EQ(1u, pass.boxes.size()) << "the pass shows exactly one message box";
    PassReport report = pass.boxes.empty() ? PassReport{} : ParseReport(pass.boxes.back());
    EXPECT_TRUE(report.wellFormed) << report.text;
    return report;
}

class InstallationFaults : public ::testing::Test {
protected:
    testfs::TempDir source;
    testfs::TempDir target;
};

TEST_F(InstallationFaults, TargetFullInTheMiddleOfALargeFileChangesNothing) {
    const Names small = {"a.txt", "b.txt", "c.txt"};
    for (const std::string& name : small)
        testfs::WriteFile(source / name.c_str(), "new " + name);
    testfs::WriteFile(target / "a.txt", "old a.txt");
    WritePatternFile(source / "big.bin", 4 * kMiB, 'N');
    testfs::WriteFile(target / "big.bin", "old big file");

    // The file size limit stands for a full disk: writes past it fail with EFBIG. a.txt is held
    // for good, as by a running Korvo: its advice comes first.
    ChildPass pass = RunPassInChild(source.Path(), target.Path(), [&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {kMiB, kMiB};
        setrlimit(RLIMIT_FSIZE, &limit);
        CreateFileA(target / "a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    });

    PassReport report = ReportOf(pass);
    std::sort(report.notCopied.begin(), report.notCopied.end());
    EXPECT_EQ((Names{"a.txt", "big.bin"}), report.notCopied) << report.text;
    EXPECT_EQ((Names{kInUse, kDiskFull}), report.advice);
    EXPECT_FALSE(report.partly);
    EXPECT_EQ("old big file", testfs::ReadFile(target / "big.bin"));
    EXPECT_EQ("old a.txt", testfs::ReadFile(target / "a.txt"));
    EXPECT_EQ((Names{"a.txt", "big.bin"}), testfs::List(target.Path()))
        << "a stray or missing file in the target";
}

TEST_F(InstallationFaults, KilledInTheMiddleOfALargeFileLeavesTheOldTargetWhole) {
    const size_t kSize = 200 * kMiB, kOldSize = kMiB + 24;
    WritePatternFile(source / "big.bin", kSize, 'N');
    WritePatternFile(target / "big.bin", kOldSize, 'O');
    testfs::WriteFile(target / "keep.txt", "not in the pack");
    const Names before = testfs::List(target.Path());

    // The kernel itself kills the child (SIGXFSZ, whose default no handler can soften) at the
    // write that would take a file past 16 MiB: only the large file gets that far.
    ChildPass pass = RunPassInChild(source.Path(), target.Path(), [] {
        struct rlimit size = {16 * kMiB, 16 * kMiB}, core = {0, 0};
        setrlimit(RLIMIT_FSIZE, &size);
        setrlimit(RLIMIT_CORE, &core);
    });

    ASSERT_EQ(SIGXFSZ, pass.killedBy) << "the pass was not killed in the middle of the copy";
    EXPECT_TRUE(pass.boxes.empty());
    EXPECT_TRUE(HoldsPattern(target / "big.bin", kOldSize, 'O'))
        << "the old target is not intact after the kill";
    Names after = testfs::List(target.Path());
    Names stray;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(stray));
    // The pass's folder, with the killed copy, which the next pass finds and removes.
    EXPECT_EQ(Names{kPassFolderName}, stray);
    EXPECT_TRUE(testfs::Exists(TemporaryPathFor(target.Path(), "big.bin")));

    // The next pass completes the file, whatever the killed one left, serving its window inside.
    TestWindow window;
    int served = 0;
    SetHeadlessServeHook([&served](DWORD) { ++served; });
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    SetHeadlessServeHook(nullptr);
    EXPECT_GT(served, 100) << "served once a megabyte or so";
    ASSERT_EQ(1u, window.MessageBoxes().size());
    PassReport report = ParseReport(window.MessageBoxes()[0]);
    EXPECT_TRUE(report.complete) << report.text;
    EXPECT_TRUE(HoldsPattern(target / "big.bin", kSize, 'N'));
    EXPECT_EQ(before, testfs::List(target.Path()));
}

TEST_F(InstallationFaults, UnreadableSourceEntriesAreNamedAndNothingBlocks) {
    const std::string folder = Posix(source.Path());
    ASSERT_EQ(0, symlink("nowhere", (folder + "/dangling").c_str()));
    ASSERT_EQ(0, symlink("loop", (folder + "/loop").c_str()));
    // A link to a file elsewhere is not read through either.
    testfs::WriteFile(target / "elsewhere", "not the pack's");
    ASSERT_EQ(0, symlink(Posix(target / "elsewhere").c_str(), (folder + "/linked").c_str()));
    ASSERT_EQ(0, mkfifo((folder + "/fifo").c_str(), 0644));
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const std::string socketPath = folder + "/socket";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(0, bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address))
        << std::strerror(errno);
    testfs::WriteFile(source / "fine.txt", "new fine");
    testfs::WriteFile(source / "z-last.txt", "new last");
    testfs::WriteFile(source / "z.~KQ", "named like the pass's own files");
    // Names that NTFS takes for one file, as it folds \xC4 and \xE4 too.
    for (const char* twin : {"\xC4nderung.txt", "\xE4nderung.txt", "readme", "README"})
        testfs::WriteFile(source / twin, twin);
    // Target files of the same names keep their old content.
    testfs::WriteFile(target / "fifo", "old fifo");
    testfs::WriteFile(target / "dangling", "old dangling");
    // An optional library the Korvo folder has but that cannot be opened: meant to be replaced.
    testfs::WriteFile(source / "VOZORADI.DLL", "new library");
    ASSERT_EQ(0, mkfifo((Posix(target.Path()) + "/VOZORADI.DLL").c_str(), 0644));

    // A FIFO with no writer blocks a plain open or read forever: a short deadline shows it.
    ChildPass pass =
        RunPassInChild(source.Path(), target.Path(), nullptr, std::chrono::seconds(20));
    close(sock);

    // The listing's rules fail the pass before anything is copied.
    PassReport report = ReportOf(pass);
    EXPECT_EQ((Names{"README", "VOZORADI.DLL", "dangling", "linked", "loop", "readme", "z.~KQ",
                     "\xC4nderung.txt", "\xE4nderung.txt"}),
              report.notCopied)
        << report.text;
    // A library there that cannot be opened is taken for one in use.
    EXPECT_EQ((Names{kInUse, kTryAgain}), report.advice);
    EXPECT_EQ((Names{"VOZORADI.DLL", "dangling", "elsewhere", "fifo"}),
              testfs::List(target.Path()));
}

// Holds alone are waited for: a quarter second at most at a time, 1.1 s a file, 2 s a pass.
TEST_F(InstallationFaults, OnlyHoldsAreWaitedForWithinTheirBudgets) {
    const CString plain = target / "korvo.dll", readOnly = target / "ro.dll";
    testfs::WriteFile(plain, "");
    testfs::WriteFile(readOnly, "");
    testfs::SetAttributes(readOnly, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Cause::InUse, CauseOf(ERROR_LOCK_VIOLATION, plain)) << "advised to end Korvo";
    std::vector<DWORD> waits;
    SetHeadlessServeHook([&](DWORD ms) { waits.push_back(ms); });
    CKeepAlive alive(nullptr);
    CRetryBudget retry(alive);
    const auto waitsFor = [&](DWORD error, const CString& path) { // one file failing for good
        waits.clear();
        retry.StartFile();
        do
            SetLastError(error);
        while (retry.Again(path));
        EXPECT_GE(250u, waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end()));
        return std::accumulate(waits.begin(), waits.end(), 0u);
    };
    EXPECT_EQ(0u, waitsFor(ERROR_ACCESS_DENIED, readOnly));
    EXPECT_EQ(1100u, waitsFor(ERROR_LOCK_VIOLATION, plain));
    EXPECT_EQ(900u, waitsFor(ERROR_ACCESS_DENIED, plain));
    EXPECT_EQ(0u, waitsFor(ERROR_SHARING_VIOLATION, plain));
    SetHeadlessServeHook(nullptr);
}

TEST_F(InstallationFaults, NothingOutsideTheKorvoFolderIsReachedThroughALink) {
    testfs::TempDir outside;
    const std::string korvo = Posix(target.Path());
    for (const char* name : {"a.dat", "b.dat", "c.dat", "h.dat", "k.dat"})
        testfs::WriteFile(source / name, std::string("new ") + name);
    testfs::WriteFile(target / "a.dat", "old a.dat");
    testfs::WriteFile(target / "b.dat", "old b.dat");
    // Planted under the pass's names, and as targets: a link, a hard link to a read-only file,
    // one to a hidden system file, whose marks are those of the file outside too.
    for (const char* name : {"ro1", "w2", "w3", "ro4"}) {
        testfs::WriteFile(outside / name, name);
        if (name[0] == 'r')
            testfs::SetAttributes(outside / name, FILE_ATTRIBUTE_READONLY);
    }
    testfs::WriteFile(outside / "hs5", "");
    testfs::SetAttributes(outside / "hs5", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    for (const auto& [name, to] : {std::pair{TemporaryPathFor(target.Path(), "a.dat"), "ro1"},
                                   std::pair{SecondPathFor(target.Path(), "b.dat"), "w2"}}) {
        testfs::WriteFileMakingFolders(name, ""), unlink(Posix(name).c_str());
        ASSERT_EQ(0, symlink(Posix(outside / to).c_str(), Posix(name).c_str()));
    }
    ASSERT_EQ(0, symlink(Posix(outside / "w3").c_str(), (korvo + "/c.dat").c_str()));
    ASSERT_EQ(0, link(Posix(outside / "ro4").c_str(), (korvo + "/h.dat").c_str()));
    ASSERT_EQ(0, link(Posix(outside / "hs5").c_str(), (korvo + "/k.dat").c_str()));
    const auto outsideIntact = [&] {
        for (const char* name : {"ro1", "w2", "w3", "ro4"})
            EXPECT_EQ(name + std::to_string(name[0] == 'r' ? FILE_ATTRIBUTE_READONLY : 0x80),
                      testfs::ReadFile(outside / name) +
                          std::to_string(testfs::Attributes(outside / name)));
        EXPECT_EQ(DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
                  testfs::Attributes(outside / "hs5"));
    };

    TestWindow window;
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    PassReport report = ParseReport(window.MessageBoxes().back());
    EXPECT_EQ((Names{"c.dat", "h.dat"}), report.notCopied) << report.text;
    EXPECT_EQ("old a.dat", testfs::ReadFile(target / "a.dat"));
    EXPECT_EQ("old b.dat", testfs::ReadFile(target / "b.dat"));
    outsideIntact();

    // The next pass, without the refused targets, replaces every planted name and leaves none.
    unlink(Posix(source / "c.dat").c_str());
    unlink(Posix(source / "h.dat").c_str());
    for (const char* name : {"e.dat", "f.dat"})
        testfs::WriteFile(source / name, "new");
    testfs::WriteFile(target / "e.dat", "old e.dat");
    for (const CString& name :
         {SecondPathFor(target.Path(), "e.dat"), TemporaryPathFor(target.Path(), "b.dat"),
          TemporaryPathFor(target.Path(), "f.dat"), SecondPathFor(target.Path(), "f.dat")}) {
        testfs::WriteFileMakingFolders(name, "left over");
        testfs::SetAttributes(name, FILE_ATTRIBUTE_READONLY);
    }
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    EXPECT_TRUE(ParseReport(window.MessageBoxes().back()).complete);
    EXPECT_EQ("new a.dat", testfs::ReadFile(target / "a.dat"));
    EXPECT_EQ("new b.dat", testfs::ReadFile(target / "b.dat"));
    EXPECT_EQ((Names{"a.dat", "b.dat", "c.dat", "e.dat", "f.dat", "h.dat", "k.dat"}),
              testfs::List(target.Path()));
    outsideIntact();
}

// The pass keeps the names in blocks of 64 KiB: a thousand long ones fill more than one.
TEST_F(InstallationFaults, AThousandLongNamesAreAllInstalled) {
    for (int i = 0; i < 1000; ++i)
        testfs::WriteFile(source / (std::to_string(i) + std::string(100, '-') + ".dat").c_str(),
                          "");
    TestWindow window;
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    EXPECT_TRUE(ParseReport(window.MessageBoxes().back()).complete);
    EXPECT_EQ(testfs::List(source.Path()), testfs::List(target.Path()));
}

TEST_F(InstallationFaults, ASecondPassChangesNothingAndSaysSoTheFirstLeavesNoDownloadMark) {
    const char stream[] = "user.DosStream.Zone.Identifier:$DATA";
    testfs::TempDir other;
    testfs::WriteFile(source / "a.dat", "first");
    testfs::WriteFile(other / "a.dat", "second");
    ASSERT_EQ(0, setxattr(Posix(source / "a.dat").c_str(), stream, "[ZoneTransfer]", 14, 0));
    TestWindow first, second;
    SetHeadlessServeHook([&](DWORD) {
        if (second.MessageBoxes().empty())
            RunInstallationPass(other.Path(), target.Path(), &second.Wnd());
    });
    RunInstallationPass(source.Path(), target.Path(), &first.Wnd());
    SetHeadlessServeHook(nullptr);
    EXPECT_EQ(std::string(kFailed) + "\n\n" + kAnotherPass, second.MessageBoxes().at(0).text);
    EXPECT_EQ("first", testfs::ReadFile(target / "a.dat")) << first.MessageBoxes().at(0).text;
    EXPECT_EQ(Names{"a.dat"}, testfs::List(target.Path()));
    EXPECT_EQ(-1, getxattr(Posix(target / "a.dat").c_str(), stream, nullptr, 0));
}

// A link, a file, another owner's folder, one or a subfolder with rights for all, a link in the
// lock's place; a linked Korvo.
TEST_F(InstallationFaults, AForeignPassFolderOrALinkedKorvoFolderIsRefusedByName) {
    testfs::WriteFile(source / "a.dat", "new a.dat");
    testfs::TempDir outside, links;
    const CString folder = PassFolderOf(target.Path()), sub = folder / "7", linked = links / "K",
                  lock = target / kLockName;
    ASSERT_EQ(0, symlink(Posix(target.Path()).c_str(), Posix(linked).c_str()));
    const auto with = [&](const CString& path, uid_t owner, mode_t mode) {
        testfs::WriteFileMakingFolders(sub / "x", "");
        return chown(Posix(path).c_str(), owner, -1) | chmod(Posix(path).c_str(), mode);
    };
    const std::pair<CString, std::function<int()>> cases[] = {
        {folder, [&] { return symlink(Posix(outside.Path()).c_str(), Posix(folder).c_str()); }},
        {folder, [&] { return testfs::WriteFile(folder, ""), 0; }},
        {folder, [&] { return with(folder, 1234, 0700); }},
        {folder, [&] { return with(folder, 0, 0777); }},
        {sub, [&] { return with(sub, 0, 0777); }},
        {lock,
         [&] {
             testfs::WriteFile(links / "x", "");
             return (CreateDirectoryA(folder, nullptr) ? 0 : 1) |
                    symlink(Posix(links / "x").c_str(), Posix(lock).c_str());
         }},
        {linked, [] { return 0; }}};
    for (const auto& [refused, plant] : cases) {
        ASSERT_EQ(0, plant());
        TestWindow window;
        RunInstallationPass(source.Path(), refused == linked ? linked : target.Path(),
                            &window.Wnd());
        const std::string text = window.MessageBoxes().at(0).text;
        EXPECT_NE(std::string::npos, text.find(":\n" + std::string(refused) + "\n")) << text;
        EXPECT_FALSE(testfs::Exists(target / "a.dat")) << text;
        EXPECT_TRUE(testfs::List(outside.Path()).empty());
        testfs::RemoveTree(folder);
    }
}

} // namespace

// What a user may put first where an elevated run logs (C:\Windows\Temp): a link, a second name
// of a file elsewhere, a file of their own. None is written; a plain log is shared and appended.
TEST(RunLog, WritesNoLinkSecondNameOrFileOfAnotherUser) {
    testfs::TempDir logs, outside;
    const CString log = logs / "run.log", elsewhere = outside / "system.ini";
    testfs::WriteFile(elsewhere, "system");
    const std::function<int()> plants[] = {
        [&] { return symlink(Posix(elsewhere).c_str(), Posix(log).c_str()); },
        [&] { return link(Posix(elsewhere).c_str(), Posix(log).c_str()); },
        [&] { return testfs::WriteFile(log, "system"), chown(Posix(log).c_str(), 1234, -1); }};
    for (const auto& plant : plants) {
        ASSERT_EQ(0, plant());
        CRunLog run;
        EXPECT_FALSE(run.Open(log));
        run.Line("Zeile");
        EXPECT_EQ("system", testfs::ReadPosixFile(Posix(log)));
        EXPECT_EQ("system", testfs::ReadFile(elsewhere));
        ASSERT_EQ(0, unlink(Posix(log).c_str()));
    }
    CRunLog first, second;
    EXPECT_TRUE(first.Open(log) && second.Open(log));
    first.Line("eins"), second.Line("zwei\n\nzwei b"), first.Line("drei");
    std::string lines = testfs::ReadFile(log);
    for (size_t at = 3; at < lines.size(); at = lines.find("\r\n", at) + 2)
        lines.erase(at, 20); // the time stamp
    EXPECT_EQ("\xEF\xBB\xBF"
              "eins\r\nzwei\r\nzwei b\r\ndrei\r\n",
              lines);
}
