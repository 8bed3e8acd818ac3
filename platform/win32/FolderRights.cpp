// The folder's real security descriptor. Under Wine every file has one; where none is stored,
// Wine makes it from the Unix owner and mode: the owner is the user, and each right an ACE of
// its own (inheritable, but not marked inherited), as the parent folder's are.
#include "FolderRights.h"

#include <aclapi.h>

namespace {

class LocalMemory {
public:
    ~LocalMemory() { LocalFree(m_memory); }
    PSECURITY_DESCRIPTOR* Out() { return &m_memory; }
    PSECURITY_DESCRIPTOR Get() const { return m_memory; }

private:
    PSECURITY_DESCRIPTOR m_memory = nullptr;
};

bool IsRunningUser(PSID owner) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    union {
        TOKEN_USER user;
        unsigned char bytes[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    } info;
    DWORD size = 0;
    const bool same = GetTokenInformation(token, TokenUser, &info, sizeof info, &size) &&
                      EqualSid(info.user.User.Sid, owner);
    CloseHandle(token);
    return same;
}

bool IsTrustedOwner(PSID owner) {
    return owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                     IsWellKnownSid(owner, WinLocalSystemSid) || IsRunningUser(owner));
}

// Allowed and denied ACEs share this layout: header, mask, SID.
const ACCESS_ALLOWED_ACE* AceAt(PACL acl, DWORD index) {
    void* ace = nullptr;
    return GetAce(acl, index, &ace) ? static_cast<const ACCESS_ALLOWED_ACE*>(ace) : nullptr;
}

PSID SidOf(const ACCESS_ALLOWED_ACE* ace) {
    return const_cast<DWORD*>(&ace->SidStart);
}

// A right of the folder's own adds nothing when parent passes the same on to all below it.
bool PassedOn(const ACCESS_ALLOWED_ACE* own, PACL parent) {
    const BYTE everywhere = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    for (DWORD i = 0; parent && i < parent->AceCount; ++i) {
        const ACCESS_ALLOWED_ACE* ace = AceAt(parent, i);
        if (ace && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            (ace->Header.AceFlags & everywhere) == everywhere &&
            !(ace->Header.AceFlags & NO_PROPAGATE_INHERIT_ACE) && !(own->Mask & ~ace->Mask) &&
            EqualSid(SidOf(ace), SidOf(own)))
            return true;
    }
    return false;
}

} // namespace

bool HasOnlyInheritedRights(HANDLE folder, HANDLE parent) {
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    PSID owner = nullptr;
    PACL acl = nullptr, parentAcl = nullptr;
    LocalMemory descriptor, parentDescriptor;
    DWORD error = GetSecurityInfo(folder, SE_FILE_OBJECT, what, &owner, nullptr, &acl, nullptr,
                                  descriptor.Out());
    if (!error)
        error = GetSecurityInfo(parent, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &parentAcl, nullptr, parentDescriptor.Out());
    if (error) {
        SetLastError(error);
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    // No list grants everyone everything; a protected one inherits nothing.
    if (!IsTrustedOwner(owner) || !acl ||
        !GetSecurityDescriptorControl(descriptor.Get(), &control, &revision) ||
        (control & SE_DACL_PROTECTED))
        return false;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        const ACCESS_ALLOWED_ACE* ace = AceAt(acl, i);
        if (!ace)
            return false;
        if (ace->Header.AceFlags & INHERITED_ACE || ace->Header.AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !PassedOn(ace, parentAcl))
            return false;
    }
    return true;
}
