#include "engine/search/FolderListing.h"

#include "platform/AsciiCase.h"

namespace engine {

FolderListing FolderListing::Read(platform::FileSystem& files, const std::string& path,
                                  std::string_view markerName,
                                  const std::function<bool()>& keepListing) {
    FolderListing listing;
    bool givenUp = false;
    const bool listed = files.ListFolder(path, [&](const platform::FolderEntry& entry) {
        listing.anyEntry = true;
        if (!keepListing()) {
            givenUp = true;
            return false;
        }
        if (entry.isFolder) {
            if (entry.name == "." || entry.name == "..")
                return true;
            listing.names += entry.name;
            listing.nameEnds.push_back(listing.names.size());
            listing.isLink.push_back(entry.isLink);
        } else if (platform::UpperCaseEquals(entry.name, markerName)) {
            listing.markers.push_back(listing.nameEnds.size());
        }
        return true;
    });
    listing.outcome = givenUp ? Outcome::GivenUp : listed ? Outcome::Listed : Outcome::NotListed;
    // Few folders hold the marker, so the walk hardly pays for this.
    if (listing.outcome != Outcome::GivenUp && !listing.markers.empty())
        listing.id = files.GetFolderId(path);
    return listing;
}

void FolderListing::Narrow(const InstallationPlaces* places, InstallationPlaces::Scope scope) {
    if (places == nullptr || scope == InstallationPlaces::kEverything)
        return;
    scopes.reserve(Subfolders());
    for (std::size_t i = 0; i < Subfolders(); ++i)
        scopes.push_back(places->Child(scope, Name(i), isLink[i]));
}

std::size_t FolderListing::Bytes() const {
    return sizeof(FolderListing) + names.capacity() + scopes.capacity() * sizeof(scopes[0]) +
           (nameEnds.capacity() + markers.capacity()) * sizeof(std::size_t) + isLink.capacity() / 8;
}

}  // namespace engine
