// The installation pass over real folders: what it copies, what it leaves, what it reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "PassTexts.h"
#include "TestFs.h"
#include "TestWindow.h"
#include "WineDifference.h"
#include "install/InstallationPass.h"
#include "install/PassFolderLayout.h"

using testfs::TempDir;
using testfs::operator/;

namespace {

class InstallationPass : public ::testing::Test {
protected:
    // Runs the pass and returns the one message box it showed.
    ShownMessageBox Run() { return RunFrom(source.Path()); }
    ShownMessageBox RunFrom(const CString& sourceFolder) {
        return RunFrom(sourceFolder, target.Path());
    }
    ShownMessageBox RunFrom(const CString& sourceFolder, const CString& targetFolder) {
        size_t before = window.MessageBoxes().size();
        CPassFace face(&window.Wnd(), log);
        exitCode = RunInstallationPass(sourceFolder, targetFolder, face);
        std::vector<ShownMessageBox> boxes = window.MessageBoxes();
        EXPECT_EQ(before + 1, boxes.size()) << "the pass shows exactly one message box";
        return boxes.empty() ? ShownMessageBox{"", "", 0} : boxes.back();
    }
    void ExpectCompleted(const ShownMessageBox& box) {
        EXPECT_EQ(kCompleted, box.text);
        EXPECT_EQ(kCaption, box.caption);
        EXPECT_EQ(MB_OK | MB_ICONINFORMATION, box.type);
    }
    std::string Failed(const std::string& paragraphs, const std::string& advice = kTryAgain) {
        return kFailed + ("\n\n" + paragraphs) + "\n\n" + kNotChanged + "\n\n" + advice;
    }

    TempDir source;
    TempDir target;
    TestWindow window;
    TempDir logs;
    CRunLog log;
    int exitCode = -1;
    std::string Log() { return testfs::ReadFile(logs / "run.log"); }
    void SetUp() override { log.Open(logs / "run.log"); }
};

typedef std::vector<std::string> Names;

// What a plain file reports after its attributes were reset.
DWORD NormalFileAttributes() {
    // Wine reports every plain file as archive, also after FILE_ATTRIBUTE_NORMAL was set.
    return RunningUnderWine() ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_NORMAL;
}

TEST_F(InstallationPass, CopiesEveryFileAndSkipsOnlyTheExactInstallerName) {
    testfs::WriteFile(source / "install.exe", "installer");
    testfs::WriteFile(source / "korvo.exe", "program");
    testfs::WriteFile(source / "README", "no dot");
    testfs::WriteFile(source / "L\xF6sung.txt", "umlaut");

    ExpectCompleted(Run());
    EXPECT_EQ(0, exitCode);
    EXPECT_NE(std::string::npos, Log().find(" installiert: L\xC3\xB6sung.txt\r\n")) << Log();

    EXPECT_EQ((Names{"L\xF6sung.txt", "README", "korvo.exe"}), testfs::List(target.Path()));
    EXPECT_EQ("program", testfs::ReadFile(target / "korvo.exe"));
    EXPECT_EQ("umlaut", testfs::ReadFile(target / "L\xF6sung.txt"));
}

TEST_F(InstallationPass, InstallerNameInOtherLetterCaseIsCopied) {
    // One folder cannot hold two of these on Windows; each gets a pack and a target of its own.
    for (const char* name : {"Install.exe", "INSTALL.EXE"}) {
        testfs::TempDir pack, korvo;
        testfs::WriteFile(pack / name, name);
        ExpectCompleted(RunFrom(pack.Path(), korvo.Path()));
        EXPECT_EQ(name, testfs::ReadFile(korvo / name));
    }
}

TEST_F(InstallationPass, SourceWithNothingToInstallFailsAndNamesTheFolder) {
    // As Windows' ZIP view starts the installer: alone in a temporary folder. Then nothing.
    testfs::WriteFile(source / "install.exe", "installer");
    for (int run = 0; run < 2; ++run) {
        ShownMessageBox box = Run();
        EXPECT_EQ(kFailed +
                      std::string("\n\nDer Ordner enth\xE4lt keine Dateien zum Installieren:\n") +
                      static_cast<const char*>(source.Path()) +
                      "\n\nBitte entpacken Sie das Service-Pack vollst\xE4ndig und starten Sie "
                      "install.exe aus seinem Ordner.",
                  box.text);
        EXPECT_EQ(MB_OK | MB_ICONERROR, box.type);
        if (run == 0) {
            testfs::RemoveTree(source / "install.exe");
            testfs::MakeDir(source / "sub");
        }
        EXPECT_EQ(1603, exitCode);
    }
    EXPECT_TRUE(testfs::List(target.Path()).empty());

    // Optional libraries the Korvo folder lacks: nothing to do, and done.
    testfs::WriteFile(source / "VOZORADI.DLL", "library");
    ExpectCompleted(Run());
    EXPECT_TRUE(testfs::List(target.Path()).empty());
}

TEST_F(InstallationPass, WindowsOwnFoldersAreNoPackInAnySpelling) {
    typedef UINT(WINAPI * Lookup)(LPSTR, UINT);
    for (Lookup lookup : {Lookup(GetWindowsDirectoryA), Lookup(GetSystemDirectoryA),
                          Lookup(GetSystemWow64DirectoryA)}) {
        char folder[MAX_PATH];
        const UINT length = lookup(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            continue; // no 32-bit system folder on 32-bit Windows
        std::string other = folder;
        std::transform(other.begin(), other.end(), other.begin(), ::toupper);
        for (const std::string& spelling : {std::string(folder), other + "\\"}) {
            ShownMessageBox box = RunFrom(spelling.c_str());
            EXPECT_EQ(
                kFailed +
                    std::string("\n\nDas Programm wurde in einem Ordner von Windows gestartet:\n") +
                    spelling +
                    "\n\nBitte starten Sie install.exe aus dem Ordner des Service-Packs.",
                box.text);
            EXPECT_EQ(MB_OK | MB_ICONERROR, box.type);
        }
    }
    EXPECT_TRUE(testfs::List(target.Path()).empty());
}

// A file's identity and last-write time, read through a handle of its own.
std::pair<uint64_t, uint64_t> IdAndTime(const CString& path) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info = {};
    EXPECT_TRUE(GetFileInformationByHandle(file, &info)) << path;
    CloseHandle(file);
    return {uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow,
            uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32 |
                info.ftLastWriteTime.dwLowDateTime};
}

// Then one file changed in the pack: only that one is replaced; the other, already current, keeps
// its identity and only loses its marks and gets the pack file's time. Then all current.
TEST_F(InstallationPass, OverwritesExistingFilesAndASecondPassGivesTheSameResult) {
    testfs::WriteFile(source / "a.dat", "new a");
    testfs::WriteFile(source / "b.dat", "new b");
    testfs::WriteFile(target / "a.dat", "old a, longer than the new one");
    testfs::WriteFile(target / "keep.txt", "not in the pack");
    // What a killed pass left in its folder is replaced, and its file installed; a lock that
    // nothing holds is no lock; the folder goes.
    testfs::WriteFileMakingFolders(TemporaryPathFor(target.Path(), "a.dat"), "half");
    testfs::WriteFileMakingFolders(TemporaryPathFor(target.Path(), "b.dat"), "half");
    testfs::WriteFileMakingFolders(SecondPathFor(target.Path(), "b.dat"), "half");
    testfs::WriteFile(target / kLockName, "");

    ExpectCompleted(Run());
    Names first = testfs::List(target.Path());
    ExpectCompleted(Run());

    EXPECT_EQ(first, testfs::List(target.Path()));
    EXPECT_EQ((Names{"a.dat", "b.dat", "keep.txt"}), first);
    EXPECT_EQ("new a", testfs::ReadFile(target / "a.dat"));
    EXPECT_EQ("not in the pack", testfs::ReadFile(target / "keep.txt"));

    testfs::WriteFile(source / "a.dat", "newer a");
    HANDLE b = CreateFileA(target / "b.dat", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const FILETIME older = {0, 0x01c00000};
    EXPECT_TRUE(SetFileTime(b, nullptr, nullptr, &older));
    CloseHandle(b);
    testfs::SetAttributes(target / "b.dat", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const auto a = IdAndTime(target / "a.dat"), current = IdAndTime(target / "b.dat");
    ExpectCompleted(Run());
    EXPECT_EQ("newer a", testfs::ReadFile(target / "a.dat"));
    EXPECT_NE(a.first, IdAndTime(target / "a.dat").first) << "not replaced";
    EXPECT_EQ(current.first, IdAndTime(target / "b.dat").first) << "replaced though current";
    EXPECT_EQ(IdAndTime(source / "b.dat").second, IdAndTime(target / "b.dat").second);
    EXPECT_EQ(NormalFileAttributes(), testfs::Attributes(target / "b.dat"));
    EXPECT_NE(std::string::npos, Log().find("installiert: a.dat"));
    EXPECT_NE(std::string::npos, Log().find("bereits aktuell: b.dat"));
    // All current with the pack's times: nothing is written, not even a time.
    const auto changed = [&] {
        HANDLE file = CreateFileA(target / "a.dat", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        FILE_BASIC_INFO basic = {};
        EXPECT_TRUE(GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic));
        CloseHandle(file);
        return basic.ChangeTime.QuadPart;
    };
    const auto replaced = IdAndTime(target / "a.dat");
    const LONGLONG change = changed();
    ExpectCompleted(Run());
    EXPECT_EQ(replaced, IdAndTime(target / "a.dat"));
    EXPECT_EQ(change, changed());
    EXPECT_EQ(first, testfs::List(target.Path()));
}

TEST_F(InstallationPass, OptionalLibrariesAreReplacedOnlyWhereTheTargetHasThem) {
    testfs::WriteFile(source / "VOZORADI.DLL", "new vozoradi");
    testfs::WriteFile(source / "DOZADARU.DLL", "new dozadaru");
    testfs::WriteFile(target / "DOZADARU.DLL", "old dozadaru");
    testfs::SetAttributes(target / "DOZADARU.DLL", FILE_ATTRIBUTE_ARCHIVE);

    ExpectCompleted(Run());

    EXPECT_FALSE(testfs::Exists(target / "VOZORADI.DLL")) << "absent from the target: not copied";
    EXPECT_EQ("new dozadaru", testfs::ReadFile(target / "DOZADARU.DLL"));
    EXPECT_EQ(NormalFileAttributes(), testfs::Attributes(target / "DOZADARU.DLL"));
    EXPECT_EQ("", window.Caption()) << "no internal error";

    // And the other way round.
    testfs::TempDir korvo;
    testfs::WriteFile(korvo / "VOZORADI.DLL", "old vozoradi");
    ExpectCompleted(RunFrom(source.Path(), korvo.Path()));
    EXPECT_EQ("new vozoradi", testfs::ReadFile(korvo / "VOZORADI.DLL"));
    EXPECT_EQ(Names{"VOZORADI.DLL"}, testfs::List(korvo.Path()));
}

TEST_F(InstallationPass, OptionalLibraryRuleMatchesOnlyTheExactNames) {
    testfs::WriteFile(source / "vozoradi.dll", "lower case");
    testfs::WriteFile(source / "Dozadaru.Dll", "mixed case");

    ExpectCompleted(Run());

    EXPECT_EQ((Names{"Dozadaru.Dll", "vozoradi.dll"}), testfs::List(target.Path()));
}

TEST_F(InstallationPass, ReadOnlyAndHiddenSourcesArriveWithNormalAttributes) {
    testfs::WriteFile(source / "ro.txt", "read-only");
    testfs::SetAttributes(source / "ro.txt", FILE_ATTRIBUTE_READONLY);
    testfs::WriteFile(source / "hidden.txt", "hidden");
    testfs::SetAttributes(source / "hidden.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    ExpectCompleted(Run());

    EXPECT_EQ("read-only", testfs::ReadFile(target / "ro.txt"));
    EXPECT_EQ("hidden", testfs::ReadFile(target / "hidden.txt"));
    EXPECT_EQ(NormalFileAttributes(), testfs::Attributes(target / "ro.txt"));
    EXPECT_EQ(NormalFileAttributes(), testfs::Attributes(target / "hidden.txt"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              testfs::Attributes(source / "ro.txt") & FILE_ATTRIBUTE_READONLY)
        << "the source is left as it was";
}

TEST_F(InstallationPass, ReadOnlyHiddenAndSystemTargetsAreReplacedInTheSamePass) {
    // As an old installation copied from a CD leaves them, and as users hide files.
    const Names names = {"ro.txt", "hidden.txt", "system.txt"};
    const DWORD marks[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN,
                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY};
    for (size_t i = 0; i < names.size(); ++i) {
        testfs::WriteFile(source / names[i].c_str(), "new");
        testfs::WriteFile(target / names[i].c_str(), "old");
        testfs::SetAttributes(target / names[i].c_str(), marks[i]);
    }

    ExpectCompleted(Run());

    for (const std::string& name : names)
        EXPECT_EQ("new" + std::to_string(NormalFileAttributes()),
                  testfs::ReadFile(target / name.c_str()) +
                      std::to_string(testfs::Attributes(target / name.c_str())));
    EXPECT_EQ((Names{"hidden.txt", "ro.txt", "system.txt"}), testfs::List(target.Path()));
}

TEST_F(InstallationPass, NameInAnotherLetterCaseIsReplacedNotAddedBeside) {
    testfs::WriteFile(target / "HILFE.TXT", "old");
    testfs::WriteFile(source / "hilfe.txt", "new");

    ExpectCompleted(Run());

    // Which spelling stays is the platform's (Wine keeps the old one).
    const Names names = testfs::List(target.Path());
    ASSERT_EQ(1u, names.size()) << ::testing::PrintToString(names);
    EXPECT_EQ("new", testfs::ReadFile(target / names[0].c_str()));
}

// Held as another program holds a file: opened without any sharing.
HANDLE Hold(const CString& path) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file) << path;
    return file;
}

TEST_F(InstallationPass, FilesHeldForAMomentAreInstalled) {
    // A virus scanner's hold, one at a time so that no wait covers another: on a target and on
    // an optional library it is staging that meets it, on a source the copy.
    testfs::WriteFile(source / "korvo.dat", "new");
    testfs::WriteFile(source / "VOZORADI.DLL", "new library");
    testfs::WriteFile(target / "VOZORADI.DLL", "old library");
    for (const CString& path :
         {target / "korvo.dat", target / "VOZORADI.DLL", source / "korvo.dat"}) {
        testfs::WriteFile(target / "korvo.dat", "old");
        const HANDLE held = Hold(path);
        std::thread release([held] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            CloseHandle(held);
        });

        ShownMessageBox box = Run();
        release.join();

        ExpectCompleted(box);
        EXPECT_EQ("new", testfs::ReadFile(target / "korvo.dat")) << path;
        EXPECT_EQ("new library", testfs::ReadFile(target / "VOZORADI.DLL")) << path;
    }
    EXPECT_EQ((Names{"VOZORADI.DLL", "korvo.dat"}), testfs::List(target.Path()));
}

TEST_F(InstallationPass, FileHeldForGoodFailsThePassAndLeavesTheFolderAsItWas) {
    testfs::WriteFile(source / "added.dat", "new added");
    testfs::WriteFile(source / "free.dat", "new free");
    testfs::WriteFile(target / "free.dat", "old free");
    testfs::SetAttributes(target / "free.dat", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    testfs::WriteFile(source / "korvo.exe", "new program");
    testfs::WriteFile(target / "korvo.exe", "running program");
    const DWORD marks = testfs::Attributes(target / "free.dat");
    const HANDLE held = Hold(target / "korvo.exe");
    std::string logSoFar; // as a run killed while it waits for korvo.exe leaves it
    std::thread read([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        logSoFar = Log();
    });

    ShownMessageBox box = Run();
    read.join();
    CloseHandle(held);

    EXPECT_EQ(Failed("Folgende Dateien konnten nicht kopiert werden:\nkorvo.exe", kInUse),
              box.text);
    EXPECT_EQ(1618, exitCode);
    EXPECT_NE(std::string::npos, logSoFar.find(" Korvo-Ordner: " + std::string(target.Path())));
    EXPECT_EQ(std::string::npos, logSoFar.find("fehlgeschlagen")) << logSoFar;
    EXPECT_NE(std::string::npos,
              Log().find(" nicht installiert: korvo.exe (von einem Programm verwendet)\r\n"));
    EXPECT_EQ("running program", testfs::ReadFile(target / "korvo.exe"));
    EXPECT_EQ("old free", testfs::ReadFile(target / "free.dat"));
    EXPECT_EQ(marks, testfs::Attributes(target / "free.dat")) << "its marks put back";
    EXPECT_EQ((Names{"free.dat", "korvo.exe"}), testfs::List(target.Path()))
        << "no file added, no copy left";

    // A pack file held for good is advised as the pack's, not as Korvo's.
    const HANDLE heldSource = Hold(source / "korvo.exe");
    box = Run();
    CloseHandle(heldSource);
    EXPECT_EQ(Failed("Folgende Dateien konnten nicht kopiert werden:\nkorvo.exe", kSourceInUse),
              box.text);
}

TEST_F(InstallationPass, SubfoldersAreNotDescendedIntoAndAreNoFailure) {
    testfs::MakeDir(source / "sub");
    testfs::WriteFile(source / "sub" / "inner.txt", "inside");
    testfs::WriteFile(source / "top.txt", "top");
    testfs::MakeDir(target / "sub");
    testfs::SetAttributes(target / "sub", FILE_ATTRIBUTE_HIDDEN);

    ExpectCompleted(Run());

    EXPECT_EQ("top", testfs::ReadFile(target / "top.txt"));
    EXPECT_FALSE(testfs::Exists(target / "sub" / "inner.txt"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN),
              testfs::Attributes(target / "sub"))
        << "a folder of the Korvo folder is left as it is";
}

TEST_F(InstallationPass, FailureReportNamesTenFilesAndCountsTheRest) {
    testfs::WriteFile(source / "fine.txt", "fine");
    // A folder in the target where a file should go refuses the copy on every platform.
    for (int failures : {10, 13}) {
        for (int i = 0; i < failures; ++i) {
            CString name;
            name.Format("file%02d.txt", i);
            testfs::WriteFile(source / name, "data");
            if (!testfs::Exists(target / name))
                testfs::MakeDir(target / name);
        }

        ShownMessageBox box = Run();

        std::string text = box.text;
        EXPECT_EQ(MB_OK | MB_ICONERROR, box.type);
        std::string head = kFailed + std::string("\n\nFolgende Dateien konnten nicht kopiert "
                                                 "werden:\n");
        ASSERT_EQ(0u, text.find(head)) << text;
        std::string tail = (failures > 10 ? "\n... und 3 weitere" : "") +
                           ("\n\n" + std::string(kNotChanged)) + "\n\n" + kTryAgain;
        ASSERT_GE(text.size(), tail.size());
        EXPECT_EQ(tail, text.substr(text.size() - tail.size())) << text;
        std::string names = text.substr(head.size(), text.size() - head.size() - tail.size());
        EXPECT_EQ(10, std::count(names.begin(), names.end(), '\n') + 1) << names;
        EXPECT_EQ(std::string::npos, names.find("fine.txt"));
        EXPECT_EQ(std::string::npos, names.find("weitere"));
        EXPECT_FALSE(testfs::Exists(target / "fine.txt"));
    }
}

TEST_F(InstallationPass, UnreadableSourceFolderCopiesNothingAndSaysSo) {
    CString missing = source / "removed-medium";

    ShownMessageBox box = RunFrom(missing);

    EXPECT_EQ(std::string("Korvo-Quenda Service-Pack - Installation fehlgeschlagen!\n\n"
                          "Der Service-Pack-Ordner konnte nicht gelesen werden:\n") +
                  static_cast<const char*>(missing),
              box.text);
    EXPECT_EQ(MB_OK | MB_ICONERROR, box.type);
    EXPECT_EQ(kCaption, box.caption);
    EXPECT_TRUE(testfs::List(target.Path()).empty());

    // No source folder at all (the current directory could not be read): not the drive's root.
    box = RunFrom("");
    EXPECT_EQ("Korvo-Quenda Service-Pack - Installation fehlgeschlagen!\n\n"
              "Der Service-Pack-Ordner konnte nicht gelesen werden:\n",
              box.text);
    EXPECT_TRUE(testfs::List(target.Path()).empty());
}

TEST_F(InstallationPass, ForwardSlashTargetFindsTheOptionalLibrary) {
    testfs::WriteFile(source / "VOZORADI.DLL", "new");
    testfs::WriteFile(target / "VOZORADI.DLL", "old");
    CString slashed = target.Path();
    slashed.Replace('\\', '/');

    RunInstallationPass(source.Path(), slashed, &window.Wnd());

    ASSERT_EQ(1u, window.MessageBoxes().size());
    EXPECT_EQ(kCompleted, window.MessageBoxes()[0].text);
    EXPECT_EQ("new", testfs::ReadFile(target / "VOZORADI.DLL"));
}

TEST_F(InstallationPass, KorvoFolderThatCannotBeHeldFailsThePassBeforeAnything) {
    testfs::WriteFile(source / "VOZORADI.DLL", "new");
    for (const CString& folder : {target / "bad:folder", target / "missing"}) {
        RunInstallationPass(source.Path(), folder, &window.Wnd());

        EXPECT_EQ(kFailed +
                      std::string("\n\nDer Korvo-Ordner konnte nicht ge\xF6"
                                  "ffnet werden:\n") +
                      static_cast<const char*>(folder) + "\n\n" + kTryAgain,
                  window.MessageBoxes().back().text);
    }
    EXPECT_EQ("", window.Caption()) << "not even the existence test ran";
}

TEST_F(InstallationPass, LongTargetFolderIsHandledSafelyAndReportedTruthfully) {
    // Nested folders until the target path is 250 characters long.
    CString folder = target.Path();
    while (folder.GetLength() < 250) {
        int room = 250 - folder.GetLength() - 1;
        CString part(std::string(room > 60 ? 60 : (room < 1 ? 1 : room), 'k').c_str());
        folder += '\\';
        folder += part;
        if (folder.GetLength() > 250)
            break;
        testfs::MakeDir(folder);
    }
    ASSERT_EQ(250, folder.GetLength());
    // The longest name the pass writes for it, the second in its own folder ("\\.~kq\\8\\nn"),
    // has MAX_PATH characters: one too many.
    const std::string name = "nn";
    testfs::WriteFile(source / name.c_str(), "long");
    testfs::WriteFile(source / "VOZORADI.DLL", "library");

    RunInstallationPass(source.Path(), folder, &window.Wnd());

    // Never written, on every platform.
    ASSERT_EQ(1u, window.MessageBoxes().size());
    EXPECT_EQ(Failed("Folgende Dateien konnten nicht kopiert werden:\n" + name, kPathTooLong),
              window.MessageBoxes()[0].text);
    EXPECT_FALSE(testfs::Exists(folder / name.c_str()));
    EXPECT_FALSE(testfs::Exists(folder + "\\VOZORADI.DLL"));
    EXPECT_EQ("", window.Caption());
}

} // namespace
