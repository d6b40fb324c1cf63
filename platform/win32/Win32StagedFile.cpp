#include "platform/win32/Win32StagedFile.h"

#include "platform/win32/WinApi.h"

#include <aclapi.h>

#include <algorithm>

#include "platform/win32/Win32FileError.h"

namespace platform {
namespace {

// What a file's attributes say about the file itself; the rest (compressed,
// encrypted, sparse, a reparse point) describes its storage, which FileBasicInfo
// cannot set.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Gives `to` the security descriptor of `from`. The descriptor is set as it
// stands rather than through SetSecurityInfo, which would work the inherited
// entries out anew from the folder: the copy is to carry exactly what its
// predecessor carried, in the same folder.
Failure CopySecurity(HANDLE from, HANDLE to) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetSecurityInfo(
        from, SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        nullptr, nullptr, nullptr, nullptr, &descriptor);
    const ScopedLocal owned(descriptor);
    // FAT and other file systems without security descriptors.
    if (read == ERROR_NOT_SUPPORTED || read == ERROR_INVALID_FUNCTION)
        return std::nullopt;
    if (read != ERROR_SUCCESS)
        return FileErrorOf(read);
    if (!SetKernelObjectSecurity(to, DACL_SECURITY_INFORMATION, descriptor))
        return LastFileError();
    // Only a privilege lets a file be given another account as its owner;
    // without it the copy keeps the account that runs the update, as any
    // file that account makes, and the permissions above still hold.
    SetKernelObjectSecurity(to, OWNER_SECURITY_INFORMATION, descriptor);
    SetKernelObjectSecurity(to, GROUP_SECURITY_INFORMATION, descriptor);
    return std::nullopt;
}

}  // namespace

Failure Win32StagedFile::Write(std::span<const std::byte> bytes) {
    if (!file_)
        return FileErrorOf(ERROR_INVALID_HANDLE);
    while (!bytes.empty()) {
        const DWORD piece = DWORD(std::min<std::size_t>(bytes.size(), std::size_t{1} << 30));
        DWORD written = 0;
        if (!WriteFile(file_.Get(), bytes.data(), piece, &written, nullptr))
            return LastFileError();
        bytes = bytes.subspan(written);
    }
    return std::nullopt;
}

Failure Win32StagedFile::Finish(FileTime lastWrite, std::string_view predecessor) {
    if (!file_)
        return FileErrorOf(ERROR_INVALID_HANDLE);
    // Closed whatever happens, so that the engine can delete a copy that
    // could not be finished.
    const ScopedHandle file = std::move(file_);
    FILE_BASIC_INFO basic{};  // a time or attributes of 0 leave what is there
    basic.LastWriteTime.QuadPart = lastWrite.ticks;
    if (!predecessor.empty()) {
        auto old = OpenEntry(*folder_, predecessor,
                             {READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              FILE_OPEN, FILE_NON_DIRECTORY_FILE});
        if (!old)
            return old.Error();
        FILE_BASIC_INFO oldBasic{};
        if (!GetFileInformationByHandleEx(old->handle.Get(), FileBasicInfo, &oldBasic,
                                          sizeof oldBasic)) {
            return LastFileError();
        }
        if (Failure failed = CopySecurity(old->handle.Get(), file.Get()))
            return failed;
        basic.CreationTime = oldBasic.CreationTime;
        basic.FileAttributes = oldBasic.FileAttributes & kCopiedAttributes;
        if (basic.FileAttributes == 0)
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (!SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic) ||
        !FlushFileBuffers(file.Get())) {
        return LastFileError();
    }
    return std::nullopt;
}

}  // namespace platform
