#include "platform/posix/PosixMachineKey.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/PosixFileError.h"
#include "platform/posix/ScopedFd.h"

namespace platform {
namespace {

FileError Refused(const std::string& what) {
    return {FileError::Kind::Other, what};
}

// Owned by root or by us, and neither group nor others may do `bits`.
bool Private(const struct stat& status, mode_t bits) {
    return (status.st_uid == 0 || status.st_uid == geteuid()) && (status.st_mode & bits) == 0;
}

Result<MachineKey> ReadKey(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0)
        return LastFileError();
    if (!S_ISREG(status.st_mode) || !Private(status, S_IRWXG | S_IRWXO))
        return Refused("the key file may be read or written by another user");
    MachineKey key{};
    std::size_t got = 0;
    while (got < key.size()) {
        const ssize_t n = read(fd, key.data() + got, key.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return LastFileError();
        if (n == 0)
            return Refused("the key file is too short");
        got += std::size_t(n);
    }
    return key;
}

}  // namespace

Result<MachineKey> MachineKeyFromFile(const std::string& path, KeyUse use) {
    const std::string folder = path.substr(0, path.rfind('/'));
    if (use == KeyUse::ReadOrMake && !folder.empty() && mkdir(folder.c_str(), 0700) != 0 &&
        errno != EEXIST) {
        return LastFileError();
    }
    struct stat status {};
    if (!folder.empty()) {
        if (lstat(folder.c_str(), &status) != 0)
            return LastFileError();
        if (!S_ISDIR(status.st_mode) || !Private(status, S_IWGRP | S_IWOTH))
            return Refused("the key's folder may be written by another user");
    }
    ScopedFd existing(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (existing)
        return ReadKey(existing.Get());
    if (errno != ENOENT || use == KeyUse::ReadOnly)
        return LastFileError();

    MachineKey key{};
    if (getrandom(key.data(), key.size(), 0) != ssize_t(key.size()))
        return LastFileError();
    // Made under a name of its own and renamed into place whole: a key file
    // is never seen half written, and two first runs agree on one key.
    const std::string draft = path + ".new" + std::to_string(getpid());
    ScopedFd made(open(draft.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!made)
        return LastFileError();
    if (write(made.Get(), key.data(), key.size()) != ssize_t(key.size()) ||
        fsync(made.Get()) != 0) {
        const FileError error = LastFileError();
        unlink(draft.c_str());
        return error;
    }
    made.Reset();
    if (link(draft.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        const FileError error = LastFileError();
        unlink(draft.c_str());
        return error;
    }
    unlink(draft.c_str());
    // Whoever made it first, the file at the path is the key.
    ScopedFd made2(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!made2)
        return LastFileError();
    return ReadKey(made2.Get());
}

}  // namespace platform
