#include "report/PosixLogFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace report {

namespace {

class PosixLog final : public OpenedLog {
  public:
    PosixLog(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~PosixLog() override { close(fd_); }
    PosixLog(const PosixLog&) = delete;
    PosixLog& operator=(const PosixLog&) = delete;

    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, std::size_t size, std::string& into,
                std::string& why) override {
        into.resize(size);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got =
                pread(fd_, into.data() + done, size - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                why = std::strerror(errno);
                return false;
            }
            if (got == 0)
                break;  // cut shorter meanwhile
            done += static_cast<std::size_t>(got);
        }
        into.resize(done);
        return true;
    }

  private:
    int fd_;
    std::uint64_t size_;
};

}  // namespace

PosixLogFolder::PosixLogFolder(const std::string& path)
    : folder_(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (folder_ < 0)
        throw std::runtime_error(path + ": " + std::strerror(errno));
}

PosixLogFolder::~PosixLogFolder() {
    close(folder_);
}

std::vector<FolderEntry> PosixLogFolder::Logs() {
    const int listing = openat(folder_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing < 0 ? nullptr : fdopendir(listing);
    if (!dir) {
        if (listing >= 0)
            close(listing);
        throw std::runtime_error(std::strerror(errno));
    }
    std::vector<FolderEntry> entries;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= 4 || strcasecmp(name.c_str() + name.size() - 4, ".log") != 0)
            continue;
        struct stat facts {};
        if (fstatat(folder_, name.c_str(), &facts, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(facts.st_mode))
            continue;
        entries.push_back({name, S_ISLNK(facts.st_mode) ? "リンクのため読みません" : ""});
    }
    closedir(dir);
    return entries;
}

std::unique_ptr<OpenedLog> PosixLogFolder::Open(const std::string& name, std::string& why) {
    const int fd =
        openat(folder_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = errno == ELOOP ? "リンクのため読みません" : std::strerror(errno);
        return nullptr;
    }
    struct stat facts {};
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode) || facts.st_nlink != 1) {
        why = !S_ISREG(facts.st_mode) ? "ファイルではありません"
                                      : "ほかの名前（ハードリンク）もあるため読みません";
        close(fd);
        return nullptr;
    }
    return std::make_unique<PosixLog>(fd, static_cast<std::uint64_t>(facts.st_size));
}

}  // namespace report
