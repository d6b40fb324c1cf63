// Opening the installation and listing it: the folders on the way to every
// destination, what of an earlier run's stands there, and the names that
// would be ambiguous.
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "engine/Texts.h"
#include "engine/update/FileBytes.h"
#include "engine/update/FolderNames.h"
#include "engine/update/InstallationRepair.h"
#include "engine/update/InstallationUpdateParts.h"
#include "engine/update/RefusedAsItStands.h"

namespace engine {

using platform::FileError;
using wording::Describe;
using wording::Joined;
using wording::Reason;

InstallationUpdate::Refusal InstallationUpdate::Open() {
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

InstallationUpdate::Refusal InstallationUpdate::Reopen() {
    // Whatever the path leads to now, it must be the folder repaired.
    if (const std::optional<platform::FileId> id = root_->Id())
        listed_ = id;
    targets_.clear();
    folders_.clear();
    root_.reset();
    return Open();
}

platform::Result<platform::MachineKey> InstallationUpdate::Key() {
    if (!key_) {
        key_ = files_.JournalKey(platform::KeyUse::ReadOrMake);
        keyReplaced_ = files_.JournalKeyReplaced();
    }
    if (!*key_)
        return key_->Error();
    const std::optional<platform::FileId> id = root_->Id();
    if (!id)
        return FileError{FileError::Kind::Other, "the installation folder's identity is unknown"};
    return InstallationKey(**key_, *id);
}

void InstallationUpdate::TidyDrafts(UpdateOutcome& outcome) {
    for (const std::string& draft : drafts_) {
        // Only a draft this program can be shown to have begun, whole or
        // cut short as a journal can be, is deleted.
        auto file = root_->OpenFile(draft);
        if (!file)
            continue;
        auto text = ReadSmallFile(**file, kLargestJournal);
        file->reset();
        auto key = Key();
        if (!text || !*text || !key)
            continue;
        // An empty one, as a run killed between creating it and writing it
        // leaves, is ours only where its name is keyed: anyone can make one.
        const ReadJournal read = ParseJournal(**text, *key);
        const bool emptyOfOurs = (*text)->empty() && IsKeyedRunIdentity(RunOfDraft(draft), *key);
        if (emptyOfOurs || std::holds_alternative<Journal>(read) ||
            std::holds_alternative<JournalCutShort>(read)) {
            // Its run was cut short before its journal took its name, so
            // before anything else was changed.
            if (!TryForAWhile(patience_, [&] { return root_->Delete(draft); })) {
                outcome.repaired = Joined(installation_, text::kInterruptedUndone);
                Move(UpdateStanding::Event::DraftDeleted);
            }
        }
    }
    drafts_.clear();
}

InstallationUpdate::Refusal InstallationUpdate::Survey() {
    targets_.clear();
    folders_.clear();
    drafts_.clear();
    FolderNames rootNames;
    if (!root_->List([&](const platform::FolderEntry& entry) {
            rootNames.Add(entry);
            if (!entry.isFolder && !entry.isLink && IsJournalDraftName(entry.name))
                drafts_.emplace_back(entry.name);
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
        return Reason(Joined(installation_ + '\\', kJournalName), refused->why);
    const FolderNames::Entry* journal = rootNames.Find(kJournalName);
    Move(journal ? UpdateStanding::Event::ListedJournal : UpdateStanding::Event::Listed);
    journalName_ = journal ? journal->name : std::string(kJournalName);
    if (refused)
        return Reason(Joined(installation_ + '\\', refused->name), refused->why);

    for (std::size_t row = 0; row < kReplacements.size(); ++row) {
        if (kReplacements[row].onlyWithXtras && !hasXtras_)
            continue;
        Target& target = targets_.emplace_back();
        target.row = row;
        if (Refusal refusal = ReachFolderOf(target, rootNames))
            return refusal;
    }
    for (const Target& target : targets_) {
        if (target.unreachable)
            return target.unreachable;
    }
    return std::nullopt;
}

InstallationUpdate::Refusal InstallationUpdate::ReachFolderOf(Target& target,
                                                              const FolderNames& rootNames) {
    // Each folder on the way is opened relative to the one before and listed
    // through its handle; a link there is refused.
    platform::FolderHandle* folder = root_.get();
    const FolderNames* names = &rootNames;
    FolderNames listed;  // of the folder reached last, below the root
    std::string path = installation_;
    for (std::string_view component : target.Row().folders) {
        if (component.empty())
            continue;
        path.append("\\").append(component);
        if (names->Ambiguous(component))
            return Reason(path, text::kNamesDifferOnlyInCase);
        const FolderNames::Entry* entry = names->Find(component);
        auto opened = folder->OpenFolder(entry ? entry->name : std::string(component));
        if (!opened) {
            target.unreachable = Describe(entry ? path : FilePath(target.row), opened.Error());
            return std::nullopt;
        }
        folder = folders_.emplace_back(std::move(*opened)).get();
        listed = FolderNames();
        names = &listed;
        if (!folder->List([&](const platform::FolderEntry& inside) {
                listed.Add(inside);
                return true;
            })) {
            target.unreachable = Reason(path, text::kCannotList);
            return std::nullopt;
        }
    }
    if (names->Ambiguous(target.Row().file))
        return Reason(FilePath(target.row), text::kNamesDifferOnlyInCase);
    target.folder = folder;
    const FolderNames::Entry* destination = names->Find(target.Row().file);
    target.exists = destination != nullptr;
    target.name = destination ? destination->name : std::string(target.Row().file);
    return std::nullopt;
}

}  // namespace engine
