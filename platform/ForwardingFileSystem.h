// File services that pass every call on to other file services. The search
// derives from it to count what its listings hand out; tests and benchmarks
// to change one or two services of the real ones and keep the rest.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace platform {

class ForwardingFileSystem : public FileSystem {
  public:
    explicit ForwardingFileSystem(platform::FileSystem& files) : files_(files) {}

    std::uint32_t LogicalDrives() override { return files_.LogicalDrives(); }
    platform::DriveType GetDriveType(char letter) override { return files_.GetDriveType(letter); }
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override {
        return files_.ListFolder(folder, onEntry);
    }
    platform::DiskKind KindOfDisk(char letter) override { return files_.KindOfDisk(letter); }
    std::optional<std::uint64_t> EntriesOnDrive(char letter) override {
        return files_.EntriesOnDrive(letter);
    }
    platform::Result<std::unique_ptr<platform::RawVolume>> OpenRawVolume(char letter) override {
        return files_.OpenRawVolume(letter);
    }
    std::string WhyNotListed(const std::string& folder) override {
        return files_.WhyNotListed(folder);
    }
    bool IsFolder(const std::string& path) override { return files_.IsFolder(path); }
    std::optional<platform::FileId> GetFolderId(const std::string& path) override {
        return files_.GetFolderId(path);
    }
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolderNoLink(
        const std::string& path) override {
        return files_.OpenFolderNoLink(path);
    }
    platform::Result<std::unique_ptr<platform::SourceFile>> OpenSourceFile(
        const std::string& path) override {
        return files_.OpenSourceFile(path);
    }
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolderFollowingLinks(
        const std::string& path) override {
        return files_.OpenFolderFollowingLinks(path);
    }
    bool ProgramRunsFrom(const platform::FileId& program) override {
        return files_.ProgramRunsFrom(program);
    }
    platform::Result<platform::MachineKey> JournalKey(platform::KeyUse use) override {
        return files_.JournalKey(use);
    }
    std::optional<std::string> JournalKeyReplaced() override { return files_.JournalKeyReplaced(); }
    std::optional<std::string> ApplicationUsing(const std::string& path) override {
        return files_.ApplicationUsing(path);
    }
    platform::RestartReplacements* AtRestart() override { return files_.AtRestart(); }
    std::optional<std::string> BuiltInPackageList() override { return files_.BuiltInPackageList(); }
    std::unique_ptr<ThreadView> SeeFoldersAsTheyAre() override {
        return files_.SeeFoldersAsTheyAre();
    }
    std::string OwnExecutableFolder() override { return files_.OwnExecutableFolder(); }

  protected:
    platform::FileSystem& files_;
};

}  // namespace platform
