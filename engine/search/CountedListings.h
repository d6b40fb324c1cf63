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

#include "platform/ForwardingFileSystem.h"

namespace engine {

class CountedListings final : public platform::ForwardingFileSystem {
  public:
    explicit CountedListings(platform::FileSystem& files) : ForwardingFileSystem(files) {}

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

  private:
    std::atomic<std::uint64_t> entries_{0};
};

}  // namespace engine
