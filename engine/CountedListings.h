// The file system as the search sees it, counting the entries its listings
// hand out from whichever thread lists: the threads reading ahead take in
// most of them, not the walk, so the walk's own steps cannot tell how far the
// search has got. Everything else passes straight through.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace engine {

class CountedListings final : public platform::FileSystem {
  public:
    explicit CountedListings(platform::FileSystem& files) : files_(files) {}

    // The entries listed so far, given-up listings' included.
    std::uint64_t Entries() const { return entries_.load(std::memory_order_relaxed); }

    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override {
        // Added once a listing, so that threads listing at once do not take
        // turns at one counter for every entry.
        std::uint64_t seen = 0;
        const bool listed = files_.ListFolder(folder, [&](const platform::FolderEntry& entry) {
            ++seen;
            return onEntry(entry);
        });
        entries_.fetch_add(seen, std::memory_order_relaxed);
        return listed;
    }

    std::uint32_t LogicalDrives() override { return files_.LogicalDrives(); }
    platform::DriveType GetDriveType(char letter) override { return files_.GetDriveType(letter); }
    platform::DiskKind KindOfDisk(char letter) override { return files_.KindOfDisk(letter); }
    std::optional<std::uint64_t> EntriesOnDrive(char letter) override {
        return files_.EntriesOnDrive(letter);
    }
    std::string WhyNotListed(const std::string& folder) override {
        return files_.WhyNotListed(folder);
    }
    bool IsFolder(const std::string& path) override { return files_.IsFolder(path); }
    std::optional<platform::FolderId> GetFolderId(const std::string& path) override {
        return files_.GetFolderId(path);
    }
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenInstallation(
        const std::string& path) override {
        return files_.OpenInstallation(path);
    }
    platform::Result<std::unique_ptr<platform::SourceFile>> OpenSourceFile(
        const std::string& path) override {
        return files_.OpenSourceFile(path);
    }
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolderFollowingLinks(
        const std::string& path) override {
        return files_.OpenFolderFollowingLinks(path);
    }
    bool ProgramRunsFrom(const platform::FolderId& program) override {
        return files_.ProgramRunsFrom(program);
    }
    std::optional<std::string> ApplicationUsing(const std::string& path) override {
        return files_.ApplicationUsing(path);
    }
    std::optional<std::string> BuiltInPackageList() override { return files_.BuiltInPackageList(); }
    std::unique_ptr<ThreadView> SeeFoldersAsTheyAre() override {
        return files_.SeeFoldersAsTheyAre();
    }
    std::string OwnExecutableFolder() override { return files_.OwnExecutableFolder(); }

  private:
    platform::FileSystem& files_;
    std::atomic<std::uint64_t> entries_{0};
};

}  // namespace engine
