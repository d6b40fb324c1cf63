#include "platform/win32/MachineKeyStore.h"

#include "platform/win32/WinApi.h"

#include <bcrypt.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/win32/ProgramKey.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/SystemModule.h"
#include "platform/win32/Win32FileError.h"

namespace platform {
namespace {

constexpr wchar_t kSecretKey[] = L"JournalKey";
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

// Whether only Administrators and SYSTEM can have written what `key` holds
// and can read it.
bool OnlyAdministrators(HKEY key) {
    DWORD size = 0;
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (RegGetKeySecurity(key, wanted, nullptr, &size) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    const auto descriptor = static_cast<PSECURITY_DESCRIPTOR>(buffer.data());
    if (RegGetKeySecurity(key, wanted, descriptor, &size) != ERROR_SUCCESS)
        return false;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !IsAdministratorsOrSystem(owner)) {
        return false;
    }
    // Every entry of the list is looked at, those inherited from above
    // included, so the list need not be marked protected (Wine does not
    // keep that mark): what counts is who it lets in now.
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
        return false;  // no list at all lets everyone in
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        // A denial takes nothing away from the secret; an entry only for
        // keys made below this one gives nothing on it.
        if (header->AceType == ACCESS_DENIED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (!IsAdministratorsOrSystem(reinterpret_cast<PSID>(&allowed->SidStart)))
            return false;
    }
    return true;
}

bool NewRandomKey(MachineKey& key) {
    HMODULE module = LoadSystemModuleForGood(L"bcrypt.dll");
    const auto genRandom = FunctionOf<decltype(&BCryptGenRandom)>(module, "BCryptGenRandom");
    return genRandom &&
           genRandom(nullptr, key.data(), ULONG(key.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
}

}  // namespace

Result<MachineKey> MachineKeyFromRegistry(KeyUse use) {
    const REGSAM view = KEY_WOW64_64KEY;
    HKEY raw = nullptr;
    if (use == KeyUse::ReadOnly) {
        const std::wstring path = std::wstring(kProgramKey) + L"\\" + kSecretKey;
        const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                                          KEY_QUERY_VALUE | READ_CONTROL | view, &raw);
        if (opened != ERROR_SUCCESS)
            return FileErrorOf(DWORD(opened));
        const ScopedRegKey secret(raw);
        if (!OnlyAdministrators(secret.Get()))
            return Refused("the registry key holding the journal key may be read by others");
        MachineKey key{};
        DWORD type = 0;
        DWORD size = DWORD(key.size());
        if (RegQueryValueExW(secret.Get(), kValue, nullptr, &type, key.data(), &size) !=
                ERROR_SUCCESS ||
            type != REG_BINARY || size != key.size()) {
            return Refused("no journal key in the registry");
        }
        return key;
    }
    LONG status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProgramKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_CREATE_SUB_KEY | view, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS)
        return FileErrorOf(DWORD(status));
    const ScopedRegKey program(raw);

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
        program.Get(), kSecretKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
        KEY_QUERY_VALUE | KEY_SET_VALUE | READ_CONTROL | WRITE_DAC | WRITE_OWNER | view,
        &attributes, &raw, &disposition);
    if (status != ERROR_SUCCESS)
        return FileErrorOf(DWORD(status));
    const ScopedRegKey secret(raw);
    // Made just now: its list is set again in case the system did not take
    // the one given at creation (Wine does not).
    if (disposition == REG_CREATED_NEW_KEY) {
        status = RegSetKeySecurity(secret.Get(), DACL_SECURITY_INFORMATION, descriptor.Get());
        if (status != ERROR_SUCCESS)
            return FileErrorOf(DWORD(status));
    }
    // One that others could read is no secret any more, and one they wrote is
    // no key of ours: its list is put right and a new key made in its place,
    // so that journals signed with the old one are refused, never followed.
    // (Wine keeps no key's list when its server starts again.)
    bool fresh = false;
    if (!OnlyAdministrators(secret.Get())) {
        if (RegSetKeySecurity(secret.Get(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              descriptor.Get()) != ERROR_SUCCESS)
            RegSetKeySecurity(secret.Get(), DACL_SECURITY_INFORMATION, descriptor.Get());
        if (!OnlyAdministrators(secret.Get()))
            return Refused("the registry key holding the journal key may be read by others");
        fresh = true;
    }

    MachineKey key{};
    DWORD type = 0;
    DWORD size = DWORD(key.size());
    status = fresh ? ERROR_FILE_NOT_FOUND
                   : RegQueryValueExW(secret.Get(), kValue, nullptr, &type, key.data(), &size);
    if (status == ERROR_SUCCESS && type == REG_BINARY && size == key.size())
        return key;
    if (status != ERROR_FILE_NOT_FOUND)
        return Refused("the journal key in the registry is damaged");
    if (!NewRandomKey(key))
        return Refused("no random numbers for a journal key");
    status = RegSetValueExW(secret.Get(), kValue, 0, REG_BINARY, key.data(), DWORD(key.size()));
    if (status != ERROR_SUCCESS)
        return FileErrorOf(DWORD(status));
    // Two first runs at once agree on whichever key was written last.
    size = DWORD(key.size());
    status = RegQueryValueExW(secret.Get(), kValue, nullptr, &type, key.data(), &size);
    if (status != ERROR_SUCCESS || type != REG_BINARY || size != key.size())
        return Refused("the journal key in the registry is damaged");
    return key;
}

}  // namespace platform
