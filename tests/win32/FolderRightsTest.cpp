// Under Wine: where it stores no descriptor, Wine makes one from the Unix owner and mode (the
// user as owner, each right an inheritable ACE of the folder's own, as its parent's are) and
// keeps of a new one only what a mode holds, so another owner or inheritance switched off shows
// only on Windows. A folder made by the pass passes (the pass tests' leftover folder).
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include "FolderRights.h"
#include "PassTexts.h"
#include "TestFs.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"

using testfs::operator/;

namespace {

TEST(FolderRights, AFolderWithARightForAllThatItsParentLacksHasRightsOfItsOwn) {
    testfs::TempDir parent;
    ASSERT_TRUE(CreateDirectoryA(parent / "opened", nullptr));
    HANDLE folders[2];
    for (const CString& path : {parent.Path(), parent / "opened"})
        folders[path == parent.Path() ? 0 : 1] = CreateFileA(
            path, GENERIC_READ | WRITE_DAC, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    PSECURITY_DESCRIPTOR all = nullptr;
    PACL acl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", 1, &all,
                                                                     nullptr));
    GetSecurityDescriptorDacl(all, &present, &acl, &defaulted);
    EXPECT_EQ(DWORD(ERROR_SUCCESS),
              SetSecurityInfo(folders[1], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, acl, nullptr));
    EXPECT_FALSE(HasOnlyInheritedRights(folders[1], folders[0]));
    CloseHandle(folders[0]), CloseHandle(folders[1]), LocalFree(all);
}

// Wine keeps a stream as a Unix file "name:stream" and lists it so; its CopyFileEx takes no
// stream along, where Windows' does (the stand-in's case).
TEST(FolderRights, TheDownloadMarkOfAPackFileIsNotInstalled) {
    testfs::TempDir source, target;
    testfs::WriteFile(source / "a.exe", "program");
    testfs::WriteFile(source / "a.exe:Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    TestWindow window;
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    EXPECT_EQ(kCompleted, window.MessageBoxes().at(0).text);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target / "a.exe:Zone.Identifier"));
}

} // namespace
