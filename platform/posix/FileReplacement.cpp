#include "platform/posix/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <vector>

#include "platform/posix/CaseInsensitiveLookup.h"
#include "platform/posix/ScopedFd.h"

namespace platform {
namespace {

// The temporary file beside the destination; removed again unless it has
// been renamed over the destination.
class TemporaryFile {
  public:
    TemporaryFile(int folderFd, mode_t mode) : folderFd_(folderFd) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
            name_ =
                ".update-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
            fd_.Reset(::openat(folderFd, name_.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!fd_ && errno != EEXIST)
                break;
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        fd_.Reset();
        if (!renamed_ && !name_.empty())
            ::unlinkat(folderFd_, name_.c_str(), 0);
    }

    bool IsOpen() const { return bool(fd_); }
    int Fd() const { return fd_.Get(); }

    // Closes the file, which reports errors of the last writes too.
    bool Close() { return ::close(fd_.Release()) == 0; }

    bool RenameOver(const std::string& destination) {
        renamed_ = ::renameat(folderFd_, name_.c_str(), folderFd_, destination.c_str()) == 0;
        return renamed_;
    }

  private:
    int folderFd_;
    std::string name_;
    ScopedFd fd_;
    bool renamed_ = false;
};

bool CopyContent(int from, int to) {
    std::vector<char> buffer(std::size_t{1} << 17);
    while (true) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(to, buffer.data() + written, std::size_t(got - written));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            written += put;
        }
    }
}

// Why the folder `name` could not be opened without following a link.
ReplaceResult WhyFolderWontOpen(int parentFd, const std::string& name, int error) {
    struct stat st {};
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return ReplaceResult::FolderMissing;
    }
    if (S_ISLNK(st.st_mode))
        return ReplaceResult::LinkInTheWay;
    if (!S_ISDIR(st.st_mode))
        return ReplaceResult::FolderMissing;  // a file where a folder should be
    return error == ENOENT ? ReplaceResult::FolderMissing : ReplaceResult::WriteFailed;
}

}  // namespace

ReplaceResult ReplaceFileBelow(const std::string& source, const std::string& installation,
                               const std::vector<std::string_view>& names) {
    if (names.empty())
        return ReplaceResult::WriteFailed;
    const ScopedFd input(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat sourceStat {};
    if (!input || ::fstat(input.Get(), &sourceStat) != 0 || !S_ISREG(sourceStat.st_mode)) {
        return ReplaceResult::SourceUnreadable;
    }

    // The installation itself may be reached through a link; below it,
    // nothing is.
    ScopedFd folder(::open(installation.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return ReplaceResult::FolderMissing;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        const std::optional<std::string> name = FindEntryIgnoringCase(folder.Get(), names[i]);
        if (!name)
            return ReplaceResult::FolderMissing;
        ScopedFd next(
            ::openat(folder.Get(), name->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next)
            return WhyFolderWontOpen(folder.Get(), *name, errno);
        folder = std::move(next);
    }

    const std::string destination =
        FindEntryIgnoringCase(folder.Get(), names.back()).value_or(std::string(names.back()));
    struct stat old {};
    const bool exists =
        ::fstatat(folder.Get(), destination.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists) {
        if (S_ISLNK(old.st_mode))
            return ReplaceResult::LinkInTheWay;
        if (!S_ISREG(old.st_mode))
            return ReplaceResult::WriteFailed;
        // Without any write bit the file is what Windows calls read-only.
        // (access(W_OK) would not tell: root may write it all the same.)
        if ((old.st_mode & 0222) == 0)
            return ReplaceResult::DestinationReadOnly;
    }

    TemporaryFile temporary(folder.Get(), 0666);
    if (!temporary.IsOpen())
        return ReplaceResult::WriteFailed;
    if (!CopyContent(input.Get(), temporary.Fd()) || ::fsync(temporary.Fd()) != 0) {
        return ReplaceResult::WriteFailed;
    }
    // The copy keeps the source's time of last change, as a Windows copy does.
    const timespec times[2] = {{0, UTIME_NOW}, sourceStat.st_mtim};
    ::futimens(temporary.Fd(), times);
    if (exists) {
        // The new file takes the old one's owner (only root may give a file
        // away; anyone else keeps the copy as their own) and its
        // permission bits, but never a set-user or set-group bit: a copy made
        // by root must not become a program that runs as its owner.
        if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
            ::fchown(temporary.Fd(), old.st_uid, old.st_gid) != 0 && errno != EPERM) {
            return ReplaceResult::WriteFailed;
        }
        if (::fchmod(temporary.Fd(), old.st_mode & 0777) != 0)
            return ReplaceResult::WriteFailed;
    }
    if (!temporary.Close() || !temporary.RenameOver(destination)) {
        return ReplaceResult::WriteFailed;
    }
    // The rename itself lasts once the folder is on disk as well.
    ::fsync(folder.Get());
    return ReplaceResult::Replaced;
}

}  // namespace platform
