#include "platform/posix/VolumeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/PosixFileError.h"
#include "platform/posix/ScopedFd.h"

namespace platform {
namespace {

class VolumeFile final : public RawVolume {
  public:
    explicit VolumeFile(ScopedFd fd) : fd_(std::move(fd)) {}
    // Alignment costs nothing here; the reader is held to the strictest
    // that Windows volumes ask, so that it is tested as it runs there.
    std::uint32_t SectorSize() const override { return 4096; }
    Failure Read(std::uint64_t offset, std::span<std::byte> buffer) override {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t got = ::pread(fd_.Get(), buffer.data() + done, buffer.size() - done,
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return LastFileError();
            if (got == 0)
                return FileError{FileError::Kind::Other, "the volume ends before the read"};
            done += static_cast<std::size_t>(got);
        }
        return std::nullopt;
    }
    // A file's bytes are as new as the page cache holds them, which every
    // read sees; the flush stands for what Windows's does.
    Failure Flush() override {
        if (::fsync(fd_.Get()) != 0 && errno != EINVAL && errno != EROFS)
            return LastFileError();
        return std::nullopt;
    }
    // No file system keeps an NTFS change journal for an image's bytes.
    Result<std::optional<JournalPosition>> JournalNow() override {
        return std::optional<JournalPosition>{};
    }
    Result<std::size_t> ReadJournal(const JournalPosition&, std::uint32_t,
                                    std::span<std::byte>) override {
        return FileError{FileError::Kind::Other, "the volume keeps no change journal"};
    }

  private:
    ScopedFd fd_;
};

}  // namespace

Result<std::unique_ptr<RawVolume>> OpenVolumeFile(const std::string& path) {
    ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return LastFileError();
    return std::unique_ptr<RawVolume>(std::make_unique<VolumeFile>(std::move(fd)));
}

}  // namespace platform
