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

bool MayWrite(PSID sid, PSID runningUser) {
    return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinCreatorOwnerSid) ||
           IsWellKnownSid(sid, WinCreatorOwnerRightsSid) ||
           (runningUser != nullptr && EqualSid(sid, runningUser));
}

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
    // Inherit-only entries count too: what is made inside would carry them.
    return UntrustedGrant(descriptor, kWriting, true, MayWrite, runningUser, "write")
        .value_or(std::string());
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
