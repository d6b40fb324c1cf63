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
    PosixSourceFile(ScopedFd file, FileTime lastWrite)
        : file_(std::move(file)), lastWrite_(lastWrite) {}

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

  private:
    ScopedFd file_;
    FileTime lastWrite_;
};

}  // namespace

Result<std::unique_ptr<SourceFile>> OpenRegularFile(const std::string& path) {
    // O_NONBLOCK: opening a named pipe would wait for a writer; it has no
    // effect on a regular file, the only kind kept.
    ScopedFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file)
        return LastFileError();
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0)
        return LastFileError();
    if (!S_ISREG(st.st_mode))
        return FileErrorOf(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return std::unique_ptr<SourceFile>(
        std::make_unique<PosixSourceFile>(std::move(file), FileTimeOf(st.st_mtim)));
}

}  // namespace platform
