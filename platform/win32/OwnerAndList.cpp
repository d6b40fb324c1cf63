#include "platform/win32/OwnerAndList.h"

#include <aclapi.h>
#include <sddl.h>

#include <stdexcept>

#include "platform/win32/FolderSafety.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Win32FileError.h"

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

constexpr ULONG kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The privileges RecoveryPrivileges enables, as AdjustTokenPrivileges takes
// them.
struct Wanted {
    DWORD count;
    LUID_AND_ATTRIBUTES privileges[3];
};

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

ScopedLocal OwnerAndListOf(HANDLE handle, const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = GetSecurityInfo(handle, SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, nullptr, nullptr, &descriptor);
    ScopedLocal owned(descriptor);
    if (status == ERROR_NOT_SUPPORTED || status == ERROR_INVALID_FUNCTION)
        return {};
    if (status != ERROR_SUCCESS)
        throw std::runtime_error(path + ": " + SystemMessage(status));
    return owned;
}

std::string WhyNotOurFile(HANDLE handle, DWORD attributes, const std::string& path,
                          PSID runningUser, FileJudged judged) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "is a folder";
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information))
        throw std::runtime_error(path + ": " + SystemMessage(GetLastError()));
    if (information.nNumberOfLinks > 1)
        return "has more than one name";
    const ScopedLocal descriptor = OwnerAndListOf(handle, path);
    if (descriptor && judged == FileJudged::OwnerAndList)
        return WhyNotOurs(descriptor.Get(), runningUser);
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (descriptor && (!GetSecurityDescriptorOwner(descriptor.Get(), &owner, &defaulted) ||
                       !IsTrustedOwner(owner, runningUser))) {
        return "belongs to another user";
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

Failure TakeBackEntry(const HeldFolder& folder, std::string_view name) {
    const RecoveryPrivileges privileges;
    auto entry = OpenEntry(folder, name,
                           {WRITE_OWNER | WRITE_DAC | READ_CONTROL, kAnyShare, FILE_OPEN,
                            FILE_OPEN_FOR_BACKUP_INTENT});
    if (!entry)
        return entry.Error();
    if (!MakeOurs(entry->handle.Get()))
        return LastFileError();
    return std::nullopt;
}

RecoveryPrivileges::RecoveryPrivileges() {
    HANDLE raw = nullptr;
    // A thread that impersonates already, inside another RecoveryPrivileges,
    // gets that token back at the end; one whose token cannot be kept to be
    // put back is left as it is.
    if (OpenThreadToken(GetCurrentThread(), TOKEN_IMPERSONATE, TRUE, &raw))
        previous_.Reset(raw);
    else if (GetLastError() != ERROR_NO_TOKEN)
        return;
    // Never the process's token when the thread's cannot be had: every
    // thread of the process would hold the privileges meanwhile, and the
    // search, opening a pupil's folders for backup, would pass by their lists.
    if (!ImpersonateSelf(SecurityImpersonation))
        return;
    impersonating_ = true;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES, TRUE, &raw))
        return;
    const ScopedHandle token(raw);
    Wanted wanted{};
    const wchar_t* names[] = {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_BACKUP_NAME};
    for (const wchar_t* name : names) {
        if (LookupPrivilegeValueW(nullptr, name, &wanted.privileges[wanted.count].Luid))
            wanted.privileges[wanted.count++].Attributes = SE_PRIVILEGE_ENABLED;
    }
    // Those the account does not hold stay off (ERROR_NOT_ALL_ASSIGNED).
    AdjustTokenPrivileges(token.Get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&wanted), 0,
                          nullptr, nullptr);
}

RecoveryPrivileges::~RecoveryPrivileges() {
    // The copy is dropped with its privileges, whatever they are now.
    if (impersonating_ && !SetThreadToken(nullptr, previous_.Get()))
        RevertToSelf();
}

}  // namespace platform
