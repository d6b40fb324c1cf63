#include "platform/win32/MachineKeyStore.h"

#include "platform/win32/WinApi.h"

#include <bcrypt.h>
#include <sddl.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/ProgramKey.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/SystemModule.h"
#include "platform/win32/Win32FileError.h"

namespace platform {
namespace {

constexpr wchar_t kValue[] = L"Key";
// Owned by Administrators; full control for Administrators and SYSTEM only,
// nothing inherited from above.
constexpr wchar_t kSecurity[] = L"O:BAG:SYD:P(A;;KA;;;BA)(A;;KA;;;SY)";

FileError Refused(const char* why) {
    return {FileError::Kind::Other, why};
}

bool IsAdministratorsOrSystem(PSID sid) {
    if (!sid || !IsValidSid(sid))
        return false;
    return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(sid, WinLocalSystemSid);
}

// Why what `key` holds could have been written or read by someone other
// than Administrators and SYSTEM; nullopt where it could not.
std::optional<std::string> WhyNotPrivate(HKEY key) {
    DWORD size = 0;
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (RegGetKeySecurity(key, wanted, nullptr, &size) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return "its access list cannot be read";
    std::vector<BYTE> buffer(size);
    const auto descriptor = static_cast<PSECURITY_DESCRIPTOR>(buffer.data());
    if (RegGetKeySecurity(key, wanted, descriptor, &size) != ERROR_SUCCESS)
        return "its access list cannot be read";
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !IsAdministratorsOrSystem(owner)) {
        return "it is owned by an account other than Administrators and SYSTEM";
    }
    // Every entry of the list is looked at, those inherited from above
    // included, so the list need not be marked protected (Wine does not
    // keep that mark): what counts is who it lets in now.
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
        return "it has no access list, which lets everyone in";
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return "its access list cannot be read";
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        // A denial takes nothing away from the secret; an entry only for
        // keys made below this one gives nothing on it.
        if (header->AceType == ACCESS_DENIED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return "its access list holds an entry of a kind not known here";
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (!IsAdministratorsOrSystem(reinterpret_cast<PSID>(&allowed->SidStart)))
            return "its access list lets accounts other than Administrators and SYSTEM in";
    }
    return std::nullopt;
}

// The 32 bytes of the value that holds the key; `status` says why not.
std::optional<MachineKey> ReadKeyValue(HKEY secret, LONG& status) {
    MachineKey key{};
    DWORD type = 0;
    DWORD size = DWORD(key.size());
    status = RegQueryValueExW(secret, kValue, nullptr, &type, key.data(), &size);
    if (status != ERROR_SUCCESS || type != REG_BINARY || size != key.size())
        return std::nullopt;
    return key;
}

// What stands where the key was kept before (kFormerJournalKey).
struct FormerKey {
    bool exists = false;
    std::optional<MachineKey> key;   // where it is private and whole
    std::optional<std::string> why;  // where it is not private
};

FormerKey ReadFormerKey() {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFormerJournalKey, 0,
                      KEY_QUERY_VALUE | READ_CONTROL | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS) {
        return {};
    }
    const ScopedRegKey secret(raw);
    FormerKey former;
    former.exists = true;
    former.why = WhyNotPrivate(secret.Get());
    LONG status = ERROR_SUCCESS;
    if (!former.why)
        former.key = ReadKeyValue(secret.Get(), status);
    return former;
}

bool NewRandomKey(MachineKey& key) {
    HMODULE module = LoadSystemModuleForGood(L"bcrypt.dll");
    const auto genRandom = FunctionOf<decltype(&BCryptGenRandom)>(module, "BCryptGenRandom");
    return genRandom &&
           genRandom(nullptr, key.data(), ULONG(key.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
}

}  // namespace

Result<MachineKey> MachineKeyFromRegistry(KeyUse use, std::optional<std::string>* replaced) {
    const REGSAM view = KEY_WOW64_64KEY;
    const std::wstring path = std::wstring(kProgramKeyParent) + L"\\" + kJournalKeyName;
    HKEY raw = nullptr;
    if (use == KeyUse::ReadOnly) {
        const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                                          KEY_QUERY_VALUE | READ_CONTROL | view, &raw);
        if (opened == ERROR_FILE_NOT_FOUND) {
            // Not moved yet: a run that changes nothing leaves it where it is.
            if (const FormerKey former = ReadFormerKey(); former.key)
                return *former.key;
        }
        if (opened != ERROR_SUCCESS)
            return FileErrorOf(DWORD(opened));
        const ScopedRegKey secret(raw);
        if (WhyNotPrivate(secret.Get()))
            return Refused("the registry key holding the journal key may be read by others");
        LONG status = ERROR_SUCCESS;
        if (const std::optional<MachineKey> key = ReadKeyValue(secret.Get(), status))
            return *key;
        return Refused("no journal key in the registry");
    }
    LONG status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProgramKeyParent, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_CREATE_SUB_KEY | view, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS)
        return FileErrorOf(DWORD(status));
    const ScopedRegKey parent(raw);

    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kSecurity, SDDL_REVISION_1, &made,
                                                              nullptr)) {
        return LastFileError();
    }
    const ScopedLocal descriptor(made);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    raw = nullptr;
    DWORD disposition = 0;
    status = RegCreateKeyExW(
        parent.Get(), kJournalKeyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
        KEY_QUERY_VALUE | KEY_SET_VALUE | READ_CONTROL | WRITE_DAC | WRITE_OWNER | view,
        &attributes, &raw, &disposition);
    if (status != ERROR_SUCCESS)
        return FileErrorOf(DWORD(status));
    const ScopedRegKey secret(raw);
    // One that others could read is no secret any more, and one they wrote is
    // no key of ours: its list is put right and a new key made in its place,
    // so that journals signed with the old one are not followed; an update
    // sets such a journal aside and goes forward. (Wine keeps no key's list
    // when its server starts again.) One made just now has its owner and list
    // set again in case the system did not take those given at creation
    // (Wine does not).
    std::optional<std::string> why;
    if (disposition != REG_CREATED_NEW_KEY)
        why = WhyNotPrivate(secret.Get());
    const bool fresh = why.has_value();
    if (fresh || disposition == REG_CREATED_NEW_KEY) {
        if (RegSetKeySecurity(secret.Get(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              descriptor.Get()) != ERROR_SUCCESS)
            RegSetKeySecurity(secret.Get(), DACL_SECURITY_INFORMATION, descriptor.Get());
        if (WhyNotPrivate(secret.Get()))
            return Refused("the registry key holding the journal key may be read by others");
    }

    if (!fresh) {
        if (const std::optional<MachineKey> key = ReadKeyValue(secret.Get(), status))
            return *key;
        if (status != ERROR_FILE_NOT_FOUND)
            return Refused("the journal key in the registry is damaged");
    }
    // None here yet: the key kept below the record before is moved here
    // while it is still private, else a new one is made.
    const FormerKey former = ReadFormerKey();
    MachineKey key{};
    if (former.key && !fresh) {
        key = *former.key;
    } else {
        if (former.why && !why)
            why = "the one kept below the record, " + *former.why;
        if (!NewRandomKey(key))
            return Refused("no random numbers for a journal key");
    }
    status = RegSetValueExW(secret.Get(), kValue, 0, REG_BINARY, key.data(), DWORD(key.size()));
    if (status != ERROR_SUCCESS)
        return FileErrorOf(DWORD(status));
    if (former.exists)
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kFormerJournalKey, view, 0);
    if (replaced && why)
        *replaced = *why;
    // Two first runs at once agree on whichever key was written last.
    const std::optional<MachineKey> written = ReadKeyValue(secret.Get(), status);
    if (!written)
        return Refused("the journal key in the registry is damaged");
    return *written;
}

}  // namespace platform
