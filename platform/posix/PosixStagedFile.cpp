#include "platform/posix/PosixStagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/DrivePath.h"
#include "platform/posix/FileTimes.h"
#include "platform/posix/PosixFileError.h"

namespace platform {
namespace {

// Gives the file open as `fd` what the existing file `old` has that matters
// to its users: the owner and the permission bits.
Failure TakeOwnerAndPermissions(int fd, const struct stat& old) {
    // Only root may give a file away; anyone else keeps the copy as their own.
    if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) {
        return LastFileError();
    }
    // Never a set-user or set-group bit: a copy made by root must not become
    // a program that runs as its owner. (After fchown, which would clear them.)
    if (::fchmod(fd, old.st_mode & 0777) != 0)
        return LastFileError();
    return std::nullopt;
}

}  // namespace

PosixStagedFile::PosixStagedFile(ScopedFd file, std::shared_ptr<const ScopedFd> folder)
    : file_(std::move(file)), folder_(std::move(folder)) {}

Failure PosixStagedFile::Write(std::span<const std::byte> bytes) {
    if (!file_)
        return FileErrorOf(EBADF);  // finished already
    while (!bytes.empty()) {
        const ssize_t put = ::write(file_.Get(), bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return LastFileError();
        // A write that takes nothing would loop for ever; it means no room.
        if (put == 0)
            return FileErrorOf(ENOSPC);
        bytes = bytes.subspan(std::size_t(put));
    }
    return std::nullopt;
}

Failure PosixStagedFile::Finish(FileTime lastWrite, std::string_view predecessor) {
    if (!file_)
        return FileErrorOf(EBADF);
    ScopedFd file = std::move(file_);  // spent, whatever happens below

    // The copy keeps its source's time of last change, as a Windows copy does.
    const timespec times[2] = {{0, UTIME_NOW}, TimespecOf(lastWrite)};
    if (::futimens(file.Get(), times) != 0)
        return LastFileError();

    if (!predecessor.empty()) {
        if (!IsSingleName(predecessor))
            return FileErrorOf(EINVAL);
        struct stat old {};
        if (::fstatat(folder_->Get(), std::string(predecessor).c_str(), &old,
                      AT_SYMLINK_NOFOLLOW) == 0) {
            // A link or anything else standing there has nothing to hand on.
            if (S_ISREG(old.st_mode)) {
                if (Failure failed = TakeOwnerAndPermissions(file.Get(), old))
                    return failed;
            }
        } else if (errno != ENOENT) {
            return LastFileError();
        }
    }

    // The content is on disk before any rename can make it the file's
    // content; close reports errors of writes that were deferred.
    if (::fsync(file.Get()) != 0)
        return LastFileError();
    // On Linux the descriptor is gone even when close says EINTR.
    if (::close(file.Release()) != 0 && errno != EINTR)
        return LastFileError();
    return std::nullopt;
}

}  // namespace platform
