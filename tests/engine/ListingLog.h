// File services that note every folder listed through them, in order. The
// search lists each folder it enters just after entering it, so this is how a
// test sees the walk's order now that the status line need not show every
// folder.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "platform/ForwardingFileSystem.h"

namespace engine_test {

class ListingLog : public platform::ForwardingFileSystem {
  public:
    explicit ListingLog(platform::FileSystem& files) : ForwardingFileSystem(files) {}

    // Listings are only counted when false: some walks' paths are huge.
    bool record = true;
    std::size_t count = 0;
    std::vector<std::string> listed;

    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override {
        ++count;
        if (record)
            listed.push_back(folder);
        return files_.ListFolder(folder, onEntry);
    }

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
};

}  // namespace engine_test
