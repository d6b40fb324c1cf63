#include "engine/search/DriveTable.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "engine/filetable/ChangeJournal.h"
#include "engine/filetable/FileTable.h"

namespace engine {
namespace {

// More folders changed during one search than this, and the drive is walked
// whole again: that costs no more, and the set of them stays small.
constexpr std::size_t kMostChangedFolders = 4096;

using Reference = std::pair<std::uint64_t, std::uint16_t>;  // record and sequence number

Reference Of(const platform::FileReference& reference) {
    return {reference.record, reference.sequence};
}

}  // namespace

DriveTable::DriveTable(platform::FileSystem& files, char letter, std::string_view markerName,
                       bool walkOnly, const std::function<bool(std::uint64_t)>& keepReading) {
    if (walkOnly) {
        how_ = "walk: SORAMIDO_SEARCH=walk";
        return;
    }
    const auto started = std::chrono::steady_clock::now();
    platform::Result<std::unique_ptr<platform::RawVolume>> volume = files.OpenRawVolume(letter);
    if (!volume) {
        how_ = "walk: " + volume.Error().description;
        return;
    }
    volume_ = std::move(*volume);
    // Noted before the flush: a change made between the two is then in the
    // journal, if not in the table; noted after, it could be in neither.
    platform::Result<std::optional<platform::JournalPosition>> journal = volume_->JournalNow();
    if (!journal) {
        how_ = "walk: the change journal could not be read: " + journal.Error().description;
        return;
    }
    journal_ = *journal;
    // NTFS keeps recent changes to its table in memory: unflushed, the table
    // read can be older than the folders, and a folder it shows nothing
    // below would be left out.
    if (const platform::Failure failed = volume_->Flush()) {
        how_ = "walk: the volume could not be flushed: " + failed->description;
        return;
    }
    FileTableRead read = ReadFileTable(*volume_, markerName, keepReading);
    records_ = read.records;
    if (!read.places) {
        how_ = "walk: " + read.why;
        return;
    }
    places_ = std::move(read.places);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", took.count());
    how_ = "file table, " + std::to_string(read.records) + " records, " + seconds + " s";
    if (!journal_)
        how_ += ", no change journal";
}

DriveTable::Changes DriveTable::SinceRead() {
    if (!places_ || !journal_)
        return Changes::None;
    const auto whole = [&](const std::string& why) {
        places_.reset();
        how_ = "walk: " + why;
        return Changes::Whole;
    };
    // The folders that gained, lost or renamed an entry, and the parent of
    // each folder made meanwhile, which the table cannot know.
    std::set<Reference> changed;
    std::map<Reference, Reference> made;
    bool tooMany = false;
    const platform::Failure failed =
        ReadChangesSince(*volume_, *journal_, [&](const platform::VolumeChange& change) {
            if ((change.reasons & platform::change_reason::kOfEntries) == 0)
                return true;
            changed.insert(Of(change.folder));
            if (change.isFolder && (change.reasons & (platform::change_reason::kCreated |
                                                      platform::change_reason::kNewName)) != 0) {
                const auto [at, added] = made.try_emplace(Of(change.file), Of(change.folder));
                if (!added && (change.reasons & platform::change_reason::kNewName) != 0)
                    at->second = Of(change.folder);  // moved since it was made
            }
            tooMany = changed.size() > kMostChangedFolders || made.size() > kMostChangedFolders;
            return !tooMany;
        });
    if (failed)
        return whole("the change journal could not be read: " + failed->description);
    if (tooMany) {
        // Appended, not added up: i686 GCC 12 sees an overlap in the
        // inlined concatenation of a literal and a temporary (-Wrestrict).
        std::string why = "more than ";
        why.append(std::to_string(kMostChangedFolders))
            .append(" folders changed during the search");
        return whole(why);
    }
    if (changed.empty())
        return Changes::None;
    // A folder made during the search is searched from the nearest folder
    // above it that the table knows: its listing shows the new one, which
    // the table does not, and that is searched whole.
    std::vector<platform::FileReference> folders;
    for (Reference folder : changed) {
        for (std::size_t up = 0; up <= made.size(); ++up) {
            const auto parent = made.find(folder);
            if (parent == made.end() || parent->second == folder)
                break;
            folder = parent->second;
        }
        folders.push_back({folder.first, folder.second});
    }
    std::string why;
    if (!places_->FollowChanges(folders, why))
        return whole(why);
    return Changes::Folders;
}

}  // namespace engine
