#include "engine/FolderWalk.h"

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/AsciiCase.h"

namespace engine {

// One folder on the current path whose listing is still being worked
// through. Only what the rest of the walk needs is kept: the subfolders'
// names, back to back in one buffer, and where among them the marker files
// stood. Other files are forgotten as they are listed, so a folder of a
// million files costs next to nothing here.
struct FolderWalk::Level {
    std::size_t pathLength = 0;         // the folder's path is this long a prefix of the walk's
    std::string names;                  // the subfolders' names, one after another
    std::vector<std::size_t> nameEnds;  // where each name ends in `names`
    std::vector<bool> isLink;           // whether each subfolder is a folder link
    std::vector<std::size_t> markers;   // for each marker file: subfolders listed before it
    std::size_t nextFolder = 0;
    std::size_t nextMarker = 0;
    bool idRead = false;  // the folder's identity, read when a link first needs it
    std::optional<platform::FolderId> id;

    std::string_view Name(std::size_t i) const {
        const std::size_t start = i == 0 ? 0 : nameEnds[i - 1];
        return std::string_view(names).substr(start, nameEnds[i] - start);
    }
};

void FolderWalk::Run(const std::string& root) {
    std::vector<Level> stack;
    std::string path = root;
    if (!Enter(path, stack))
        return;
    while (!stack.empty()) {
        Level& level = stack.back();
        path.resize(level.pathLength);
        if (level.nextMarker < level.markers.size() &&
            level.markers[level.nextMarker] <= level.nextFolder) {
            ++level.nextMarker;
            if (!visitor_.MarkerFound(path, level.id))
                return;
            continue;
        }
        if (level.nextFolder == level.nameEnds.size()) {
            stack.pop_back();
            continue;
        }
        const std::size_t i = level.nextFolder++;
        path += '\\';
        path += level.Name(i);
        if (level.isLink[i] && LeadsToAncestor(path, stack))
            continue;
        if (!Enter(path, stack))
            return;  // may grow the stack: `level` is stale from here
    }
}

bool FolderWalk::Enter(const std::string& path, std::vector<Level>& stack) {
    if (!visitor_.EnterFolder(path))
        return false;
    Level level;
    level.pathLength = path.size();
    bool givenUp = false;
    const bool listed = files_.ListFolder(path, [&](const platform::FolderEntry& entry) {
        if (!visitor_.KeepListing()) {
            givenUp = true;
            return false;
        }
        if (entry.isFolder) {
            if (entry.name == "." || entry.name == "..")
                return true;
            level.names += entry.name;
            level.nameEnds.push_back(level.names.size());
            level.isLink.push_back(entry.isLink);
        } else if (platform::UpperCaseEquals(entry.name, markerName_)) {
            level.markers.push_back(level.nameEnds.size());
        }
        return true;
    });
    if (givenUp)
        return false;
    if (!listed)
        visitor_.NotListed(path);
    // A folder that cannot be listed is passed over, like an empty one.
    // A folder that holds the marker is read for its identity at once, so
    // that the installation changed later is known to be the folder listed
    // here. Few folders hold it, so the walk hardly pays for this.
    if (listed && !level.markers.empty()) {
        level.id = files_.GetFolderId(path);
        level.idRead = true;
    }
    if (listed && (!level.nameEnds.empty() || !level.markers.empty())) {
        stack.push_back(std::move(level));
    }
    return true;
}

// Every folder on the stack is an ancestor of `path`: a level stays there
// exactly as long as the walk is below it.
bool FolderWalk::LeadsToAncestor(const std::string& path, std::vector<Level>& stack) {
    const std::optional<platform::FolderId> target = files_.GetFolderId(path);
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
