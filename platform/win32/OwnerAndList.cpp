#include "platform/win32/OwnerAndList.h"

#include <sddl.h>

#include <stdexcept>

#include "platform/win32/FolderSafety.h"
#include "platform/win32/SystemMessage.h"

namespace platform {
namespace {

// Protected: nothing is inherited from ProgramData, whose list lets Users
// create files and folders. The files made inside inherit it.
constexpr wchar_t kProtectedList[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// The rights that change a folder or file, its list or its owner.
constexpr ACCESS_MASK kWriting = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                 FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC |
                                 WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

}  // namespace

ScopedLocal ProtectedList() {
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedList, SDDL_REVISION_1, &raw,
                                                              nullptr)) {
        throw std::runtime_error("ConvertStringSecurityDescriptor: " +
                                 SystemMessage(GetLastError()));
    }
    return ScopedLocal(raw);
}

bool IsTrustedOwner(PSID owner, PSID runningUser) {
    return owner != nullptr && IsValidSid(owner) &&
           (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
            IsWellKnownSid(owner, WinLocalSystemSid) ||
            (runningUser != nullptr && EqualSid(owner, runningUser)));
}

std::string WhyNotOurs(PSECURITY_DESCRIPTOR descriptor, PSID runningUser) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !IsTrustedOwner(owner, runningUser)) {
        return "belongs to " + (owner != nullptr ? SidText(owner) : std::string("nobody"));
    }
    BOOL present = FALSE;
    PACL list = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) || !present ||
        list == nullptr) {
        return "lets everybody write";  // no list at all: nothing is denied
    }
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(list, i, &ace))
            return "has a list that cannot be read";
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE ||
            header->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
            header->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE) {
            continue;
        }
        // Grants of kinds a file's list does not use are not trusted.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
            header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
            return "has a list with grants of another kind";
        }
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kWriting) == 0)
            continue;
        // Inherit-only entries count too: what is made inside would carry them.
        const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
            IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinCreatorOwnerSid) ||
            IsWellKnownSid(sid, WinCreatorOwnerRightsSid) ||
            (runningUser != nullptr && EqualSid(sid, runningUser))) {
            continue;
        }
        return "lets " + SidText(sid) + " write";
    }
    return {};
}

bool MakeOurs(HANDLE handle) {
    const ScopedLocal list = ProtectedList();
    return SetKernelObjectSecurity(handle,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   list.Get()) != FALSE;
}

RecoveryPrivileges::RecoveryPrivileges() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
        return;
    token_.Reset(raw);
    Wanted wanted{};
    const wchar_t* names[] = {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_BACKUP_NAME};
    for (const wchar_t* name : names) {
        if (LookupPrivilegeValueW(nullptr, name, &wanted.privileges[wanted.count].Luid))
            wanted.privileges[wanted.count++].Attributes = SE_PRIVILEGE_ENABLED;
    }
    DWORD size = 0;
    restore_ =
        AdjustTokenPrivileges(token_.Get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&wanted),
                              sizeof previous_, reinterpret_cast<TOKEN_PRIVILEGES*>(&previous_),
                              &size) != FALSE;
}

RecoveryPrivileges::~RecoveryPrivileges() {
    if (restore_) {
        AdjustTokenPrivileges(token_.Get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&previous_),
                              0, nullptr, nullptr);
    }
}

}  // namespace platform
