#include "platform/posix/PosixFolderHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/DrivePath.h"
#include "platform/posix/EntryDescription.h"
#include "platform/posix/FolderReader.h"
#include "platform/posix/PosixFileError.h"
#include "platform/posix/PosixSourceFile.h"
#include "platform/posix/PosixStagedFile.h"

namespace platform {
namespace {

// A name the caller passes must stand for one entry of this folder and
// nothing else; ".." or "a/b" would lead out of it.
Failure RefuseUnlessSingleName(std::string_view name) {
    if (IsSingleName(name))
        return std::nullopt;
    return FileErrorOf(EINVAL);
}

}  // namespace

Result<std::unique_ptr<FolderHandle>> OpenFolderIn(int parentFd, const std::string& name) {
    ScopedFd folder(
        ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder)
        return std::unique_ptr<FolderHandle>(
            std::make_unique<PosixFolderHandle>(std::move(folder)));
    const int error = errno;
    if (error != ELOOP && error != ENOTDIR)
        return FileErrorOf(error);
    // O_NOFOLLOW refuses a link with ELOOP, O_DIRECTORY a file with ENOTDIR;
    // which kernels say which differs for a link, so the entry tells.
    struct stat st {};
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return LastFileError();
    if (S_ISLNK(st.st_mode))
        return FileErrorOf(ELOOP);
    // A file where the folder should be: there is no folder of that name.
    FileError missing = FileErrorOf(ENOTDIR);
    missing.kind = FileError::Kind::NotFound;
    return missing;
}

PosixFolderHandle::PosixFolderHandle(ScopedFd folder)
    : folder_(std::make_shared<const ScopedFd>(std::move(folder))) {}

bool PosixFolderHandle::List(const EntrySink& onEntry) {
    // A descriptor of its own: reading moves a descriptor's position, and a
    // caller may list this folder again, or inside its own callback.
    const ScopedFd listing(::openat(folder_->Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing)
        return false;
    return ReadFolder(listing.Get(), [&](const RawEntry& entry) {
        if (entry.name == "." || entry.name == "..")
            return true;
        // A name no caller could pass back (IsSingleName).
        if (entry.name.find('\\') != std::string_view::npos)
            return true;
        const FolderEntry described = DescribeEntry(listing.Get(), entry);
        // Another file system is another drive, or none, as in ListFolder.
        if (described.isFolder && !described.isLink &&
            IsMountRoot(listing.Get(), entry.name.data()))
            return true;
        return onEntry(described);
    });
}

std::optional<FileId> PosixFolderHandle::Id() {
    struct stat st {};
    if (::fstat(folder_->Get(), &st) != 0)
        return std::nullopt;
    return FileId{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
}

Result<std::unique_ptr<FolderHandle>> PosixFolderHandle::OpenFolder(std::string_view name) {
    if (Failure refused = RefuseUnlessSingleName(name))
        return *refused;
    return OpenFolderIn(folder_->Get(), std::string(name));
}

Result<std::unique_ptr<SourceFile>> PosixFolderHandle::OpenFile(std::string_view name) {
    if (Failure refused = RefuseUnlessSingleName(name))
        return *refused;
    return OpenRegularFileIn(folder_->Get(), std::string(name));
}

Result<FolderHandle::Entry> PosixFolderHandle::Inspect(std::string_view name) {
    if (Failure refused = RefuseUnlessSingleName(name))
        return *refused;
    struct stat st {};
    if (::fstatat(folder_->Get(), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return Entry{EntryKind::Missing};
        return LastFileError();
    }
    if (S_ISLNK(st.st_mode))
        return Entry{EntryKind::Link};
    if (S_ISDIR(st.st_mode))
        return Entry{EntryKind::Folder};
    // Without any write bit a file is what Windows calls read-only, for root
    // too, who could write it all the same. (A device, pipe or socket is no
    // folder, so a file here; CheckNotInUse refuses it.)
    return Entry{EntryKind::File, (st.st_mode & 0222) == 0};
}

Failure PosixFolderHandle::CheckNotInUse(std::string_view name) {
    // Nothing here keeps a file from being replaced while a program holds it
    // open, so an existing regular file is never in use.
    if (Failure refused = RefuseUnlessSingleName(name))
        return refused;
    struct stat st {};
    if (::fstatat(folder_->Get(), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return LastFileError();
    if (S_ISLNK(st.st_mode))
        return FileErrorOf(ELOOP);
    if (S_ISDIR(st.st_mode))
        return FileErrorOf(EISDIR);
    if (!S_ISREG(st.st_mode))
        return FileErrorOf(EINVAL);
    return std::nullopt;
}

Result<std::unique_ptr<StagedFile>> PosixFolderHandle::CreateFile(std::string_view name) {
    if (Failure refused = RefuseUnlessSingleName(name))
        return *refused;
    // O_EXCL: never an existing file, nor a link's target. The permissions
    // are those of any new file (the umask applies) until Finish gives the
    // predecessor's.
    ScopedFd file(::openat(folder_->Get(), std::string(name).c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file)
        return LastFileError();
    return std::unique_ptr<StagedFile>(std::make_unique<PosixStagedFile>(std::move(file), folder_));
}

Failure PosixFolderHandle::Rename(std::string_view from, std::string_view to) {
    if (Failure refused = RefuseUnlessSingleName(from))
        return refused;
    if (Failure refused = RefuseUnlessSingleName(to))
        return refused;
    const int folder = folder_->Get();
    const std::string source(from);
    const std::string target(to);
    if (::renameat2(folder, source.c_str(), folder, target.c_str(), RENAME_NOREPLACE) != 0) {
        // EINVAL: a file system without RENAME_NOREPLACE (some network and
        // FUSE ones). A second name made by link, which refuses an existing
        // target as well, and the first one removed do the same.
        if (errno != EINVAL)
            return LastFileError();
        if (::linkat(folder, source.c_str(), folder, target.c_str(), 0) != 0)
            return LastFileError();
        if (::unlinkat(folder, source.c_str(), 0) != 0) {
            const int error = errno;
            ::unlinkat(folder, target.c_str(), 0);
            return FileErrorOf(error);
        }
    }
    // The rename lasts once the folder is on disk. EINVAL: a folder that
    // cannot be synchronised (some virtual file systems) has nothing to lose.
    if (::fsync(folder) != 0 && errno != EINVAL)
        return LastFileError();
    return std::nullopt;
}

Failure PosixFolderHandle::Delete(std::string_view name) {
    if (Failure refused = RefuseUnlessSingleName(name))
        return refused;
    // unlink removes a link itself, never what it points to.
    if (::unlinkat(folder_->Get(), std::string(name).c_str(), 0) != 0)
        return LastFileError();
    return std::nullopt;
}

}  // namespace platform
