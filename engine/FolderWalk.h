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
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
                                 const std::optional<platform::FolderId>& id) = 0;
        // Asked before each entry of a listing is taken in; false gives up
        // the listing and ends the walk, so that a folder of millions of
        // entries cannot hold up the end of a walk.
        virtual bool KeepListing() { return true; }
        // Called for a folder entered whose listing failed; the walk goes on
        // without it.
        virtual void NotListed(const std::string& /*path*/) {}
    };

    // `markerName` is compared, in capitals, with the upper-cased names of
    // the files listed.
    FolderWalk(platform::FileSystem& files, std::string_view markerName, Visitor& visitor)
        : files_(files), markerName_(markerName), visitor_(visitor) {}

    // Walks `root` and everything below it.
    void Run(const std::string& root);

  private:
    struct Level;
    // Enters the folder `path` and, when it has anything to visit, pushes its
    // level; false when the visitor ends the walk.
    bool Enter(const std::string& path, std::vector<Level>& stack);
    bool LeadsToAncestor(const std::string& path, std::vector<Level>& stack);

    platform::FileSystem& files_;
    std::string_view markerName_;
    Visitor& visitor_;
};

}  // namespace engine
