#include "platform/win32/FileIdentity.h"

#include <cstring>

namespace platform {

std::optional<FileId> IdentityOf(HANDLE handle) {
    FILE_ID_INFO idInfo;
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &idInfo, sizeof idInfo)) {
        FileId id{idInfo.VolumeSerialNumber, 0, 0};
        static_assert(sizeof idInfo.FileId.Identifier == 2 * sizeof id.file);
        std::memcpy(&id.file, idInfo.FileId.Identifier, sizeof id.file);
        std::memcpy(&id.fileHigh, idInfo.FileId.Identifier + sizeof id.file, sizeof id.fileHigh);
        return id;
    }
    // Before Windows 8, and on file systems that do not answer FileIdInfo.
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    return FileId{info.dwVolumeSerialNumber,
                  (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, 0};
}

}  // namespace platform
