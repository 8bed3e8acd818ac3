// Wine makes a descriptor from the Unix owner and mode (the user as owner, each right an ACE of
// the folder's own, inheritable) and keeps one that is set. It keeps a stream as a file
// "name:stream", which the pass never copies.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <algorithm>
#include <sddl.h>

#include "FolderRights.h"
#include "FolderRightsRule.h"
#include "TestFs.h"
#include "TestWindow.h"
#include "VolumeName.h"
#include "WineDifference.h"
#include "install/FileKind.h"
#include "install/InstallationPass.h"

using testfs::operator/;

namespace {

PSECURITY_DESCRIPTOR Descriptor(const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, 1, &descriptor, nullptr))
        << sddl;
    return descriptor;
}

} // namespace

// A Korvo folder under "Program Files" passes on this; U is the running user, V another.
const char kKorvo[] = "O:SYD:(A;OICIIO;GA;;;CO)(A;OICIIO;GA;;;SY)(A;;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
                      "(A;OI;FA;;;BA)(A;;FA;;;AU)";
#define U "S-1-5-21-7-7-7-1001"
#define V "S-1-5-21-7-7-7-1002"

TEST(FolderRights, ALeftoverFolderHoldsOnlyWhatItsParentPassesOn) {
    struct {
        const char* folder;
        bool unelevated, accepted;
        const char* parent;
    } const cases[] = {
        // As Windows makes it: generic rights and the creator mapped, each passed on further.
        {"O:BAD:(A;ID;FA;;;BA)(A;OICIIOID;GA;;;CO)(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)"
         "(A;OICIID;0x1200a9;;;BU)(A;OIIOID;FA;;;BA)",
         false, true, kKorvo},
        {"O:SYD:(A;OICI;0x1200a9;;;BU)", false, true, kKorvo}, // as Wine makes it: not marked
        {"O:BAD:", false, true, kKorvo},
        {"O:BAD:(A;OICIID;0x1200a9;;;BU)(A;OICIID;FA;;;WD)", false, false, kKorvo},
        {"O:BAD:(A;OICIID;FA;;;BU)", false, false, kKorvo},
        {"O:BAD:(A;;FA;;;AU)", false, false, kKorvo},     // the parent's own, not passed on
        {"O:BAD:(A;OIID;FA;;;BA)", false, false, kKorvo}, // for files, not for the folder
        {"O:BAD:(D;OICIID;FA;;;BU)", false, false, kKorvo},
        {"O:BAD:P(A;OICI;0x1200a9;;;BU)", false, false, kKorvo},
        {"O:BA", false, false, kKorvo},
        {"O:" U "D:", true, true, kKorvo},
        {"O:" U "D:", false, false, kKorvo},
        {"O:" V "D:", true, false, kKorvo},
        {"O:" V "D:", false, true, "O:" V "D:"},
        {"O:BAD:(A;;FA;;;" U ")", false, true, "O:BAD:(A;CINP;FA;;;" U ")"}};
    PSID user = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA(U, &user));
    for (const auto& c : cases) {
        PSECURITY_DESCRIPTOR folder = Descriptor(c.folder), parent = Descriptor(c.parent);
        EXPECT_EQ(c.accepted,
                  IsOnlyWhatParentPassesOn(folder, parent, c.unelevated ? user : nullptr))
            << c.folder << " in " << c.parent << (c.unelevated ? " unelevated" : "");
        LocalFree(folder), LocalFree(parent);
    }
    LocalFree(user);
}

TEST(FolderRights, ARightForAllThatTheParentLacksIsOwnAPackFilesStreamIsNotInstalled) {
    testfs::TempDir parent, target;
    ASSERT_TRUE(CreateDirectoryA(parent / "f", nullptr));
    HANDLE folders[2];
    for (int i = 0; i < 2; ++i)
        folders[i] = CreateFileA(i ? parent / "f" : parent.Path(), GENERIC_READ | WRITE_DAC, 3,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_TRUE(HasOnlyInheritedRights(folders[1], folders[0])) << "as made";
    PSECURITY_DESCRIPTOR all = Descriptor("D:(A;OICI;FA;;;WD)");
    PACL acl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
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
