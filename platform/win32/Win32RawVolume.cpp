#include "platform/win32/Win32RawVolume.h"

#include "platform/win32/WinApi.h"

#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileError.h"

namespace platform {
namespace {

// Errors that mean the volume keeps no journal to be asked: NTFS's own when
// none was made or it is being deleted, and a file system's (Wine's among
// them) that knows no journal at all.
bool MeansNoJournal(DWORD error) {
    return error == ERROR_JOURNAL_NOT_ACTIVE || error == ERROR_JOURNAL_DELETE_IN_PROGRESS ||
           error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED;
}

class Win32RawVolume final : public RawVolume {
  public:
    Win32RawVolume(ScopedHandle volume, std::wstring device)
        : volume_(std::move(volume)), device_(std::move(device)) {}

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

    // A handle to the volume opened for writing may flush it: NTFS then
    // writes what it holds of the volume in memory, its table included. Only
    // an administrator may open it so.
    Failure Flush() override {
        ScopedHandle writable(CreateFileW(device_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        if (!writable || !FlushFileBuffers(writable.Get()))
            return LastFileError();
        return std::nullopt;
    }

    Result<std::optional<JournalPosition>> JournalNow() override {
        USN_JOURNAL_DATA data{};
        DWORD got = 0;
        if (!DeviceIoControl(volume_.Get(), FSCTL_QUERY_USN_JOURNAL, nullptr, 0, &data, sizeof data,
                             &got, nullptr)) {
            const DWORD error = GetLastError();
            if (MeansNoJournal(error))
                return std::optional<JournalPosition>{};
            return FileErrorOf(error);
        }
        return std::optional<JournalPosition>{
            JournalPosition{data.UsnJournalID, data.NextUsn, data.FirstUsn}};
    }

    // What the journal gives is handed on as it stands: the engine reads
    // it, checking every bound, where it can be tested and fuzzed.
    Result<std::size_t> ReadJournal(const JournalPosition& from, std::uint32_t reasons,
                                    std::span<std::byte> buffer) override {
        READ_USN_JOURNAL_DATA ask{};
        ask.StartUsn = from.next;
        ask.ReasonMask = reasons;
        ask.UsnJournalID = from.journal;
        DWORD got = 0;
        if (!DeviceIoControl(volume_.Get(), FSCTL_READ_USN_JOURNAL, &ask, sizeof ask, buffer.data(),
                             static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1U << 30)),
                             &got, nullptr)) {
            const DWORD error = GetLastError();
            if (error == ERROR_JOURNAL_ENTRY_DELETED)
                return FileError{FileError::Kind::Changed, "the change journal wrapped"};
            if (MeansNoJournal(error))
                return FileError{FileError::Kind::Changed, "the change journal was deleted"};
            return FileErrorOf(error);
        }
        return std::size_t{got};
    }

  private:
    ScopedHandle volume_;
    std::wstring device_;
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
    return std::unique_ptr<RawVolume>(
        std::make_unique<Win32RawVolume>(std::move(volume), std::wstring(device)));
}

}  // namespace platform
