#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/MachineKeyStore.h"

#include "platform/win32/WinApi.h"

#include <algorithm>

#include "platform/PathJoin.h"
#include "platform/win32/FileIdentity.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/ModulePath.h"
#include "platform/win32/RunningPrograms.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/VolumeFacts.h"
#include "platform/win32/Win32FileError.h"
#include "platform/win32/Win32FolderHandle.h"
#include "platform/win32/Win32RawVolume.h"
#include "platform/win32/Win32SourceFile.h"
#include "platform/win32/Wow64View.h"

namespace platform {
namespace {}  // namespace

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
            return true;
        }
    } while (FindNextFileW(listing.Get(), &data));
    // Anything but the end of the listing (a disk read failing, a network
    // folder going away) means entries may be missing.
    return GetLastError() == ERROR_NO_MORE_FILES;
}

DiskKind Win32FileSystem::KindOfDisk(char letter) {
    return KindOfDiskUnder(letter);
}

std::optional<std::uint64_t> Win32FileSystem::EntriesOnDrive(char letter) {
    return EntriesOnVolume(letter);
}

Result<std::unique_ptr<RawVolume>> Win32FileSystem::OpenRawVolume(char letter) {
    return OpenNtfsVolume(letter);
}

std::string Win32FileSystem::WhyNotListed(const std::string& folder) {
    const std::wstring pattern = JoinPath(ToLongPath(folder), L"*");
    WIN32_FIND_DATAW data;
    const ScopedFindHandle listing(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                                    FindExSearchNameMatch, nullptr, 0));
    DWORD error = listing ? ERROR_SUCCESS : GetLastError();
    if (listing) {
        while (FindNextFileW(listing.Get(), &data)) {
        }
        error = GetLastError();
        if (error == ERROR_NO_MORE_FILES)
            return {};
    }
    // An empty drive root lists nothing at all, which is no failure.
    if (error == ERROR_SUCCESS || (error == ERROR_FILE_NOT_FOUND && IsFolder(folder)))
        return {};
    return SystemMessage(error);
}

bool Win32FileSystem::IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(ToLongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FileId> Win32FileSystem::GetFolderId(const std::string& path) {
    // Opened without FILE_FLAG_OPEN_REPARSE_POINT, so through links; a folder
    // opens only with backup semantics. Reading attributes needs no access
    // to the content.
    const ScopedHandle folder(CreateFileW(ToLongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
    if (!folder)
        return std::nullopt;
    return IdentityOf(folder.Get());
}

Result<std::unique_ptr<FolderHandle>> Win32FileSystem::OpenFolderNoLink(const std::string& path) {
    return OpenFolderNoLinkAt(path);
}

Result<std::unique_ptr<SourceFile>> Win32FileSystem::OpenSourceFile(const std::string& path) {
    // A folder opens only with backup semantics, so this refuses one too.
    ScopedHandle file(CreateFileW(ToLongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return LastFileError();
    return ReadFrom(std::move(file));
}

Result<std::unique_ptr<FolderHandle>> Win32FileSystem::OpenFolderFollowingLinks(
    const std::string& path) {
    return OpenFolderThroughLinks(path);
}

bool Win32FileSystem::ProgramRunsFrom(const FileId& program) {
    return AnyProcessRunsFrom(program);
}

std::optional<std::string> Win32FileSystem::ApplicationUsing(const std::string& path) {
    return ApplicationHolding(path);
}

std::optional<std::string> Win32FileSystem::BuiltInPackageList() {
    const HRSRC resource = FindResourceW(nullptr, L"PACKAGELIST", RT_RCDATA);
    if (resource == nullptr)
        return std::nullopt;
    const HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return std::nullopt;
    std::string_view text(static_cast<const char*>(bytes), SizeofResource(nullptr, resource));
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return std::string(text);
}

std::unique_ptr<FileSystem::ThreadView> Win32FileSystem::SeeFoldersAsTheyAre() {
    return std::make_unique<Wow64View>();
}

std::string Win32FileSystem::OwnExecutableFolder() {
    const std::wstring path = WithoutLongPrefix(ModuleFileName(nullptr));
    return Utf16ToUtf8(std::wstring_view(path).substr(0, path.rfind(L'\\') + 1));
}

Result<MachineKey> Win32FileSystem::JournalKey(KeyUse use) {
    if (journalKey_ && *journalKey_)
        return *journalKey_;
    Result<MachineKey> key = MachineKeyFromRegistry(use, &journalKeyReplaced_);
    if (use == KeyUse::ReadOrMake)
        journalKey_ = key;
    return key;
}

}  // namespace platform
