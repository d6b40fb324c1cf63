#include "engine/update/InstallationSurvey.h"

#include <utility>

#include "engine/Texts.h"
#include "engine/update/DestinationPath.h"
#include "engine/update/FailureWording.h"
#include "engine/update/FolderNames.h"
#include "engine/update/KeptSets.h"
#include "engine/update/RefusedAsItStands.h"
#include "engine/update/UpdateJournal.h"
#include "platform/PathJoin.h"

namespace engine {

using platform::FileError;
using wording::Describe;
using wording::Reason;

InstallationSurvey::InstallationSurvey(platform::FileSystem& files, std::string installation,
                                       std::optional<platform::FileId> listed)
    : files_(files), installation_(std::move(installation)), listed_(listed) {}

InstallationSurvey::~InstallationSurvey() = default;

InstallationSurvey::Refusal InstallationSurvey::Open() {
    if (root_)
        return std::nullopt;
    auto opened = files_.OpenFolderNoLink(installation_);
    // A link that led the search to an installation leads the update there
    // too, but only to the very folder the search saw.
    if (!opened && opened.Error().kind == FileError::Kind::Link && listed_)
        opened = files_.OpenFolderFollowingLinks(installation_);
    if (!opened)
        return Describe(installation_, opened.Error());
    // The folder now at the path must be the one the search listed; from
    // here on the handle keeps it so, whatever becomes of the path.
    if (listed_ && (*opened)->Id() != listed_)
        return Reason(installation_, text::kFolderReplaced);
    root_ = std::move(*opened);
    return std::nullopt;
}

InstallationSurvey::Refusal InstallationSurvey::Reopen() {
    // Whatever the path leads to now, it must be the folder repaired.
    if (const std::optional<platform::FileId> id = root_->Id())
        listed_ = id;
    destinations_.clear();
    folders_.clear();
    root_.reset();
    return Open();
}

InstallationSurvey::Refusal InstallationSurvey::List(UpdateStanding& standing) {
    destinations_.clear();
    folders_.clear();
    drafts_.clear();
    keptJournals_.clear();
    FolderNames rootNames;
    if (!root_->List([&](const platform::FolderEntry& entry) {
            rootNames.Add(entry);
            if (!entry.isFolder && !entry.isLink && IsJournalDraftName(entry.name))
                drafts_.emplace_back(entry.name);
            if (!entry.isFolder && !entry.isLink && IsKeptJournalName(entry.name))
                keptJournals_.emplace_back(entry.name);
            return true;
        })) {
        return Reason(installation_, text::kCannotList);
    }
    const FolderNames::Entry* marker = rootNames.Find(kProductFile);
    productFile_ = marker ? marker->name : std::string(kProductFile);

    // Known before anything may refuse the installation, so that its lines
    // are all there whatever the refusal.
    const FolderNames::Entry* xtras = rootNames.Find(kXtrasFolderName);
    hasXtras_ = xtras && xtras->isFolder;

    // Something of the journal's name that is refused for its name alone
    // was never listed as a journal; anything else refused is listed beside
    // the journal that stands there.
    const std::optional<StandingRefusal> refused = RefusedAsItStands(rootNames);
    if (refused && refused->name == kJournalName)
        return Reason(PathInRoot(kJournalName), refused->why);
    const FolderNames::Entry* journal = rootNames.Find(kJournalName);
    standing.Move(journal ? UpdateStanding::Event::ListedJournal : UpdateStanding::Event::Listed);
    journalName_ = journal ? journal->name : std::string(kJournalName);
    if (refused)
        return Reason(PathInRoot(refused->name), refused->why);

    for (std::size_t row = 0; row < kReplacements.size(); ++row) {
        if (kReplacements[row].onlyWithXtras && !hasXtras_)
            continue;
        Destination& destination = destinations_.emplace_back();
        destination.row = row;
        if (Refusal refusal = Reach(destination, rootNames))
            return refusal;
    }
    for (const Destination& destination : destinations_) {
        if (destination.unreachable)
            return destination.unreachable;
    }
    return std::nullopt;
}

InstallationSurvey::Refusal InstallationSurvey::Reach(Destination& destination,
                                                      const FolderNames& rootNames) {
    // Each folder on the way is opened relative to the one before and listed
    // through its handle; a link there is refused.
    platform::FolderHandle* folder = root_.get();
    const FolderNames* names = &rootNames;
    FolderNames listed;  // of the folder reached last, below the root
    std::string path = installation_;
    for (std::string_view component : destination.Row().folders) {
        if (component.empty())
            continue;
        platform::AppendToPath(path, component);
        if (names->Ambiguous(component))
            return Reason(path, text::kNamesDifferOnlyInCase);
        const FolderNames::Entry* entry = names->Find(component);
        auto opened = folder->OpenFolder(entry ? entry->name : std::string(component));
        if (!opened) {
            destination.unreachable =
                Describe(entry ? path : PathOf(destination.row), opened.Error());
            return std::nullopt;
        }
        folder = folders_.emplace_back(std::move(*opened)).get();
        listed = FolderNames();
        names = &listed;
        if (!folder->List([&](const platform::FolderEntry& inside) {
                listed.Add(inside);
                return true;
            })) {
            destination.unreachable = Reason(path, text::kCannotList);
            return std::nullopt;
        }
    }
    if (names->Ambiguous(destination.Row().file))
        return Reason(PathOf(destination.row), text::kNamesDifferOnlyInCase);
    destination.folder = folder;
    const FolderNames::Entry* found = names->Find(destination.Row().file);
    destination.exists = found != nullptr;
    destination.name = found ? found->name : std::string(destination.Row().file);
    return std::nullopt;
}

platform::FolderHandle* InstallationSurvey::FolderOf(std::size_t row) const {
    for (const Destination& destination : destinations_) {
        if (destination.row == row)
            return destination.folder;
    }
    return nullptr;
}

std::string InstallationSurvey::PathOf(std::size_t row) const {
    return DestinationPath(installation_, row);
}

std::string InstallationSurvey::PathBeside(std::size_t row, std::string_view name) const {
    return platform::JoinPath(FolderOfRow(installation_, row), name);
}

std::string InstallationSurvey::PathInRoot(std::string_view name) const {
    return platform::JoinPath(installation_, name);
}

}  // namespace engine
