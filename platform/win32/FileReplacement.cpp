#include "platform/win32/FileReplacement.h"

#include "platform/win32/WinApi.h"

#include <atomic>

#include "platform/win32/LongPath.h"
#include "platform/win32/ScopedWin.h"

namespace platform {
namespace {

// The temporary file beside the destination; deleted again unless it has
// been moved over the destination.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::wstring& folder) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
            path_ = JoinPath(folder, L"~update-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                         std::to_wstring(counter++) + L".tmp");
            file_.Reset(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file_ && GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        if (!file_)
            path_.clear();
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        file_.Reset();
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }

    HANDLE Handle() const { return file_.Get(); }
    explicit operator bool() const { return bool(file_); }

    bool MoveOver(const std::wstring& destination) {
        file_.Reset();
        if (!MoveFileExW(path_.c_str(), destination.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return false;
        }
        path_.clear();
        return true;
    }

  private:
    std::wstring path_;
    ScopedHandle file_;
};

bool CopyContent(HANDLE from, HANDLE to) {
    std::vector<char> buffer(std::size_t{1} << 17);
    while (true) {
        DWORD got = 0;
        if (!ReadFile(from, buffer.data(), DWORD(buffer.size()), &got, nullptr))
            return false;
        if (got == 0)
            return true;
        DWORD written = 0;
        if (!WriteFile(to, buffer.data(), got, &written, nullptr) || written != got)
            return false;
    }
}

constexpr bool IsLink(DWORD attributes) {
    return attributes & FILE_ATTRIBUTE_REPARSE_POINT;
}

// Opens a folder on the way as itself, not through a link, and without
// FILE_SHARE_DELETE: while the handle is held, nobody can rename or delete
// the folder, so it cannot be swapped for a link before the copy is moved
// into place.
ReplaceResult HoldFolder(const std::wstring& path, ScopedHandle& held) {
    // Wine shows a Unix link to a folder by its path's attributes only, so
    // those are read first; Windows shows it by the handle's as well.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ReplaceResult::FolderMissing;
    if (IsLink(attributes))
        return ReplaceResult::LinkInTheWay;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ReplaceResult::FolderMissing;
    held.Reset(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!held || !GetFileInformationByHandle(held.Get(), &info))
        return ReplaceResult::WriteFailed;
    if (IsLink(info.dwFileAttributes))
        return ReplaceResult::LinkInTheWay;
    return ReplaceResult::Replaced;
}

}  // namespace

ReplaceResult ReplaceFileBelow(const std::wstring& source, const std::wstring& installation,
                               const std::vector<std::wstring>& names) {
    if (names.empty())
        return ReplaceResult::WriteFailed;
    // A folder opens only with backup semantics, so this refuses one too.
    const ScopedHandle input(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    FILETIME lastWrite;
    if (!input || !GetFileTime(input.Get(), nullptr, nullptr, &lastWrite)) {
        return ReplaceResult::SourceUnreadable;
    }

    // The installation itself may be reached through a link; below it,
    // nothing is.
    const DWORD installationAttributes = GetFileAttributesW(installation.c_str());
    if (installationAttributes == INVALID_FILE_ATTRIBUTES ||
        !(installationAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return ReplaceResult::FolderMissing;
    }
    std::wstring folder = installation;
    std::vector<ScopedHandle> heldFolders(names.size() - 1);
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        folder = JoinPath(std::move(folder), names[i]);
        const ReplaceResult held = HoldFolder(folder, heldFolders[i]);
        if (held != ReplaceResult::Replaced)
            return held;
    }

    // On Windows a link to a file carries the reparse point attribute. Wine
    // shows a Unix link to a file as the plain file it points to, by every
    // call (attributes, FileAttributeTagInfo, FSCTL_GET_REPARSE_POINT), so
    // there it goes undetected here; the move below then replaces the link
    // itself and the file it pointed to stays as it was.
    const std::wstring destination = JoinPath(folder, names.back());
    const DWORD attributes = GetFileAttributesW(destination.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (IsLink(attributes))
            return ReplaceResult::LinkInTheWay;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return ReplaceResult::WriteFailed;
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return ReplaceResult::DestinationReadOnly;
    }

    TemporaryFile temporary(folder);
    if (!temporary || !CopyContent(input.Get(), temporary.Handle()) ||
        !FlushFileBuffers(temporary.Handle())) {
        return ReplaceResult::WriteFailed;
    }
    // The copy keeps the source's time of last change, as CopyFileW would.
    SetFileTime(temporary.Handle(), nullptr, nullptr, &lastWrite);
    if (!temporary.MoveOver(destination))
        return ReplaceResult::WriteFailed;
    return ReplaceResult::Replaced;
}

}  // namespace platform
