#include "platform/win32/FolderSafety.h"

#include <sddl.h>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"

namespace platform {

namespace {

// Deleting or renaming the folder or an entry of it, making a file in it,
// changing its list or its owner. FILE_APPEND_DATA, which on a folder makes
// a subfolder, is left out (see the header).
constexpr ACCESS_MASK kChanging = FILE_WRITE_DATA | DELETE | FILE_DELETE_CHILD | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

// NT SERVICE\TrustedInstaller, which owns the system's own folders.
constexpr char kTrustedInstaller[] =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

bool IsTrusted(PSID sid, PSID runningUser) {
    return sid != nullptr && IsValidSid(sid) &&
           (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
            IsWellKnownSid(sid, WinLocalSystemSid) ||
            // Whoever owns it, who must be one of these to pass at all.
            IsWellKnownSid(sid, WinCreatorOwnerRightsSid) || SidText(sid) == kTrustedInstaller ||
            (runningUser != nullptr && EqualSid(sid, runningUser)));
}

}  // namespace

std::string SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return "?";
    const ScopedLocal owned(text);
    return Utf16ToUtf8(text);
}

RunningUser::RunningUser() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return;
    const ScopedHandle token(raw);
    DWORD size = 0;
    if (GetTokenInformation(token.Get(), TokenUser, buffer_, sizeof buffer_, &size))
        sid_ = reinterpret_cast<TOKEN_USER*>(buffer_)->User.Sid;
}

std::optional<std::string> UntrustedGrant(PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK rights,
                                          bool countInheritOnly,
                                          bool (*trusted)(PSID sid, PSID runningUser),
                                          PSID runningUser, const std::string& verb) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL list = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) || !present ||
        list == nullptr) {
        return "lets everybody " + verb;  // no list at all: nothing is denied
    }
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(list, i, &ace))
            return std::string("has a list that cannot be read");
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE ||
            header->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
            header->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE) {
            continue;
        }
        // Grants of kinds a file system's list does not use are not trusted.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
            header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
            return std::string("has a list with grants of another kind");
        }
        if (!countInheritOnly && (header->AceFlags & INHERIT_ONLY_ACE) != 0)
            continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & rights) == 0)
            continue;
        const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (!trusted(sid, runningUser))
            return "lets " + SidText(sid) + ' ' + verb;
    }
    return std::nullopt;
}

std::optional<std::string> WhyUsersCanChange(PSECURITY_DESCRIPTOR descriptor, PSID runningUser) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !IsTrusted(owner, runningUser)) {
        // Its owner may change its list whatever the list says.
        return "belongs to " + (owner != nullptr ? SidText(owner) : std::string("nobody"));
    }
    // What only the entries made inside inherit does not count: each folder
    // below on the way is judged by its own list.
    return UntrustedGrant(descriptor, kChanging, false, IsTrusted, runningUser, "change it");
}

}  // namespace platform
