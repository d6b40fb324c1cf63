#include "platform/win32/RelativeFile.h"

#include <winternl.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "platform/PathJoin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileError.h"

// Not declared by MinGW's <winternl.h>; ntdll has it on every Windows.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID,
                                               PIO_STATUS_BLOCK, PVOID, ULONG,
                                               FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING,
                                               BOOLEAN);

namespace platform {
namespace {

// From <ntstatus.h>, which clashes with <windows.h>.
constexpr NTSTATUS kStatusNoSuchFile = NTSTATUS(0xC000000FL);
constexpr NTSTATUS kStatusNoMoreFiles = NTSTATUS(0x80000006L);

NTSTATUS OpenRelative(HANDLE folder, std::wstring_view name, const OpenRequest& request,
                      ScopedHandle& opened) {
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<wchar_t*>(name.data());
    objectName.Length = USHORT(name.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, folder,
                               request.security);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status =
        NtCreateFile(&handle, request.access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io,
                     nullptr, FILE_ATTRIBUTE_NORMAL, request.share, request.disposition,
                     request.options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(status))
        opened.Reset(handle);
    return status;
}

// A name the native API takes: at most 32767 UTF-16 units in all.
std::optional<std::wstring> WideName(std::string_view name) {
    if (!IsSingleName(name))
        return std::nullopt;
    std::wstring wide = Utf8ToUtf16(name);
    if (wide.size() > 32767)
        return std::nullopt;
    return wide;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), int(a.size()), b.data(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

bool IsSingleName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string_view::npos;
}

Result<OpenedEntry> OpenEntry(const HeldFolder& folder, std::string_view name,
                              const OpenRequest& request) {
    const std::optional<std::wstring> wide = WideName(name);
    if (!wide)
        return InvalidNameError();
    OpenedEntry entry;
    const NTSTATUS status =
        OpenRelative(folder.handle.Get(), *wide,
                     {request.access, request.share, request.disposition,
                      request.options | FILE_OPEN_REPARSE_POINT, false, request.security},
                     entry.handle);
    if (status == kStatusNoSuchFile)
        return LinkError();
    if (!NT_SUCCESS(status))
        return FileErrorOfStatus(status);

    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(entry.handle.Get(), FileAttributeTagInfo, &tag, sizeof tag))
        return LastFileError();
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !request.linkItself)
        return LinkError();
    // The check that finds Wine's links. On Windows a link has been refused
    // above already, and an entry opened as itself is named by its own path.
    // A file system that cannot name a handle leaves it out.
    const std::wstring opened = SystemNameOf(entry.handle.Get());
    if (!opened.empty() && !folder.systemName.empty()) {
        if (!SameName(opened, JoinPath(folder.systemName, *wide)))
            return LinkError();
    }
    entry.attributes = tag.FileAttributes;
    return entry;
}

namespace {

// A new entry of `name` in `folder`, never one that stood there before:
// FILE_CREATE fails on any existing entry, a link included, so nothing is
// followed.
Result<ScopedHandle> CreateNew(const HeldFolder& folder, std::string_view name,
                               const OpenRequest& request, ULONG kind) {
    const std::optional<std::wstring> wide = WideName(name);
    if (!wide)
        return InvalidNameError();
    ScopedHandle created;
    const NTSTATUS status = OpenRelative(folder.handle.Get(), *wide,
                                         {request.access, request.share, FILE_CREATE,
                                          request.options | kind, false, request.security},
                                         created);
    if (!NT_SUCCESS(status))
        return FileErrorOfStatus(status);
    return created;
}

}  // namespace

Result<ScopedHandle> CreateEntry(const HeldFolder& folder, std::string_view name,
                                 const OpenRequest& request) {
    return CreateNew(folder, name, request, FILE_NON_DIRECTORY_FILE);
}

Result<ScopedHandle> CreateFolderEntry(const HeldFolder& folder, std::string_view name,
                                       const OpenRequest& request) {
    return CreateNew(folder, name, request, FILE_DIRECTORY_FILE);
}

bool ListFolder(HANDLE folder, const FolderHandle::EntrySink& onEntry) {
    // Large enough for hundreds of entries a call; FILE_FULL_DIR_INFO wants
    // 8-byte alignment, which the allocation gives.
    std::vector<std::byte> buffer(std::size_t{64} << 10);
    FILE_INFO_BY_HANDLE_CLASS request = FileFullDirectoryRestartInfo;
    std::string name;
    while (true) {
        if (!GetFileInformationByHandleEx(folder, request, buffer.data(), DWORD(buffer.size()))) {
            const DWORD error = GetLastError();
            // A drive root has no "." and "..", so an empty one has no entry
            // at all.
            return error == ERROR_NO_MORE_FILES ||
                   (request == FileFullDirectoryRestartInfo && error == ERROR_FILE_NOT_FOUND);
        }
        request = FileFullDirectoryInfo;
        for (std::size_t offset = 0;;) {
            const auto* info = reinterpret_cast<const FILE_FULL_DIR_INFO*>(buffer.data() + offset);
            const std::wstring_view wide(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (wide != L"." && wide != L"..") {
                name = Utf16ToUtf8(wide);
                if (!onEntry(
                        FolderEntry{name, (info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                                    (info->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0})) {
                    return true;
                }
            }
            if (info->NextEntryOffset == 0)
                break;
            offset += info->NextEntryOffset;
        }
    }
}

Failure ListNames(HANDLE folder, std::size_t most, std::vector<std::string>& names) {
    // FILE_NAMES_INFORMATION wants 4-byte alignment, which the allocation
    // gives.
    std::vector<std::byte> buffer(std::size_t{64} << 10);
    for (BOOLEAN restart = TRUE; names.size() < most; restart = FALSE) {
        IO_STATUS_BLOCK io{};
        const NTSTATUS status = NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io,
                                                     buffer.data(), ULONG(buffer.size()),
                                                     FileNamesInformation, FALSE, nullptr, restart);
        // A drive root has no "." and "..", so an empty one has no entry at all.
        if (status == kStatusNoMoreFiles || (restart && status == kStatusNoSuchFile))
            return std::nullopt;
        if (!NT_SUCCESS(status))
            return FileErrorOfStatus(status);
        for (std::size_t offset = 0; names.size() < most;) {
            const auto* info =
                reinterpret_cast<const FILE_NAMES_INFORMATION*>(buffer.data() + offset);
            const std::wstring_view wide(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (wide != L"." && wide != L"..")
                names.push_back(Utf16ToUtf8(wide));
            if (info->NextEntryOffset == 0)
                break;
            offset += info->NextEntryOffset;
        }
    }
    return std::nullopt;
}

Result<ScopedHandle> ReopenForListing(const HeldFolder& folder) {
    ScopedHandle opened;
    const NTSTATUS status =
        OpenRelative(folder.handle.Get(), L"",
                     {FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                      FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT},
                     opened);
    if (!NT_SUCCESS(status))
        return FileErrorOfStatus(status);
    return opened;
}

std::wstring SystemNameOf(HANDLE handle) {
    // FILE_NAME_INFO holds the length and the name. Most names fit the first
    // buffer; none is longer than a path can be, 32767 characters.
    std::vector<std::byte> buffer;
    for (const std::size_t characters : {std::size_t{512}, std::size_t{32768}}) {
        buffer.resize(sizeof(FILE_NAME_INFO) + characters * sizeof(wchar_t));
        if (GetFileInformationByHandleEx(handle, FileNameInfo, buffer.data(),
                                         DWORD(buffer.size()))) {
            const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
            return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
        }
        if (GetLastError() != ERROR_MORE_DATA)
            break;
    }
    return {};
}

namespace {

// FILE_DISPOSITION_INFO_EX's class and flags, which MinGW's headers declare
// only for a later _WIN32_WINNT than the program's.
constexpr auto kDispositionInfoEx = FILE_INFO_BY_HANDLE_CLASS(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosixSemantics = 0x2;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;

// What a system or file system answers to a disposition it does not know:
// Windows before 10 1809, FAT, and Wine (ERROR_INVALID_PARAMETER).
bool NotKnownHere(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

Failure DeleteOpened(HANDLE entry, DWORD attributes) {
    // POSIX semantics free the name at once, even while another program
    // holds the file open; a file system without them still ignores the
    // attribute.
    // Once unknown, not asked again: the way below is safe everywhere.
    static std::atomic<bool> exUnknown{false};
    for (const DWORD flags :
         {kDispositionDelete | kDispositionIgnoreReadOnly | kDispositionPosixSemantics,
          kDispositionDelete | kDispositionIgnoreReadOnly}) {
        if (exUnknown.load())
            break;
        DWORD disposition = flags;
        if (SetFileInformationByHandle(entry, kDispositionInfoEx, &disposition,
                                       sizeof disposition)) {
            return std::nullopt;
        }
        if (!NotKnownHere(GetLastError()))
            return LastFileError();
        if (!(flags & kDispositionPosixSemantics))
            exUnknown = true;
    }
    // Windows renames a read-only file but does not delete it.
    const bool readOnly = attributes & FILE_ATTRIBUTE_READONLY;
    FILE_BASIC_INFO basic{};
    if (readOnly) {
        BY_HANDLE_FILE_INFORMATION information;
        if (!GetFileInformationByHandle(entry, &information))
            return LastFileError();
        if (information.nNumberOfLinks > 1)
            return FileError{FileError::Kind::Other, "is read-only and has more than one name"};
        basic.FileAttributes = attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
        if (basic.FileAttributes == 0)
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic))
            return LastFileError();
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition)) {
        FileError failure = LastFileError();
        // The file stays after all, and as it was.
        if (readOnly) {
            basic.FileAttributes = attributes;
            SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic);
        }
        return failure;
    }
    return std::nullopt;
}

Failure RenameInFolder(HANDLE file, const HeldFolder& folder, std::string_view name) {
    const std::optional<std::wstring> to = WideName(name);
    if (!to)
        return InvalidNameError();
    // The native call rather than SetFileInformationByHandle: Wine's turns
    // the new name into a path below the current folder and so loses the
    // root folder; Windows' passes it on unchanged.
    std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFORMATION) + to->size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = folder.handle.Get();
    rename->FileNameLength = ULONG(to->size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, to->data(), to->size() * sizeof(wchar_t));
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        NtSetInformationFile(file, &io, rename, ULONG(buffer.size()), FileRenameInformation);
    if (!NT_SUCCESS(status))
        return FileErrorOfStatus(status);
    return std::nullopt;
}

}  // namespace platform
