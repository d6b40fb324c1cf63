// File services that note every folder listed through them, in order. The
// search lists each folder it enters just after entering it, so this is how a
// test sees the walk's order now that the status line need not show every
// folder.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace engine_test {

class ListingLog : public platform::FileSystem {
  public:
    explicit ListingLog(platform::FileSystem& files) : files_(files) {}

    // Listings are only counted when false: some walks' paths are huge.
    bool record = true;
    std::size_t count = 0;
    std::vector<std::string> listed;

    std::uint32_t LogicalDrives() override { return files_.LogicalDrives(); }
    platform::DriveType GetDriveType(char letter) override { return files_.GetDriveType(letter); }
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override {
        ++count;
        if (record)
            listed.push_back(folder);
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
    std::string OwnExecutableFolder() override { return files_.OwnExecutableFolder(); }

    // The folders the search entered, in order: every folder listed, but the
    // package's, and each once, since a refresh lists its installation again.
    std::vector<std::string> FoldersEntered(const std::string& packageFolder) const {
        std::vector<std::string> entered;
        std::set<std::string> seen{packageFolder};
        for (const std::string& folder : listed) {
            if (seen.insert(folder).second)
                entered.push_back(folder);
        }
        return entered;
    }

  private:
    platform::FileSystem& files_;
};

}  // namespace engine_test
