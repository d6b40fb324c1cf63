// A file system that holds nothing: it makes up each listing when asked, so
// that measuring the engine's memory on a huge tree measures the engine, not
// the tree. Drive C: holds one of two shapes:
//   Wide: C:\Wide holds `size` entries, files but for every 100,000th, which
//         is an empty folder;
//   Deep: a chain C:\d\d\...\d `size` folders deep, two files in each.
// The update package lies on P: (a CD), complete; nothing is an installation.
#pragma once

#include <cstddef>

#include "platform/FileSystem.h"

namespace bench {

class GeneratedFileSystem : public platform::FileSystem {
  public:
    enum class Shape { Wide, Deep };
    GeneratedFileSystem(Shape shape, std::size_t size) : shape_(shape), size_(size) {}

    std::uint32_t LogicalDrives() override { return (1u << ('C' - 'A')) | (1u << ('P' - 'A')); }
    platform::DriveType GetDriveType(char letter) override;
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override;
    std::string WhyNotListed(const std::string&) override { return "not generated"; }
    bool IsFolder(const std::string& path) override;
    std::optional<platform::FileId> GetFolderId(const std::string& path) override;
    // Nothing on C: is an installation, so nothing is ever opened for change;
    // only the package folder is opened, to be read.
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolderNoLink(
        const std::string& path) override;
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolderFollowingLinks(
        const std::string& path) override {
        return OpenFolderNoLink(path);
    }
    // Each package file holds its own name.
    platform::Result<std::unique_ptr<platform::SourceFile>> OpenSourceFile(
        const std::string& path) override;
    bool ProgramRunsFrom(const platform::FileId&) override { return false; }
    std::optional<std::string> ApplicationUsing(const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> BuiltInPackageList() override { return std::nullopt; }
    std::string OwnExecutableFolder() override { return "P:\\"; }

  private:
    Shape shape_;
    std::size_t size_;
};

}  // namespace bench
