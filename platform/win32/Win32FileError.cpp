#include "platform/win32/Win32FileError.h"

#include <winternl.h>

namespace platform {
namespace {

// Not in MinGW's <winerror.h>.
constexpr DWORD kErrorStoppedOnSymlink = 681;

}  // namespace

FileError FileErrorOf(DWORD code) {
    FileError failure;
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            failure.kind = FileError::Kind::NotFound;
            break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            failure.kind = FileError::Kind::InUse;
            break;
        // A reparse point of a kind the system cannot follow, and a chain of
        // links too long to resolve.
        case ERROR_CANT_ACCESS_FILE:
        case ERROR_CANT_RESOLVE_FILENAME:
        case kErrorStoppedOnSymlink:
            failure.kind = FileError::Kind::Link;
            break;
        default:
            failure.kind = FileError::Kind::Other;
            break;
    }
    failure.description = SystemMessage(code);
    return failure;
}

FileError FileErrorOfStatus(LONG status) {
    return FileErrorOf(RtlNtStatusToDosError(status));
}

FileError LastFileError() {
    return FileErrorOf(GetLastError());
}

FileError LinkError() {
    // Windows' own words for a name that leads through links it will not
    // follow; Wine has a text for this code as well.
    FileError failure = FileErrorOf(ERROR_CANT_RESOLVE_FILENAME);
    failure.kind = FileError::Kind::Link;
    return failure;
}

FileError InvalidNameError() {
    return FileErrorOf(ERROR_INVALID_NAME);
}

}  // namespace platform
