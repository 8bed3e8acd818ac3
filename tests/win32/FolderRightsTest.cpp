// The rights check against real descriptors, and the download mark, under Wine. Where Wine
// stores no descriptor it makes one from the Unix owner and mode (the user as owner, each right
// an inheritable ACE of the folder's own, as its parent's are) and keeps of a new one only what
// a mode holds: another owner, or inheritance switched off, shows only on Windows.
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

HANDLE OpenFolder(const CString& path) {
    return CreateFileA(path, GENERIC_READ | WRITE_DAC, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

TEST(FolderRights, AFolderMadeInItsParentHasNoneOfItsOwnOneWithARightForAllHas) {
    testfs::TempDir parent;
    ASSERT_TRUE(CreateDirectoryA(parent / "made", nullptr));
    ASSERT_TRUE(CreateDirectoryA(parent / "opened", nullptr));
    HANDLE above = OpenFolder(parent.Path()), made = OpenFolder(parent / "made"),
           opened = OpenFolder(parent / "opened");
    EXPECT_TRUE(HasOnlyInheritedRights(made, above)) << GetLastError();
    PSECURITY_DESCRIPTOR all = nullptr; // full control for everyone, which the parent lacks
    PACL acl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", 1, &all,
                                                                     nullptr));
    GetSecurityDescriptorDacl(all, &present, &acl, &defaulted);
    ASSERT_EQ(DWORD(ERROR_SUCCESS),
              SetSecurityInfo(opened, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              acl, nullptr));
    EXPECT_FALSE(HasOnlyInheritedRights(opened, above));
    for (HANDLE handle : {made, opened, above})
        CloseHandle(handle);
    LocalFree(all);
}

// Wine keeps a stream as a Unix file "name:stream" beside its file and lists it so; its
// CopyFileEx takes no stream along, Windows' does (the stand-in's test shows that case).
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
