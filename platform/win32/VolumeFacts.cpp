#include "platform/win32/VolumeFacts.h"

#include "platform/win32/WinApi.h"

#include <winioctl.h>

#include "platform/win32/ScopedWin.h"

namespace platform {
namespace {

// The volume itself, opened for queries only: no access right is asked, so
// this works without administrator rights and disturbs no one's sharing.
ScopedHandle OpenVolume(char letter) {
    const wchar_t device[] = {L'\\', L'\\', L'.', L'\\', wchar_t(letter), L':', L'\0'};
    return ScopedHandle(CreateFileW(device, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
}

}  // namespace

DiskKind KindOfDiskUnder(char letter) {
    const ScopedHandle volume = OpenVolume(letter);
    if (!volume)
        return DiskKind::Unknown;
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    DEVICE_SEEK_PENALTY_DESCRIPTOR answer{};
    DWORD got = 0;
    // A volume spread over several disks has no one answer, and its driver
    // refuses the query: that stays Unknown.
    if (!DeviceIoControl(volume.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &answer,
                         sizeof answer, &got, nullptr) ||
        got < sizeof answer) {
        return DiskKind::Unknown;
    }
    return answer.IncursSeekPenalty ? DiskKind::Spinning : DiskKind::SolidState;
}

std::optional<std::uint64_t> EntriesOnVolume(char letter) {
    const ScopedHandle volume = OpenVolume(letter);
    if (!volume)
        return std::nullopt;
    NTFS_VOLUME_DATA_BUFFER data{};
    DWORD got = 0;
    if (!DeviceIoControl(volume.Get(), FSCTL_GET_NTFS_VOLUME_DATA, nullptr, 0, &data, sizeof data,
                         &got, nullptr) ||
        data.BytesPerFileRecordSegment == 0) {
        return std::nullopt;
    }
    // The part of the master file table ever written holds every record in
    // use and a few freed ones; a file with several names is one record but
    // several entries. Close enough for a share of the work, which its user
    // keeps within the whole.
    return static_cast<std::uint64_t>(data.MftValidDataLength.QuadPart) /
           data.BytesPerFileRecordSegment;
}

}  // namespace platform
