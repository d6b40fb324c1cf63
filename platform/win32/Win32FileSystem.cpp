#include "platform/win32/Win32FileSystem.h"

#include "platform/win32/FileReplacement.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/ModulePath.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/WinApi.h"

namespace platform {

std::uint32_t Win32FileSystem::LogicalDrives() {
    return GetLogicalDrives();
}

DriveType Win32FileSystem::GetDriveType(char letter) {
    const wchar_t root[] = {wchar_t(letter), L':', L'\\', L'\0'};
    const UINT type = GetDriveTypeW(root);
    return type <= UINT(DriveType::RamDisk) ? DriveType(type) : DriveType::Unknown;
}

bool Win32FileSystem::ListFolder(const std::string& folder, const EntrySink& onEntry) {
    const std::wstring pattern = JoinPath(ToLongPath(folder), L"*");
    WIN32_FIND_DATAW data;
    // Basic information leaves out the 8.3 name, and a large fetch asks the
    // file system for many entries at a time: both make a long walk faster.
    const ScopedFindHandle listing(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                                    FindExSearchNameMatch, nullptr,
                                                    FIND_FIRST_EX_LARGE_FETCH));
    if (!listing) {
        // A drive root has no "." and "..", so an empty one has no entry at
        // all, which is no failure to list it.
        return GetLastError() == ERROR_FILE_NOT_FOUND && IsFolder(folder);
    }
    std::string name;
    do {
        name = Utf16ToUtf8(data.cFileName);
        if (!onEntry(FolderEntry{name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                                 (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0})) {
            break;
        }
    } while (FindNextFileW(listing.Get(), &data));
    return true;
}

bool Win32FileSystem::IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(ToLongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FolderId> Win32FileSystem::GetFolderId(const std::string& path) {
    // Opened without FILE_FLAG_OPEN_REPARSE_POINT, so through links; a folder
    // opens only with backup semantics. Reading attributes needs no access
    // to the content.
    const ScopedHandle folder(CreateFileW(ToLongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder || !GetFileInformationByHandle(folder.Get(), &info))
        return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber,
                    (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

ReplaceResult Win32FileSystem::ReplaceFile(const std::string& source,
                                           const std::string& installation,
                                           const std::string& relative) {
    std::vector<std::wstring> names;
    for (std::size_t start = 0;;) {
        const std::size_t end = relative.find('\\', start);
        const std::string_view name = std::string_view(relative).substr(start, end - start);
        if (name.empty() || name == "." || name == "..")
            return ReplaceResult::WriteFailed;
        names.push_back(Utf8ToUtf16(name));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return ReplaceFileBelow(ToLongPath(source), ToLongPath(installation), names);
}

std::string Win32FileSystem::OwnExecutableFolder() {
    const std::wstring path = WithoutLongPrefix(ModuleFileName(nullptr));
    return Utf16ToUtf8(std::wstring_view(path).substr(0, path.rfind(L'\\') + 1));
}

}  // namespace platform
