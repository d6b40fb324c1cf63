#include "platform/win32/Win32SourceFile.h"

#include "platform/win32/WinApi.h"

#include <algorithm>

#include "platform/win32/FileIdentity.h"
#include "platform/win32/Win32FileError.h"

namespace platform {
namespace {

class Win32SourceFile final : public SourceFile {
  public:
    Win32SourceFile(ScopedHandle file, FileTime lastWrite, std::optional<FileId> id)
        : file_(std::move(file)), lastWrite_(lastWrite), id_(id) {}

    Result<std::size_t> Read(std::span<std::byte> buffer) override {
        DWORD got = 0;
        const DWORD wanted = DWORD(std::min<std::size_t>(buffer.size(), std::size_t{1} << 30));
        if (!ReadFile(file_.Get(), buffer.data(), wanted, &got, nullptr))
            return LastFileError();
        return std::size_t{got};
    }
    FileTime LastWriteTime() override { return lastWrite_; }
    std::optional<FileId> Id() override { return id_; }

  private:
    ScopedHandle file_;
    FileTime lastWrite_;
    std::optional<FileId> id_;
};

}  // namespace

Result<std::unique_ptr<SourceFile>> ReadFrom(ScopedHandle file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.Get(), &info))
        return LastFileError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileErrorOf(ERROR_DIRECTORY);
    const FileTime lastWrite{
        std::int64_t((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                     info.ftLastWriteTime.dwLowDateTime)};
    const std::optional<FileId> id = IdentityOf(file.Get());
    return std::unique_ptr<SourceFile>(
        std::make_unique<Win32SourceFile>(std::move(file), lastWrite, id));
}

}  // namespace platform
