#include "app/ComputerIdentity.h"

#include "platform/win32/WinApi.h"

#include <cstddef>
#include <string>
#include <vector>

#include "app/Texts.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"

namespace app {

namespace {

constexpr std::string_view kUnknown = "?";

std::string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return std::string(kUnknown);
    return platform::Utf16ToUtf8(std::wstring_view(name, size));
}

// The account the process runs as, from its token: a start-up script runs
// as SYSTEM ("NT AUTHORITY\SYSTEM"), which GetUserName would give without
// its domain.
std::string AccountName() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::string(kUnknown);
    const platform::ScopedHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::byte> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return std::string(kUnknown);
    const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return std::string(kUnknown);
    return platform::Utf16ToUtf8(domain) + '\\' + platform::Utf16ToUtf8(name);
}

// GetVersionEx reports what the manifest admits knowing of, not the system;
// ntdll's own call tells the truth.
std::string WindowsVersion() {
    using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto call = ntdll ? reinterpret_cast<RtlGetVersionCall>(reinterpret_cast<void (*)()>(
                                  GetProcAddress(ntdll, "RtlGetVersion")))
                            : nullptr;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (call == nullptr || call(&version) != 0)
        return std::string(kUnknown);
    return std::to_string(version.dwMajorVersion) + '.' + std::to_string(version.dwMinorVersion) +
           '.' + std::to_string(version.dwBuildNumber);
}

std::string_view SystemWidth() {
    if constexpr (sizeof(void*) == 8) {
        return "64-bit";
    } else {
        BOOL wow64 = FALSE;
        if (!IsWow64Process(GetCurrentProcess(), &wow64))
            return kUnknown;
        return wow64 ? "64-bit" : "32-bit";
    }
}

}  // namespace

std::vector<std::string> ComputerIdentityLines() {
    return {std::string(text::kLogComputer) + ComputerName(),
            std::string(text::kLogUser) + AccountName(),
            std::string(text::kLogWindows) + WindowsVersion() + ' ' + std::string(SystemWidth())};
}

}  // namespace app
