// What the walk keeps of one folder's listing, read whole before the walk
// descends: the subfolders' names, back to back in one buffer, whether each
// is a folder link, and where among them the marker files stood. Other files
// are forgotten as they are listed, so a folder of a million files costs next
// to nothing here. A folder that holds the marker is read for its identity at
// once, so that the installation changed later is known to be the folder
// listed here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/filetable/InstallationPlaces.h"
#include "platform/FileSystem.h"

namespace engine {

struct FolderListing {
    enum class Outcome : std::uint8_t {
        Listed,
        // The folder could not be listed whole: at its open, when nothing was
        // taken in and it is passed over like an empty one, or half way, when
        // what was taken in is searched all the same.
        NotListed,
        GivenUp,  // the listing was given up half way; what was taken in is not whole
    };

    Outcome outcome = Outcome::Listed;
    bool anyEntry = false;               // the listing gave at least one entry
    std::string names;                   // the subfolders' names, one after another
    std::vector<std::size_t> nameEnds;   // where each name ends in `names`
    std::vector<bool> isLink;            // whether each subfolder is a folder link
    std::vector<std::size_t> markers;    // for each marker file: subfolders listed before it
    std::optional<platform::FileId> id;  // read with the listing when it holds a marker
    // Where a drive's file table was read: each subfolder's scope, what the
    // search is to do there. Empty when everything below is searched.
    std::vector<InstallationPlaces::Scope> scopes;

    // Lists `path`, comparing the upper-cased names of files with
    // `markerName` (in capitals). `keepListing` is asked before each entry is
    // taken in; false gives the listing up.
    static FolderListing Read(platform::FileSystem& files, const std::string& path,
                              std::string_view markerName,
                              const std::function<bool()>& keepListing);

    std::size_t Subfolders() const { return nameEnds.size(); }
    std::string_view Name(std::size_t i) const {
        const std::size_t start = i == 0 ? 0 : nameEnds[i - 1];
        return std::string_view(names).substr(start, nameEnds[i] - start);
    }
    // Gives each subfolder its scope within a folder searched in `scope`.
    void Narrow(const InstallationPlaces* places, InstallationPlaces::Scope scope);
    InstallationPlaces::Scope ScopeOf(std::size_t i) const {
        return scopes.empty() ? InstallationPlaces::kEverything : scopes[i];
    }
    bool Skipped(std::size_t i) const {
        return !scopes.empty() && scopes[i] == InstallationPlaces::kNowhere;
    }
    // Whether the walk has anything to do in the folder.
    bool HasAnythingToVisit() const {
        return outcome != Outcome::GivenUp && (!nameEnds.empty() || !markers.empty());
    }
    // The memory the listing holds, about.
    std::size_t Bytes() const;
};

}  // namespace engine
