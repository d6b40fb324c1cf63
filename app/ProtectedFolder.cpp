#include "app/ProtectedFolder.h"

#include "platform/win32/WinApi.h"

#include <aclapi.h>
#include <sddl.h>

#include <stdexcept>
#include <system_error>

#include "platform/win32/Utf16.h"
#include "ui/ErrorBox.h"

namespace app {

namespace {

// Protected: nothing is inherited from ProgramData, whose list lets Users
// create files and folders.
constexpr wchar_t kAdministratorsOwn[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

struct LocalMemoryTraits {
    using Type = void*;
    static Type Empty() { return nullptr; }
    static bool Holds(Type h) { return h != nullptr; }
    static void Close(Type h) { LocalFree(h); }
};
using ScopedLocal = platform::ScopedWin<LocalMemoryTraits>;

[[noreturn]] void Refuse(const std::wstring& path, const std::string& why) {
    throw std::runtime_error(platform::Utf16ToUtf8(path) + ": " + why);
}

[[noreturn]] void RefuseWithLastError(const std::wstring& path) {
    Refuse(path, ui::SystemErrorText(
                     std::error_code(static_cast<int>(GetLastError()), std::system_category())));
}

bool IsSid(PSID owner, WELL_KNOWN_SID_TYPE type) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    return CreateWellKnownSid(type, nullptr, sid, &size) && EqualSid(owner, sid);
}

bool IsOwnUser(PSID owner) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    const platform::ScopedHandle token(raw);
    BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size))
        return false;
    return EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

// Refuses what `handle`, opened without following a link, leads to unless it
// is what a planted link or a stranger's folder is not.
void CheckOpened(HANDLE handle, const std::wstring& path, bool folder) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information))
        RefuseWithLastError(path);
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        Refuse(path, "is a link");
    if (((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder)
        Refuse(path, folder ? "is not a folder" : "is a folder");
    if (!folder && information.nNumberOfLinks > 1)
        Refuse(path, "has more than one name");
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                         nullptr, nullptr, nullptr, &descriptor);
    const ScopedLocal owned(descriptor);
    if (status != ERROR_SUCCESS) {
        SetLastError(status);
        RefuseWithLastError(path);
    }
    if (owner == nullptr || !(IsSid(owner, WinBuiltinAdministratorsSid) ||
                              IsSid(owner, WinLocalSystemSid) || IsOwnUser(owner))) {
        Refuse(path, "belongs to another user");
    }
}

}  // namespace

std::wstring ProgramDataFolder() {
    // The system sets it for every process. Not the shell's known-folder
    // call: it may leave a hidden window on this thread, which in a run
    // without a window nobody serves, and a log-off would wait for it.
    std::wstring folder(MAX_PATH, L'\0');
    DWORD length =
        GetEnvironmentVariableW(L"ProgramData", folder.data(), static_cast<DWORD>(folder.size()));
    if (length >= folder.size()) {
        folder.resize(length);
        length = GetEnvironmentVariableW(L"ProgramData", folder.data(),
                                         static_cast<DWORD>(folder.size()));
    }
    if (length == 0 || length >= folder.size())
        throw std::runtime_error("%ProgramData% is not known");
    folder.resize(length);
    return folder + L"\\Kelmina\\Soramido";
}

std::wstring ProtectedFolder(const std::vector<std::wstring>& parts) {
    std::wstring base = ProgramDataFolder();
    base.resize(base.size() - std::wstring_view(L"\\Kelmina\\Soramido").size());
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOwn, SDDL_REVISION_1,
                                                              &raw, nullptr)) {
        RefuseWithLastError(base);
    }
    const ScopedLocal descriptor(raw);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, raw, FALSE};
    std::wstring path = base;
    for (const std::wstring& part : parts) {
        path += L'\\';
        path += part;
        if (!CreateDirectoryW(path.c_str(), &attributes) && GetLastError() != ERROR_ALREADY_EXISTS)
            RefuseWithLastError(path);
        const platform::ScopedHandle opened(CreateFileW(
            path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!opened)
            RefuseWithLastError(path);
        CheckOpened(opened.Get(), path, true);
    }
    return path;
}

platform::ScopedHandle OpenProtectedFile(const std::wstring& path, unsigned long access,
                                         unsigned long disposition) {
    platform::ScopedHandle file(
        CreateFileW(path.c_str(), access | READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        RefuseWithLastError(path);
    CheckOpened(file.Get(), path, false);
    return file;
}

}  // namespace app
