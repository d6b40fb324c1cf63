#include "platform/posix/PosixSourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/FileTimes.h"
#include "platform/posix/PosixFileError.h"

namespace platform {
namespace {

class PosixSourceFile final : public SourceFile {
  public:
    PosixSourceFile(ScopedFd file, const struct stat& st)
        : file_(std::move(file)),
          lastWrite_(FileTimeOf(st.st_mtim)),
          id_{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)} {}

    Result<std::size_t> Read(std::span<std::byte> buffer) override {
        while (true) {
            const ssize_t got = ::read(file_.Get(), buffer.data(), buffer.size());
            if (got >= 0)
                return std::size_t(got);
            if (errno != EINTR)
                return LastFileError();
        }
    }

    // The time when the file was opened, so that it belongs to the content
    // read from it, not to a file put in its place since.
    FileTime LastWriteTime() override { return lastWrite_; }

    std::optional<FileId> Id() override { return id_; }

  private:
    ScopedFd file_;
    FileTime lastWrite_;
    FileId id_;
};

Result<std::unique_ptr<SourceFile>> KeepIfRegular(ScopedFd file) {
    if (!file)
        return LastFileError();
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0)
        return LastFileError();
    if (!S_ISREG(st.st_mode))
        return FileErrorOf(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return std::unique_ptr<SourceFile>(std::make_unique<PosixSourceFile>(std::move(file), st));
}

}  // namespace

// O_NONBLOCK: opening a named pipe would wait for a writer; it has no effect
// on a regular file, the only kind kept.
Result<std::unique_ptr<SourceFile>> OpenRegularFile(const std::string& path) {
    return KeepIfRegular(ScopedFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)));
}

Result<std::unique_ptr<SourceFile>> OpenRegularFileIn(int folderFd, const std::string& name) {
    ScopedFd file(::openat(folderFd, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (!file && errno == ELOOP)
        return FileErrorOf(ELOOP);
    return KeepIfRegular(std::move(file));
}

}  // namespace platform
