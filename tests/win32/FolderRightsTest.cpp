// The folder rights check against the real security descriptors, and the download mark, under
// Wine. Wine keeps a descriptor per file: where it stores none (made from Unix modes), the
// owner is the user and each right an ACE of the folder's own, inheritable, as its parent's are.
// Only Windows shows a folder owned by the Administrators group with inherited ACEs, or one
// whose inheritance is switched off.
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
    return CreateFileA(path, GENERIC_READ | READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Sets folder's descriptor from SDDL: its owner, or its ACEs.
void SetDescriptor(HANDLE folder, const char* sddl, SECURITY_INFORMATION what) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    PSID owner = nullptr;
    PACL acl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
    GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
    EXPECT_EQ(DWORD(ERROR_SUCCESS),
              SetSecurityInfo(folder, SE_FILE_OBJECT, what, owner, nullptr, acl, nullptr));
    LocalFree(descriptor);
}

TEST(FolderRights, AFolderMadeInItsParentHasNoneOfItsOwnOneWithARightForAllHas) {
    testfs::TempDir parent;
    ASSERT_TRUE(CreateDirectoryA(parent / "made", nullptr));
    ASSERT_TRUE(CreateDirectoryA(parent / "opened", nullptr));
    HANDLE above = OpenFolder(parent.Path()), made = OpenFolder(parent / "made"),
           opened = OpenFolder(parent / "opened");
    ASSERT_NE(INVALID_HANDLE_VALUE, opened);
    EXPECT_TRUE(HasOnlyInheritedRights(made, above)) << GetLastError();
    // Full control for everyone, which the parent does not pass on. Wine keeps of a list only
    // what a Unix mode holds (an owner it does not change), so only Windows shows another owner.
    SetDescriptor(opened, "D:(A;OICI;FA;;;WD)", DACL_SECURITY_INFORMATION);
    EXPECT_FALSE(HasOnlyInheritedRights(opened, above));
    for (HANDLE handle : {made, opened, above})
        CloseHandle(handle);
}

// Wine keeps a stream as a Unix file "name:stream" beside its file, and CopyFileEx does not
// take it along: Windows' does (the stand-in's test shows the pass removing it).
TEST(FolderRights, TheDownloadMarkOfAPackFileIsNotInstalled) {
    testfs::TempDir source, target;
    testfs::WriteFile(source / "a.exe", "program");
    testfs::WriteFile(source / "a.exe:Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    TestWindow window;
    RunInstallationPass(source.Path(), target.Path(), &window.Wnd());
    ASSERT_FALSE(window.MessageBoxes().empty());
    EXPECT_EQ(kCompleted, window.MessageBoxes().back().text);
    EXPECT_EQ("program", testfs::ReadFile(target / "a.exe"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target / "a.exe:Zone.Identifier"));
}

} // namespace
