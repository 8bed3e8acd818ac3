// The folder's real security descriptor. Under Wine every file has one; where none is stored,
// Wine makes it from the Unix owner and mode: the owner is the user, and each right an ACE of
// its own (inheritable, but not marked inherited), as the parent folder's are.
#include "FolderRights.h"

#include <aclapi.h>

#include "FolderRightsRule.h"

namespace {

class LocalMemory {
public:
    ~LocalMemory() { LocalFree(m_memory); }
    PSECURITY_DESCRIPTOR* Out() { return &m_memory; }
    PSECURITY_DESCRIPTOR Get() const { return m_memory; }

private:
    PSECURITY_DESCRIPTOR m_memory = nullptr;
};

// The program's user, and whether it runs elevated.
class RunningUser {
public:
    RunningUser() {
        HANDLE token;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        DWORD size = 0;
        TOKEN_ELEVATION elevation = {};
        m_known = GetTokenInformation(token, TokenUser, &m_info, sizeof m_info, &size) &&
                  GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
        m_elevated = elevation.TokenIsElevated != 0;
        CloseHandle(token);
    }
    PSID Sid() const { return m_known ? m_info.user.User.Sid : nullptr; }
    // Null when elevated.
    PSID Unelevated() const { return m_elevated ? nullptr : Sid(); }

private:
    union {
        TOKEN_USER user;
        unsigned char bytes[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    } m_info;
    bool m_known = false;
    bool m_elevated = true;
};

bool IsAdministratorsOrSystem(PSID sid) {
    return sid && (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
                   IsWellKnownSid(sid, WinLocalSystemSid));
}

// Allowed and denied ACEs share this layout: header, mask, SID.
const ACCESS_ALLOWED_ACE* AceAt(PACL acl, DWORD index) {
    void* ace = nullptr;
    return GetAce(acl, index, &ace) ? static_cast<const ACCESS_ALLOWED_ACE*>(ace) : nullptr;
}

PSID SidOf(const ACCESS_ALLOWED_ACE* ace) {
    return const_cast<DWORD*>(&ace->SidStart);
}

struct Entry {
    BYTE flags; // without INHERITED_ACE
    ACCESS_MASK mask;
    PSID sid;
};

// What parent's allowed entry becomes in a folder made in it, as Windows inherits it: nothing,
// one entry, or two where it names generic rights or the creator (one that applies to the
// folder, mapped and naming its owner or group, and one that passes the original on).
int PassedOn(const ACCESS_ALLOWED_ACE* ace, PSID owner, PSID group, Entry out[2]) {
    const BYTE flags = ace->Header.AceFlags;
    const BYTE onward = flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    if (!(flags & CONTAINER_INHERIT_ACE)) {
        // Files below it get it; the folder only holds it for them.
        if (!(flags & OBJECT_INHERIT_ACE) || (flags & NO_PROPAGATE_INHERIT_ACE))
            return 0;
        out[0] = {static_cast<BYTE>(onward | INHERIT_ONLY_ACE), ace->Mask, SidOf(ace)};
        return 1;
    }
    PSID sid = SidOf(ace);
    const bool creator =
        IsWellKnownSid(sid, WinCreatorOwnerSid) || IsWellKnownSid(sid, WinCreatorGroupSid);
    const bool generic = ace->Mask & (GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    const bool further = !(flags & NO_PROPAGATE_INHERIT_ACE);
    if (!creator && !generic) {
        out[0] = {further ? onward : static_cast<BYTE>(0), ace->Mask, sid};
        return 1;
    }
    GENERIC_MAPPING files = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                             FILE_ALL_ACCESS};
    ACCESS_MASK mapped = ace->Mask;
    MapGenericMask(&mapped, &files);
    if (creator)
        sid = IsWellKnownSid(sid, WinCreatorOwnerSid) ? owner : group;
    out[0] = {0, mapped, sid};
    if (!further)
        return 1;
    out[1] = {static_cast<BYTE>(onward | INHERIT_ONLY_ACE), ace->Mask, SidOf(ace)};
    return 2;
}

// Marked inherited or not, an entry grants the same: Wine marks none, as it makes them from
// the mode.
bool IsPassedOn(const ACCESS_ALLOWED_ACE* own, PACL parent, PSID owner, PSID group) {
    for (DWORD i = 0; parent && i < parent->AceCount; ++i) {
        const ACCESS_ALLOWED_ACE* ace = AceAt(parent, i);
        Entry passed[2];
        const int count = ace && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE
                              ? PassedOn(ace, owner, group, passed)
                              : 0;
        for (int j = 0; j < count; ++j)
            if ((own->Header.AceFlags & ~INHERITED_ACE) == passed[j].flags &&
                own->Mask == passed[j].mask && passed[j].sid && EqualSid(SidOf(own), passed[j].sid))
                return true;
    }
    return false;
}

} // namespace

bool IsOnlyWhatParentPassesOn(PSECURITY_DESCRIPTOR folder, PSECURITY_DESCRIPTOR parent,
                              PSID runningUser) {
    PSID owner = nullptr, group = nullptr, parentOwner = nullptr;
    BOOL present = FALSE, parentPresent = FALSE, defaulted = FALSE;
    PACL acl = nullptr, parentAcl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorOwner(folder, &owner, &defaulted) ||
        !GetSecurityDescriptorGroup(folder, &group, &defaulted) ||
        !GetSecurityDescriptorOwner(parent, &parentOwner, &defaulted) ||
        !GetSecurityDescriptorDacl(folder, &present, &acl, &defaulted) ||
        !GetSecurityDescriptorDacl(parent, &parentPresent, &parentAcl, &defaulted) ||
        !GetSecurityDescriptorControl(folder, &control, &revision))
        return false;
    const bool trustedOwner = owner && (IsAdministratorsOrSystem(owner) ||
                                        (parentOwner && EqualSid(owner, parentOwner)) ||
                                        (runningUser && EqualSid(owner, runningUser)));
    // No list grants everyone everything; a protected one inherits nothing.
    if (!trustedOwner || !present || !acl || (control & SE_DACL_PROTECTED))
        return false;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        const ACCESS_ALLOWED_ACE* ace = AceAt(acl, i);
        if (!ace || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE ||
            !IsPassedOn(ace, parentPresent ? parentAcl : nullptr, owner, group))
            return false;
    }
    return true;
}

bool HasOnlyInheritedRights(HANDLE folder, HANDLE parent) {
    const SECURITY_INFORMATION what =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    LocalMemory descriptor, parentDescriptor;
    DWORD error = GetSecurityInfo(folder, SE_FILE_OBJECT, what, nullptr, nullptr, nullptr, nullptr,
                                  descriptor.Out());
    if (!error)
        error = GetSecurityInfo(parent, SE_FILE_OBJECT, what, nullptr, nullptr, nullptr, nullptr,
                                parentDescriptor.Out());
    if (error) {
        SetLastError(error);
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    return IsOnlyWhatParentPassesOn(descriptor.Get(), parentDescriptor.Get(),
                                    RunningUser().Unelevated());
}

bool HasTrustedOwner(HANDLE file) {
    PSID owner = nullptr;
    LocalMemory descriptor;
    if (const DWORD error = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                            &owner, nullptr, nullptr, nullptr, descriptor.Out())) {
        SetLastError(error);
        return false;
    }
    const RunningUser user;
    return IsAdministratorsOrSystem(owner) || (owner && user.Sid() && EqualSid(owner, user.Sid()));
}
