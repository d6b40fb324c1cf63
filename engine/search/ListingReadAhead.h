// Folders listed ahead of the walk by a few threads, and handed to it in its
// own order.
//
// On a cold cache every listing is a disk read, and a walk that lists one
// folder at a time waits for each in turn, while a disk answers several
// requests at once nearly as fast as one: flash serves many in parallel, and
// a spinning disk's queue sorts them by place. So threads list the folders
// the walk will enter next while it works through the ones it has, and the
// walk takes each listing when it gets there; what it enters, shows and
// updates, and in which order, stays exactly what it was.
//
// A folder's place in the walk is the chain of subfolder indices that leads
// to it from the walk's root; compared lexicographically, places are in the
// depth-first order the walk enters folders in. A free thread always reads
// the earliest folder known and not yet read, so the reading runs just ahead
// of the walk. Only folders the walk is sure to enter are read: the
// subfolders of a listing read whole, or up to a failure half way (the walk
// searches what such a listing gave), but never a folder link, which the walk
// first checks against its ancestors and then lists itself, nor a folder
// deeper than real trees go.
//
// What is read ahead is bounded in listings and in bytes (the listings, the
// paths and places they were read at, and the subfolders still to read); no
// new reading starts while either bound is reached. A stop gives up every
// listing under way at its next entry.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/search/FolderListing.h"
#include "platform/FileSystem.h"

namespace engine {

class ListingReadAhead {
  public:
    // A folder's place in the walk: the index of each folder on the way among
    // its parent's subfolders, from the root's (an empty place) down.
    using Place = std::vector<std::uint32_t>;

    struct Limits {
        std::size_t listings = 2048;
        std::size_t bytes = std::size_t{4} << 20;
    };

    // Starts `threads` threads (fewer when the system refuses some; with none
    // nothing is read ahead). A stop of `stop` gives up what they read, as
    // does the end of the read-ahead.
    // Where `places` is given, subfolders it rules out are not read.
    ListingReadAhead(platform::FileSystem& files, std::string_view markerName, unsigned threads,
                     std::stop_token stop, Limits limits,
                     const InstallationPlaces* places = nullptr);
    ~ListingReadAhead();  // gives up the listings under way and waits for the threads
    ListingReadAhead(const ListingReadAhead&) = delete;
    ListingReadAhead& operator=(const ListingReadAhead&) = delete;

    // The listing of the folder at `place`, which the walk is entering: once
    // read, when it was read ahead; nullptr when it was not, or its reading
    // failed or was given up: the walk then lists the folder itself. Every
    // folder before `place` is forgotten.
    std::shared_ptr<const FolderListing> Take(const Place& place);

    // Whether a stop or the end of the read-ahead gave up its listings.
    bool Cancelled() const { return cancelled_; }

    // Reads ahead the subfolders of a folder the walk listed itself.
    void ReadSubfoldersOf(const Place& place, const std::string& path,
                          std::shared_ptr<const FolderListing> listing);

  private:
    // The subfolders of one listing that are still to be read, from `next`
    // on. Keyed in `toRead_` by the place of the `next` subfolder.
    struct Subfolders {
        std::shared_ptr<const FolderListing> listing;
        std::string path;  // of the folder listed
        std::size_t next = 0;
        std::size_t bytes = 0;
    };
    // A folder being read, or read and not yet taken.
    struct Reading {
        bool done = false;
        std::shared_ptr<const FolderListing> listing;  // null when not read whole
        std::string path;
        bool subfoldersAdded = false;  // false while they were past the bound
        std::size_t bytes = 0;
    };
    struct Job {
        Place place;
        std::string path;
        InstallationPlaces::Scope scope = InstallationPlaces::kEverything;
    };

    void Serve();
    Job NextJob();
    // Moves the subfolders' `next` past the one it names.
    void SkipSubfolder(std::map<Place, Subfolders>::iterator at);
    void Finish(Job job, const std::shared_ptr<const FolderListing>& listing);
    // False when they are past the bound in bytes.
    bool AddSubfolders(Place place, const std::string& path,
                       std::shared_ptr<const FolderListing> listing);
    bool HasRoom() const;
    void Cancel();

    platform::FileSystem& files_;
    std::string_view markerName_;
    const Limits limits_;
    const InstallationPlaces* places_;

    std::mutex mutex_;
    std::condition_variable workAvailable_;  // threads wait here for a folder to read
    std::condition_variable listingDone_;    // the walk waits here for the one it needs
    std::map<Place, Subfolders> toRead_;
    std::map<Place, Reading> reading_;
    std::size_t bytes_ = 0;
    bool walkWaits_ = false;
    std::atomic<bool> cancelled_ = false;  // read by the listings without the lock

    std::vector<std::jthread> threads_;
    std::optional<std::stop_callback<std::function<void()>>> onStop_;  // last: may run at once
};

}  // namespace engine
