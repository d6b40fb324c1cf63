// Real file services with the update package taken from a folder of the
// caller's choice instead of beside the running program, so that tests and
// benchmarks can run whole updates over temporary folders.
#pragma once

#include <string>
#include <utility>

#include "platform/FileSystem.h"

namespace test_support {

class PackageElsewhere : public platform::FileSystem {
  public:
    // `package` is in the engine's form and ends in '\' ("D:\", "C:\Temp\Updater\").
    PackageElsewhere(platform::FileSystem& files, std::string package)
        : files_(files), package_(std::move(package)) {}

    std::uint32_t LogicalDrives() override { return files_.LogicalDrives(); }
    platform::DriveType GetDriveType(char letter) override { return files_.GetDriveType(letter); }
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override {
        return files_.ListFolder(folder, onEntry);
    }
    bool IsFolder(const std::string& path) override { return files_.IsFolder(path); }
    std::optional<platform::FolderId> GetFolderId(const std::string& path) override {
        return files_.GetFolderId(path);
    }
    platform::ReplaceResult ReplaceFile(const std::string& source, const std::string& installation,
                                        const std::string& relative) override {
        return files_.ReplaceFile(source, installation, relative);
    }
    std::string OwnExecutableFolder() override { return package_; }

  private:
    platform::FileSystem& files_;
    std::string package_;
};

}  // namespace test_support
