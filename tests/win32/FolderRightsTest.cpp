// Wine makes a descriptor from the Unix owner and mode (the user as owner, each right an ACE of
// the folder's own, inheritable) and keeps of a new one what a mode holds: another owner shows
// only on Windows. It keeps a stream as a file "name:stream", which the pass never copies.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <algorithm>
#include <sddl.h>

#include "FolderRights.h"
#include "TestFs.h"
#include "TestWindow.h"
#include "VolumeName.h"
#include "WineDifference.h"
#include "install/FileKind.h"
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

// The volume flushed is the one behind the Korvo folder's handle, also where the path's letter
// names another drive: under Wine, Z: (the Unix root, which holds the prefix's C:); on Windows,
// a drive that DefineDosDeviceA makes for the folder.
TEST(DiskFlush, TheVolumeIsTheOneBehindTheFolderNotTheDriveOfItsPathsLetter) {
    testfs::TempDir folder;
    const std::string path(folder.Path());
    char drive[] = "?:\\", volume[MAX_PATH] = "", volumeZ[MAX_PATH] = "", prefix[MAX_PATH];
    const auto found = [&](const std::string& at) {
        char name[MAX_PATH] = "";
        HANDLE held = OpenFolderHeld(at.c_str());
        EXPECT_TRUE(GetVolumeNameOfHandleA(held, name, MAX_PATH)) << at << ": " << GetLastError();
        CloseHandle(held);
        return name + std::string("\\");
    };
    drive[0] = path[0];
    ASSERT_TRUE(GetVolumeNameForVolumeMountPointA(drive, volume, MAX_PATH)) << drive;
    EXPECT_EQ(volume, found(path));
    if (RunningUnderWine() && GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH)) {
        std::string other = "Z:" + (prefix + ("/drive_c" + path.substr(2)));
        std::replace(other.begin(), other.end(), '/', '\\');
        ASSERT_TRUE(GetVolumeNameForVolumeMountPointA("Z:\\", volumeZ, MAX_PATH));
        EXPECT_STRNE(volume, volumeZ);
        EXPECT_EQ(volume, found(other));
    }
    SKIP_UNDER_WINE("a drive that DefineDosDeviceA makes names no folder, nor is one mounted");
    for (drive[0] = 'Z', drive[2] = '\0'; GetLogicalDrives() & (1u << (drive[0] - 'A'));)
        --drive[0];
    ASSERT_TRUE(DefineDosDeviceA(0, drive, path.c_str())) << drive << ": " << GetLastError();
    EXPECT_EQ(volume, found(drive + std::string("\\")));
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, drive, nullptr);
}
