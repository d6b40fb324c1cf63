#include "platform/win32/Win32FolderHandle.h"
#include "platform/win32/FileIdentity.h"

#include "platform/win32/WinApi.h"

#include <vector>

#include "platform/win32/LongPath.h"
#include "platform/win32/RelativeFile.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileError.h"
#include "platform/win32/Win32SourceFile.h"
#include "platform/win32/Win32StagedFile.h"

namespace platform {
namespace {

constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE;
// Reading and writing inside are shared, deletion is not: while the handle is
// held, nobody can rename or delete the folder.
constexpr ULONG kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Win32FolderHandle final : public FolderHandle {
  public:
    explicit Win32FolderHandle(std::shared_ptr<const HeldFolder> folder)
        : folder_(std::move(folder)) {}

    bool List(const EntrySink& onEntry) override;
    std::optional<FileId> Id() override;
    Result<std::unique_ptr<FolderHandle>> OpenFolder(std::string_view name) override;
    Result<std::unique_ptr<SourceFile>> OpenFile(std::string_view name) override;
    Result<Entry> Inspect(std::string_view name) override;
    Failure CheckNotInUse(std::string_view name) override;
    Result<std::unique_ptr<StagedFile>> CreateFile(std::string_view name) override;
    Failure Rename(std::string_view from, std::string_view to) override;
    Failure Delete(std::string_view name) override;

    HANDLE Native() const { return folder_->handle.Get(); }

  private:
    std::shared_ptr<const HeldFolder> folder_;
};

Result<std::unique_ptr<FolderHandle>> Hold(ScopedHandle handle) {
    auto folder = std::make_shared<HeldFolder>();
    folder->systemName = SystemNameOf(handle.Get());
    folder->handle = std::move(handle);
    return std::unique_ptr<FolderHandle>(std::make_unique<Win32FolderHandle>(std::move(folder)));
}

Result<std::unique_ptr<FolderHandle>> OpenBelow(const HeldFolder& parent, std::string_view name) {
    auto entry = OpenEntry(parent, name,
                           {kFolderAccess, kFolderShare, FILE_OPEN,
                            FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT});
    if (!entry)
        return entry.Error();
    return Hold(std::move(entry->handle));
}

bool Win32FolderHandle::List(const EntrySink& onEntry) {
    return ListFolder(folder_->handle.Get(), onEntry);
}

std::optional<FileId> Win32FolderHandle::Id() {
    return IdentityOf(folder_->handle.Get());
}

Result<std::unique_ptr<FolderHandle>> Win32FolderHandle::OpenFolder(std::string_view name) {
    return OpenBelow(*folder_, name);
}

Result<std::unique_ptr<SourceFile>> Win32FolderHandle::OpenFile(std::string_view name) {
    auto entry = OpenEntry(
        *folder_, name,
        {GENERIC_READ, kAnyShare, FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY});
    if (!entry)
        return entry.Error();
    return ReadFrom(std::move(entry->handle));
}

Result<FolderHandle::Entry> Win32FolderHandle::Inspect(std::string_view name) {
    // Attributes only: such an open never meets another program's share mode.
    auto entry = OpenEntry(*folder_, name, {0, kAnyShare, FILE_OPEN, 0});
    if (!entry) {
        if (entry.Error().kind == FileError::Kind::NotFound)
            return Entry{EntryKind::Missing, false};
        if (entry.Error().kind == FileError::Kind::Link)
            return Entry{EntryKind::Link, false};
        return entry.Error();
    }
    if (entry->attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Entry{EntryKind::Folder, false};
    return Entry{EntryKind::File, (entry->attributes & FILE_ATTRIBUTE_READONLY) != 0};
}

Failure Win32FolderHandle::CheckNotInUse(std::string_view name) {
    // Sharing nothing, this open fails with a sharing violation while any
    // other handle may read, write or delete the file; it changes nothing.
    auto entry =
        OpenEntry(*folder_, name, {DELETE | GENERIC_READ, 0, FILE_OPEN, FILE_NON_DIRECTORY_FILE});
    if (!entry)
        return entry.Error();
    return std::nullopt;
}

Result<std::unique_ptr<StagedFile>> Win32FolderHandle::CreateFile(std::string_view name) {
    // MAXIMUM_ALLOWED adds WRITE_OWNER where the folder's permissions give it,
    // for Finish to give the copy its predecessor's owner.
    auto created = CreateEntry(*folder_, name,
                               {GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC |
                                    FILE_WRITE_ATTRIBUTES | MAXIMUM_ALLOWED,
                                FILE_SHARE_READ, FILE_CREATE, FILE_SEQUENTIAL_ONLY});
    if (!created)
        return created.Error();
    return std::unique_ptr<StagedFile>(
        std::make_unique<Win32StagedFile>(folder_, std::move(*created)));
}

Failure Win32FolderHandle::Rename(std::string_view from, std::string_view to) {
    if (!IsSingleName(to))
        return InvalidNameError();
    // FILE_WRITE_THROUGH is how MoveFileExW's MOVEFILE_WRITE_THROUGH makes a
    // rename durable: the file system commits the change before the call
    // returns. It needs no access to the content, which a flush would, and
    // so works for a read-only file and beside a program that shares
    // deletion but not writing.
    auto entry =
        OpenEntry(*folder_, from,
                  {DELETE, kAnyShare, FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_WRITE_THROUGH});
    if (!entry)
        return entry.Error();
    return RenameInFolder(entry->handle.Get(), *folder_, to);
}

Failure Win32FolderHandle::Delete(std::string_view name) {
    auto entry =
        OpenEntry(*folder_, name, {DELETE | FILE_WRITE_ATTRIBUTES, kAnyShare, FILE_OPEN, 0, true});
    if (!entry)
        return entry.Error();
    const DWORD attributes = entry->attributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return FileErrorOf(ERROR_ACCESS_DENIED);  // what DeleteFileW answers for a folder
    // The engine deletes only what it made, and a staged copy of a read-only
    // file is read-only as well.
    return DeleteOpened(entry->handle.Get(), attributes);
}

// "C:\a\b" -> "C:\a" and "b"; nothing for a drive root ("C:") or the root of
// a share ("\\server\share"), which have no parent to open them from.
std::optional<std::pair<std::string, std::string>> ParentAndName(std::string path) {
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    while (path.size() > 1 && path.back() == '\\')
        path.pop_back();
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos)
        return std::nullopt;
    std::string name = path.substr(slash + 1);
    path.resize(slash);
    const bool shareRoot = path.starts_with("\\\\") && path.find('\\', 2) == std::string::npos;
    if (!IsSingleName(name) || path.empty() || shareRoot)
        return std::nullopt;
    return std::pair{std::move(path), std::move(name)};
}

}  // namespace

Result<std::unique_ptr<FolderHandle>> OpenFolderNoLinkAt(const std::string& path) {
    const auto parentAndName = ParentAndName(path);
    if (!parentAndName) {
        // A root is no link: open it as it is.
        ScopedHandle root(CreateFileW(
            ToLongPath(path).c_str(), kFolderAccess | FILE_READ_ATTRIBUTES, kFolderShare, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!root)
            return LastFileError();
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!GetFileInformationByHandleEx(root.Get(), FileAttributeTagInfo, &tag, sizeof tag))
            return LastFileError();
        if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return LinkError();
        if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return FileErrorOf(ERROR_DIRECTORY);
        return Hold(std::move(root));
    }
    // The parent through whatever links lead to it; it serves only to open
    // the installation from, and is closed again.
    HeldFolder parent;
    parent.handle.Reset(CreateFileW(ToLongPath(parentAndName->first).c_str(),
                                    FILE_TRAVERSE | FILE_READ_ATTRIBUTES, kAnyShare, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!parent.handle)
        return LastFileError();
    parent.systemName = SystemNameOf(parent.handle.Get());
    return OpenBelow(parent, parentAndName->second);
}

Result<std::unique_ptr<FolderHandle>> OpenFolderThroughLinks(const std::string& path) {
    ScopedHandle folder(CreateFileW(ToLongPath(path).c_str(), kFolderAccess | FILE_READ_ATTRIBUTES,
                                    kFolderShare, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder)
        return LastFileError();
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(folder.Get(), FileAttributeTagInfo, &tag, sizeof tag))
        return LastFileError();
    if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return FileErrorOf(ERROR_DIRECTORY);
    return Hold(std::move(folder));
}

HANDLE NativeHandleOf(FolderHandle& folder) {
    auto* own = dynamic_cast<Win32FolderHandle*>(&folder);
    return own != nullptr ? own->Native() : nullptr;
}

}  // namespace platform
