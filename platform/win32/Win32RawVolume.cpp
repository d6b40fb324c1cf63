#include "platform/win32/Win32RawVolume.h"

#include "platform/win32/WinApi.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileError.h"

namespace platform {
namespace {

class Win32RawVolume final : public RawVolume {
  public:
    explicit Win32RawVolume(ScopedHandle volume) : volume_(std::move(volume)) {}

    // Unbuffered reads must be aligned to the disk's physical sectors; no
    // disk in use has sectors larger than 4096 bytes, and 4096 is a multiple
    // of the 512 of older ones. The table's clusters are aligned alike.
    std::uint32_t SectorSize() const override { return 4096; }

    Failure Read(std::uint64_t offset, std::span<std::byte> buffer) override {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const auto part =
                static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1U << 30));
            OVERLAPPED at{};
            const std::uint64_t from = offset + done;
            at.Offset = static_cast<DWORD>(from);
            at.OffsetHigh = static_cast<DWORD>(from >> 32);
            DWORD got = 0;
            if (!ReadFile(volume_.Get(), buffer.data() + done, part, &got, &at))
                return LastFileError();
            if (got == 0)
                return FileErrorOf(ERROR_HANDLE_EOF);
            done += got;
        }
        return std::nullopt;
    }

  private:
    ScopedHandle volume_;
};

}  // namespace

Result<std::unique_ptr<RawVolume>> OpenNtfsVolume(char letter) {
    const wchar_t root[] = {wchar_t(letter), L':', L'\\', L'\0'};
    wchar_t system[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH + 1)) {
        return LastFileError();
    }
    if (std::wstring_view(system) != L"NTFS")
        return FileError{FileError::Kind::Other, "the file system is " + Utf16ToUtf8(system)};
    const wchar_t device[] = {L'\\', L'\\', L'.', L'\\', wchar_t(letter), L':', L'\0'};
    ScopedHandle volume(CreateFileW(device, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!volume)
        return LastFileError();
    return std::unique_ptr<RawVolume>(std::make_unique<Win32RawVolume>(std::move(volume)));
}

}  // namespace platform
