#include "platform/win32/Win32RestartReplacements.h"

#include <aclapi.h>

#include <vector>

#include "platform/PathJoin.h"
#include "platform/win32/FileIdentity.h"
#include "platform/win32/FolderSafety.h"
#include "platform/win32/PendingRenames.h"
#include "platform/win32/RelativeFile.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileError.h"
#include "platform/win32/Win32FolderHandle.h"

namespace platform {

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";
// Others' pairs are kept whatever their number; a value larger than this is
// not one a PC gathers between two restarts.
constexpr DWORD kLargestValue = 16u << 20;

constexpr ACCESS_MASK kJudgeAccess = READ_CONTROL | FILE_TRAVERSE | FILE_LIST_DIRECTORY;
constexpr ULONG kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileError ErrorOf(LSTATUS status) {
    FileError error = FileErrorOf(static_cast<DWORD>(status));
    error.kind = FileError::Kind::Other;
    return error;
}

// The full path of the folder open as `folder` ("C:\Program Files\X"), as
// the system names its handle, every link on the way resolved.
Result<std::wstring> FullPathOf(FolderHandle& folder) {
    const HANDLE handle = NativeHandleOf(folder);
    if (handle == nullptr)
        return FileError{FileError::Kind::Other, "not a folder of this system"};
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), DWORD(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return LastFileError();
        if (length < path.size()) {
            path.resize(length);
            // "\\?\C:\..."; a share ("\\?\UNC\...") has no session manager of ours.
            if (path.starts_with(L"\\\\?\\"))
                path.erase(0, 4);
            if (path.size() < 3 || path[1] != L':' || path[2] != L'\\')
                return FileError{FileError::Kind::Other, "not on a drive of this PC"};
            if (path.back() == L'\\')
                path.pop_back();
            return path;
        }
        path.resize(length);
    }
    return FileError{FileError::Kind::Other, "its path keeps changing"};
}

struct Pair {
    std::wstring source, destination;
};

Result<Pair> PairOf(FolderHandle& folder, std::string_view staged, std::string_view destination) {
    auto path = FullPathOf(folder);
    if (!path)
        return path.Error();
    return Pair{PendingSource(JoinPath(*path, Utf8ToUtf16(staged))),
                PendingReplacement(JoinPath(*path, Utf8ToUtf16(destination)))};
}

// The value as it stands; empty where there is none.
Result<PendingValue> ReadPending(HKEY key) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status = RegQueryValueExW(key, kPendingValue, nullptr, &type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND)
            return PendingValue();
        if (status != ERROR_SUCCESS)
            return ErrorOf(status);
        if (size > kLargestValue)
            return FileError{FileError::Kind::Other, "PendingFileRenameOperations is too large"};
        PendingValue value(size / sizeof(wchar_t) + 1, L'\0');
        DWORD read = DWORD(value.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key, kPendingValue, nullptr, &type,
                                  reinterpret_cast<BYTE*>(value.data()), &read);
        if (status == ERROR_MORE_DATA)
            continue;  // grown meanwhile
        if (status != ERROR_SUCCESS)
            return ErrorOf(status);
        if (type != REG_MULTI_SZ)
            return FileError{FileError::Kind::Other, "PendingFileRenameOperations is no list"};
        value.resize(read / sizeof(wchar_t));
        return value;
    }
    return FileError{FileError::Kind::Other, "PendingFileRenameOperations keeps changing"};
}

Result<ScopedRegKey> OpenSessionManager(REGSAM access) {
    HKEY raw = nullptr;
    const LSTATUS status =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, access | KEY_WOW64_64KEY, &raw);
    if (status != ERROR_SUCCESS)
        return ErrorOf(status);
    return ScopedRegKey(raw);
}

// Why the folder open as `handle` can be changed by users; nullopt when it
// cannot. A file system that keeps no lists (FAT) lets everybody.
Result<std::optional<std::string>> Judge(HANDLE handle, PSID runningUser) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = GetSecurityInfo(handle, SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, nullptr, nullptr, &descriptor);
    const ScopedLocal owned(descriptor);
    if (status == ERROR_NOT_SUPPORTED || status == ERROR_INVALID_FUNCTION)
        return std::optional<std::string>("keeps no owner or list");
    if (status != ERROR_SUCCESS)
        return FileErrorOf(status);
    return WhyUsersCanChange(descriptor, runningUser);
}

}  // namespace

Result<std::optional<std::string>> Win32RestartReplacements::FolderUsersCanChange(
    FolderHandle& folder) {
    auto path = FullPathOf(folder);
    if (!path)
        return path.Error();
    const RunningUser user;
    // "E:\\", the root folder: "\\?\E:" without its backslash would open the
    // volume itself, whose descriptor is not the folder's.
    const std::wstring root = path->substr(0, 2) + L'\\';
    HeldFolder held{
        ScopedHandle(CreateFileW(
            (L"\\\\?\\" + root).c_str(), kJudgeAccess, kAnyShare, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)),
        {}};
    if (!held.handle)
        return LastFileError();
    std::wstring reached = root.substr(0, 2);
    for (std::size_t start = 3;;) {
        auto why = Judge(held.handle.Get(), user.Sid());
        if (!why)
            return why.Error();
        if (*why)
            return std::optional<std::string>(Utf16ToUtf8(reached.size() == 2 ? root : reached));
        if (start >= path->size())
            break;
        const std::size_t end = std::min(path->find(L'\\', start), path->size());
        const std::wstring name = path->substr(start, end - start);
        start = end + 1;
        AppendToPath(reached, name);
        auto below = OpenEntry(held, Utf16ToUtf8(name),
                               {kJudgeAccess, kAnyShare, FILE_OPEN,
                                FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT});
        if (!below) {
            // A link on the way, put there since the handle was opened.
            if (below.Error().kind == FileError::Kind::Link)
                return std::optional<std::string>(Utf16ToUtf8(reached));
            return below.Error();
        }
        held = HeldFolder{std::move(below->handle), {}};
    }
    // The folder reached by its path is the one the update holds.
    const HANDLE own = NativeHandleOf(folder);
    const std::optional<FileId> reachedId = IdentityOf(held.handle.Get());
    if (!reachedId || reachedId != IdentityOf(own))
        return FileError{FileError::Kind::Changed, "its path leads to another folder"};
    return std::optional<std::string>();
}

Result<bool> Win32RestartReplacements::Registered(FolderHandle& folder, std::string_view staged,
                                                  std::string_view destination) {
    auto pair = PairOf(folder, staged, destination);
    if (!pair)
        return pair.Error();
    auto key = OpenSessionManager(KEY_QUERY_VALUE);
    if (!key)
        return key.Error();
    auto value = ReadPending(key->Get());
    if (!value)
        return value.Error();
    return HoldsPair(*value, pair->source, pair->destination);
}

Failure Win32RestartReplacements::Register(FolderHandle& folder, std::string_view staged,
                                           std::string_view destination) {
    auto path = FullPathOf(folder);
    if (!path)
        return path.Error();
    const std::wstring folderPath = L"\\\\?\\" + *path;
    if (!MoveFileExW(JoinPath(folderPath, Utf8ToUtf16(staged)).c_str(),
                     JoinPath(folderPath, Utf8ToUtf16(destination)).c_str(),
                     MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
        FileError error = LastFileError();
        error.kind = FileError::Kind::Other;
        return error;
    }
    return std::nullopt;
}

Failure Win32RestartReplacements::TakeBack(FolderHandle& folder, std::string_view staged,
                                           std::string_view destination) {
    auto pair = PairOf(folder, staged, destination);
    if (!pair)
        return pair.Error();
    auto key = OpenSessionManager(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key)
        return key.Error();
    auto value = ReadPending(key->Get());
    if (!value)
        return value.Error();
    const std::optional<PendingValue> kept = WithoutPair(*value, pair->source, pair->destination);
    if (!kept)
        return std::nullopt;
    LSTATUS status = ERROR_SUCCESS;
    if (HoldsNoPair(*kept)) {
        status = RegDeleteValueW(key->Get(), kPendingValue);
    } else {
        status = RegSetValueExW(key->Get(), kPendingValue, 0, REG_MULTI_SZ,
                                reinterpret_cast<const BYTE*>(kept->data()),
                                DWORD(kept->size() * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return ErrorOf(status);
    return std::nullopt;
}

}  // namespace platform
