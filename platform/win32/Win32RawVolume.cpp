#include "platform/win32/Win32RawVolume.h"

#include "platform/win32/WinApi.h"

#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileError.h"

namespace platform {
namespace {

FileReference ReferenceOf(DWORDLONG reference) {
    return {reference & 0x0000'FFFF'FFFF'FFFF, static_cast<std::uint16_t>(reference >> 48)};
}

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
        return std::optional<JournalPosition>{JournalPosition{data.UsnJournalID, data.NextUsn}};
    }

    Failure ReadChanges(const JournalPosition& from,
                        const std::function<bool(const VolumeChange&)>& onChange) override {
        // Read to where the journal stands now: changes made while this reads
        // are for the next run.
        USN_JOURNAL_DATA now{};
        DWORD got = 0;
        if (!DeviceIoControl(volume_.Get(), FSCTL_QUERY_USN_JOURNAL, nullptr, 0, &now, sizeof now,
                             &got, nullptr)) {
            return LastFileError();
        }
        if (now.UsnJournalID != from.journal)
            return FileError{FileError::Kind::Changed, "the change journal was made anew"};
        if (now.FirstUsn > from.next)
            return FileError{FileError::Kind::Changed, "the change journal wrapped"};
        READ_USN_JOURNAL_DATA ask{};
        ask.StartUsn = from.next;
        ask.ReasonMask = change_reason::kOfEntries;
        ask.UsnJournalID = from.journal;
        std::vector<std::byte> buffer(std::size_t{64} << 10);
        while (ask.StartUsn < now.NextUsn) {
            if (!DeviceIoControl(volume_.Get(), FSCTL_READ_USN_JOURNAL, &ask, sizeof ask,
                                 buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
                return LastFileError();
            }
            if (got < sizeof(USN))
                return FileError{FileError::Kind::Other,
                                 "the change journal's answer is cut short"};
            USN next = 0;
            std::memcpy(&next, buffer.data(), sizeof next);
            // The records follow the next read's start; each is checked to
            // lie within what was given before it is looked at.
            std::size_t at = sizeof(USN);
            while (at < got) {
                USN_RECORD record;
                const std::size_t fixed = offsetof(USN_RECORD, FileName);
                if (got - at < fixed)
                    return FileError{FileError::Kind::Other,
                                     "a change journal record is cut short"};
                std::memcpy(&record, buffer.data() + at, fixed);
                if (record.RecordLength < fixed || record.RecordLength > got - at)
                    return FileError{FileError::Kind::Other,
                                     "a change journal record is cut short"};
                if (record.MajorVersion != 2)
                    return FileError{FileError::Kind::Other,
                                     "the change journal's records are of version " +
                                         std::to_string(record.MajorVersion)};
                if (record.Usn >= now.NextUsn)
                    return std::nullopt;
                VolumeChange change;
                change.file = ReferenceOf(record.FileReferenceNumber);
                change.folder = ReferenceOf(record.ParentFileReferenceNumber);
                change.isFolder = (record.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                change.reasons = record.Reason;
                if (!onChange(change))
                    return std::nullopt;
                at += record.RecordLength;
            }
            if (next <= ask.StartUsn)
                break;  // nothing more to read
            ask.StartUsn = next;
        }
        return std::nullopt;
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
