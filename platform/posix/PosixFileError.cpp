#include "platform/posix/PosixFileError.h"

#include <cerrno>
#include <system_error>

namespace platform {

FileError FileErrorOf(int error) {
    FileError failure;
    switch (error) {
        case ENOENT:
            failure.kind = FileError::Kind::NotFound;
            break;
        case ELOOP:
            failure.kind = FileError::Kind::Link;
            break;
        default:
            failure.kind = FileError::Kind::Other;
            break;
    }
    // The system category's message is strerror_r's, safe on any thread.
    failure.description = std::system_category().message(error);
    return failure;
}

FileError LastFileError() {
    return FileErrorOf(errno);
}

}  // namespace platform
