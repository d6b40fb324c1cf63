// The journal key in the registry of the test's Wine prefix: it outlives the
// record's key, one kept where earlier versions kept it is moved while it is
// private, and one whose list lets others in is replaced and said to be.
#include <gtest/gtest.h>

#include "platform/win32/WinApi.h"

#include <sddl.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/win32/MachineKeyStore.h"
#include "platform/win32/ProgramKey.h"

namespace {

using platform::MachineKey;

constexpr wchar_t kPrivate[] = L"O:BAG:SYD:P(A;;KA;;;BA)(A;;KA;;;SY)";
constexpr wchar_t kUsersRead[] = L"O:BAG:SYD:P(A;;KA;;;BA)(A;;KA;;;SY)(A;;KR;;;BU)";
const std::wstring kJournalKey =
    std::wstring(platform::kProgramKeyParent) + L"\\" + platform::kJournalKeyName;

void DeleteTree(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
}

bool Exists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The key at `path` with the list `sddl`, and the value `value` where given.
void Make(const std::wstring& path, const wchar_t* sddl, std::optional<MachineKey> value) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(
        RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor),
        ERROR_SUCCESS);
    if (value)
        RegSetValueExW(key, L"Key", 0, REG_BINARY, value->data(), DWORD(value->size()));
    RegCloseKey(key);
    LocalFree(descriptor);
}

TEST(MachineKeyStore, TheKeyOutlivesTheRecordMovesWhilePrivateAndIsReplacedWhereOthersMayReadIt) {
    const MachineKey former{0x66, 0x6f, 0x72};
    struct Case {
        const char* what;
        std::function<void()> prepare;
        bool isFormer;  // the key given is the former one, else a new one
        bool replaced;  // and a replacement is said
    };
    const Case cases[] = {
        {"a private key at the former place only",
         [&] {
             DeleteTree(kJournalKey);
             Make(platform::kFormerJournalKey, kPrivate, former);
         },
         true, false},
        {"the record's key deleted", [] { DeleteTree(platform::kProgramKey); }, true, false},
        {"the key's list lets users read it", [] { Make(kJournalKey, kUsersRead, {}); }, false,
         true},
        {"a key at the former place that users may read, none at the new one",
         [&] {
             DeleteTree(kJournalKey);
             Make(platform::kFormerJournalKey, kUsersRead, former);
         },
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        std::optional<std::string> replaced;
        platform::Result<MachineKey> key =
            platform::MachineKeyFromRegistry(platform::KeyUse::ReadOrMake, &replaced);
        ASSERT_TRUE(key) << key.Error().description;
        EXPECT_EQ(*key == former, c.isFormer);
        EXPECT_EQ(replaced.has_value(), c.replaced) << replaced.value_or("");
        EXPECT_FALSE(Exists(platform::kFormerJournalKey));
        // Kept from then on, and read alike by a run that makes nothing.
        replaced.reset();
        platform::Result<MachineKey> again =
            platform::MachineKeyFromRegistry(platform::KeyUse::ReadOrMake, &replaced);
        platform::Result<MachineKey> read =
            platform::MachineKeyFromRegistry(platform::KeyUse::ReadOnly);
        ASSERT_TRUE(again && read);
        EXPECT_EQ(*again, *key);
        EXPECT_EQ(*read, *key);
        EXPECT_FALSE(replaced);
    }
}

}  // namespace
