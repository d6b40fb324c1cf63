// The depth-first walk of a folder tree that the installation search rests on.
//
// It visits folders in exactly the order a recursive walk in listing order
// would, and tells its visitor where a marker file stands among the
// subfolders, so that a subfolder listed before the marker is searched before
// the marker is handled and one listed after it afterwards. Unlike a recursive
// walk it holds no listing open while it descends and keeps its own stack, so
// neither the depth of a tree nor the size of a folder can exhaust the
// thread's stack or the process's handles. A folder link that leads back to a
// folder on the current path is not entered again, which ends link cycles.
// Threads may list folders ahead of it (ListingReadAhead.h); what the visitor
// hears, and in which order, is the same with them as without.
#pragma once

#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/search/FolderListing.h"
#include "engine/search/ListingReadAhead.h"
#include "platform/FileSystem.h"

namespace engine {

class FolderWalk {
  public:
    class Visitor {
      public:
        virtual ~Visitor() = default;
        // Called for each folder before it is listed; false ends the walk.
        virtual bool EnterFolder(const std::string& path) = 0;
        // Called where a file named like the marker stands in the listing of
        // `folder`; `id` is that folder's identity, read as it was listed
        // (nullopt when it could not be read). False ends the walk.
        virtual bool MarkerFound(const std::string& folder,
                                 const std::optional<platform::FileId>& id) = 0;
        // Asked before each entry of a listing is taken in; false gives up
        // the listing and ends the walk, so that a folder of millions of
        // entries cannot hold up the end of a walk.
        virtual bool KeepListing() { return true; }
        // Called for a folder entered whose listing failed; the walk goes on
        // without it.
        virtual void NotListed(const std::string& /*path*/) {}
    };

    // How many threads list folders ahead of the walk; with none the walk
    // lists each folder itself as it enters it. A stop of `stop` gives up
    // what they are listing; the visitor still decides when the walk ends.
    struct ReadAhead {
        unsigned threads = 0;
        std::stop_token stop;
        ListingReadAhead::Limits limits;
    };

    // `markerName` is compared, in capitals, with the upper-cased names of
    // the files listed.
    FolderWalk(platform::FileSystem& files, std::string_view markerName, Visitor& visitor,
               ReadAhead readAhead)
        : files_(files),
          markerName_(markerName),
          visitor_(visitor),
          readAhead_(std::move(readAhead)) {}
    FolderWalk(platform::FileSystem& files, std::string_view markerName, Visitor& visitor)
        : FolderWalk(files, markerName, visitor, ReadAhead{}) {}

    // Walks `root` and everything below it; where `places` is given (the
    // drive's file table was read), only the subfolders it does not rule out.
    void Run(const std::string& root, const InstallationPlaces* places = nullptr);

  private:
    struct Level;
    using Place = ListingReadAhead::Place;
    // Enters the folder `path`, at `place` in the walk, and, when it has
    // anything to visit, pushes its level; false when the visitor ends the
    // walk. `listedAhead` is null when nothing is read ahead.
    bool Enter(const std::string& path, const Place& place, InstallationPlaces::Scope scope,
               std::vector<Level>& stack, ListingReadAhead* listedAhead);
    bool LeadsToAncestor(const std::string& path, std::vector<Level>& stack);

    platform::FileSystem& files_;
    std::string_view markerName_;
    Visitor& visitor_;
    ReadAhead readAhead_;
    const InstallationPlaces* places_ = nullptr;
};

}  // namespace engine
