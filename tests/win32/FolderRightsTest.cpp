// Wine makes a descriptor from the Unix owner and mode (the user as owner, each right an ACE of
// the folder's own, inheritable) and keeps of a new one what a mode holds: another owner shows
// only on Windows. It keeps a stream as a file "name:stream", which the pass never copies.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include "FolderRights.h"
#include "TestFs.h"
#include "TestWindow.h"
#include "install/InstallationPass.h"

using testfs::operator/;

TEST(FolderRights, ARightForAllThatTheParentLacksIsOwnAPackFilesStreamIsNotInstalled) {
    testfs::TempDir parent, target;
    ASSERT_TRUE(CreateDirectoryA(parent / "f", nullptr));
    HANDLE folders[2];
    for (int i = 0; i < 2; ++i)
        folders[i] = CreateFileA(i ? parent / "f" : parent.Path(), GENERIC_READ | WRITE_DAC, 3,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    PSECURITY_DESCRIPTOR all = nullptr;
    PACL acl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", 1, &all,
                                                                     nullptr));
    GetSecurityDescriptorDacl(all, &present, &acl, &defaulted);
    EXPECT_EQ(0u, SetSecurityInfo(folders[1], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, acl, nullptr));
    EXPECT_FALSE(HasOnlyInheritedRights(folders[1], folders[0]));
    CloseHandle(folders[0]), CloseHandle(folders[1]), LocalFree(all);

    testfs::WriteFile(parent / "a.exe", "program");
    testfs::WriteFile(parent / "a.exe:Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    TestWindow window;
    RunInstallationPass(parent.Path(), target.Path(), &window.Wnd());
    EXPECT_EQ("program", testfs::ReadFile(target / "a.exe"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target / "a.exe:Zone.Identifier"));
}
