#include "engine/search/FolderWalk.h"

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "platform/PathJoin.h"

namespace engine {

// One folder on the current path whose listing is still being worked
// through.
struct FolderWalk::Level {
    std::shared_ptr<const FolderListing> listing;
    std::size_t pathLength = 0;  // the folder's path is this long a prefix of the walk's
    std::size_t depth = 0;       // and its place this long a prefix of the walk's
    std::size_t nextFolder = 0;
    std::size_t nextMarker = 0;
    bool idRead = false;  // the folder's identity, read when a link first needs it
    std::optional<platform::FileId> id;
};

void FolderWalk::Run(const std::string& root, const InstallationPlaces* places) {
    places_ = places;
    std::vector<Level> stack;
    std::string path = root;
    Place place;
    const InstallationPlaces::Scope rootScope =
        places ? places->RootScope() : InstallationPlaces::kEverything;
    if (!Enter(path, place, rootScope, stack, nullptr))
        return;
    // The threads start once there is something to read.
    std::optional<ListingReadAhead> listedAhead;
    if (readAhead_.threads > 0 && !stack.empty()) {
        listedAhead.emplace(files_, markerName_, readAhead_.threads, readAhead_.stop,
                            readAhead_.limits, places_);
        listedAhead->ReadSubfoldersOf(place, path, stack.back().listing);
    }
    ListingReadAhead* const ahead = listedAhead ? &*listedAhead : nullptr;
    while (!stack.empty()) {
        Level& level = stack.back();
        const FolderListing& listing = *level.listing;
        path.resize(level.pathLength);
        if (level.nextMarker < listing.markers.size() &&
            listing.markers[level.nextMarker] <= level.nextFolder) {
            ++level.nextMarker;
            if (!visitor_.MarkerFound(path, level.id))
                return;
            continue;
        }
        if (level.nextFolder == listing.Subfolders()) {
            stack.pop_back();
            continue;
        }
        const std::size_t i = level.nextFolder++;
        if (listing.Skipped(i))
            continue;
        platform::AppendToPath(path, listing.Name(i));
        if (listing.isLink[i] && LeadsToAncestor(path, stack))
            continue;
        place.resize(level.depth);
        place.push_back(static_cast<std::uint32_t>(i));
        if (!Enter(path, place, listing.ScopeOf(i), stack, ahead))
            return;  // may grow the stack: `level` is stale from here
    }
}

bool FolderWalk::Enter(const std::string& path, const Place& place, InstallationPlaces::Scope scope,
                       std::vector<Level>& stack, ListingReadAhead* listedAhead) {
    if (!visitor_.EnterFolder(path))
        return false;
    std::shared_ptr<const FolderListing> listing;
    if (listedAhead) {
        listing = listedAhead->Take(place);
        // Asked once, as it would have been before the listing's first entry.
        if (listing && (listing->outcome == FolderListing::Outcome::Listed || listing->anyEntry) &&
            !visitor_.KeepListing()) {
            return false;
        }
    }
    if (!listing) {
        // A stop gave the read-ahead up: asked once, as it would have been
        // before the listing's first entry, so the folder is not read for
        // nothing.
        if (listedAhead && listedAhead->Cancelled() && !visitor_.KeepListing())
            return false;
        FolderListing read = FolderListing::Read(files_, path, markerName_,
                                                 [this] { return visitor_.KeepListing(); });
        read.Narrow(places_, scope);
        auto own = std::make_shared<const FolderListing>(std::move(read));
        if (own->outcome == FolderListing::Outcome::GivenUp)
            return false;
        if (listedAhead)
            listedAhead->ReadSubfoldersOf(place, path, own);
        listing = std::move(own);
    }
    // What a listing that failed half way gave is still searched.
    if (listing->outcome == FolderListing::Outcome::NotListed)
        visitor_.NotListed(path);
    if (listing->HasAnythingToVisit()) {
        Level level;
        level.pathLength = path.size();
        level.depth = place.size();
        level.idRead = !listing->markers.empty();
        level.id = listing->id;
        level.listing = std::move(listing);
        stack.push_back(std::move(level));
    }
    return true;
}

// Every folder on the stack is an ancestor of `path`: a level stays there
// exactly as long as the walk is below it.
bool FolderWalk::LeadsToAncestor(const std::string& path, std::vector<Level>& stack) {
    const std::optional<platform::FileId> target = files_.GetFolderId(path);
    if (!target)
        return false;  // unreadable: listing it will tell
    for (Level& ancestor : stack) {
        if (!ancestor.idRead) {
            ancestor.id = files_.GetFolderId(path.substr(0, ancestor.pathLength));
            ancestor.idRead = true;
        }
        if (ancestor.id == target)
            return true;
    }
    return false;
}

}  // namespace engine
