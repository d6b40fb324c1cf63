#include "bench/TreeWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "engine/ReplacementTable.h"

namespace bench {

namespace {

std::string Failure(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// A folder opened for making files in it by name alone, which spares the
// kernel a walk of the whole path for each of hundreds of thousands of files.
class OpenFolder {
  public:
    explicit OpenFolder(const std::string& path)
        : fd_(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~OpenFolder() {
        if (fd_ >= 0)
            close(fd_);
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    bool MakeFile(const std::string& name, const std::string& contents) {
        const int file = openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (file < 0)
            return false;
        const bool written = contents.empty() || write(file, contents.data(), contents.size()) ==
                                                     static_cast<ssize_t>(contents.size());
        return close(file) == 0 && written;
    }

  private:
    int fd_;
};

}  // namespace

std::string WriteTree(const TreePlan& plan, const std::filesystem::path& root) {
    std::vector<std::string> paths(plan.folders.size());
    paths[0] = root.string();
    std::vector<std::vector<const PlannedFile*>> named(plan.folders.size());
    for (const PlannedFile& file : plan.namedFiles)
        named[file.folder].push_back(&file);
    for (std::uint32_t i = 0; i < plan.folders.size(); ++i) {
        const PlannedFolder& folder = plan.folders[i];
        if (i > 0)
            paths[i] = paths[folder.parent] + '/' + folder.name;
        if (mkdir(paths[i].c_str(), 0755) != 0)
            return Failure("cannot make the folder", paths[i]);
        if (folder.files == 0 && named[i].empty())
            continue;
        OpenFolder open(paths[i]);
        if (!open.IsOpen())
            return Failure("cannot open the folder", paths[i]);
        for (std::uint32_t k = 0; k < folder.files; ++k) {
            if (!open.MakeFile(GeneratedFileName(i, k), {}))
                return Failure("cannot make a file in", paths[i]);
        }
        for (const PlannedFile* file : named[i]) {
            if (!open.MakeFile(file->name, file->contents))
                return Failure("cannot make " + file->name + " in", paths[i]);
        }
    }
    return {};
}

std::string PackageContents(const std::string& name) {
    return "1.55B " + name;
}

std::string WritePackage(const std::filesystem::path& parent) {
    const std::filesystem::path data = parent / "Data";
    std::error_code error;
    std::filesystem::create_directories(data, error);
    if (error)
        return "cannot make " + data.string() + ": " + error.message();
    for (const engine::Replacement& row : engine::kReplacements) {
        const std::string name(row.source);
        const std::filesystem::path file = data / name;
        std::ofstream(file, std::ios::binary | std::ios::trunc) << PackageContents(name);
        if (std::filesystem::file_size(file, error) != PackageContents(name).size())
            return "cannot write " + file.string();
    }
    return {};
}

}  // namespace bench
