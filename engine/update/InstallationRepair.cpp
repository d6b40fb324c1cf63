#include "engine/update/InstallationRepair.h"

#include "engine/update/FileBytes.h"

namespace engine {

using platform::Failure;
using platform::FileError;

platform::Result<ReadJournal> ReadJournalFrom(platform::SourceFile& file,
                                              const platform::MachineKey& key) {
    auto text = ReadSmallFile(file, kLargestJournal);
    if (!text)
        return text.Error();
    return *text ? ParseJournal(**text, key) : ReadJournal(NotAJournal{});
}

platform::Result<ReadJournal> ReadJournalIn(platform::FolderHandle& root,
                                            const platform::MachineKey& key,
                                            const Patience& patience) {
    platform::Result<ReadJournal> read = ReadJournal(NotAJournal{});
    const Failure failure = TryForAWhile(
        patience,
        [&]() -> Failure {
            auto file = root.OpenFile(kJournalName);
            if (!file)
                return file.Error();
            read = ReadJournalFrom(**file, key);
            return read ? Failure() : read.Error();
        },
        RetryOn::InUseOnly);
    if (failure)
        return *failure;
    return read;
}

std::vector<platform::FolderHandle*> FoldersOfTargets(
    const Journal& journal,
    const std::function<platform::FolderHandle*(std::size_t row)>& folderOf) {
    std::vector<platform::FolderHandle*> folders;
    folders.reserve(journal.targets.size());
    for (const JournalTarget& entry : journal.targets)
        folders.push_back(folderOf(entry.row));
    return folders;
}

TargetOnDisk ReadTargetOnDisk(platform::FolderHandle& folder, const JournalTarget& target,
                              const Patience& patience) {
    TargetOnDisk seen;
    auto read = [&](const std::string& name, std::optional<Bytes>& into) {
        auto bytes = BytesAt(folder, name, patience);
        if (bytes)
            into = *bytes;
        else
            seen.unreadable = true;
    };
    read(target.destination, seen.destination);
    read(target.staged, seen.staged);
    read(target.backup, seen.backup);
    return seen;
}

Failure InstallationRepair::Delete(platform::FolderHandle& folder, const std::string& name) {
    Failure failure = TryForAWhile(patience_, [&] { return folder.Delete(name); });
    if (failure && failure->kind == FileError::Kind::NotFound)
        return std::nullopt;  // gone already
    return failure;
}

Failure InstallationRepair::Rename(platform::FolderHandle& folder, const std::string& from,
                                   const std::string& to) {
    return TryForAWhile(patience_, [&] { return folder.Rename(from, to); });
}

bool InstallationRepair::StagedCutShort(std::size_t i) {
    const JournalTarget& target = journal_.targets[i];
    if (!package_)
        return false;
    const PackageFile& source = package_->File(target.row);
    if (Bytes{source.size, source.digest} != target.after)
        return false;
    auto part = folders_[i]->OpenFile(target.staged);
    auto whole = package_->Open(target.row);
    if (!part || !whole)
        return false;
    auto cut = IsCopyCutShort(**part, **whole);
    return cut && *cut;
}

std::optional<InstallationRepair::Done> InstallationRepair::Run(Failed& failure) {
    const std::vector<JournalTarget>& targets = journal_.targets;
    // Everything is looked at before anything is touched: a journal that
    // does not match the files leaves them all as they are.
    std::vector<TargetOnDisk> seen;
    bool forward = true;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!folders_[i]) {
            failure = {i, {FileError::Kind::NotFound, {}}, true};
            return std::nullopt;
        }
        seen.push_back(ReadTargetOnDisk(*folders_[i], targets[i], patience_));
        forward = forward && seen.back().IsNew(targets[i]);
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const JournalTarget& target = targets[i];
        const TargetOnDisk& on = seen[i];
        const bool backupIsOld = on.backup && target.existed && *on.backup == target.before;
        bool sound = !on.unreadable && (!on.backup || backupIsOld);
        if (!forward && !on.IsOld(target)) {
            // The old bytes must be there to go back: in the backup, with
            // the new ones (if any) in the destination and nothing in the
            // way of moving them back to their staged name.
            const bool newInPlace = on.IsNew(target) && !on.staged;
            const bool destinationFree = !on.destination;
            sound = sound && (newInPlace || destinationFree) && (!target.existed || backupIsOld);
        }
        if (!sound) {
            failure = {i, {FileError::Kind::Changed, {}}, true};
            return std::nullopt;
        }
    }

    auto fail = [&](std::size_t i, FileError error) {
        failure = {i, std::move(error), false};
        return std::nullopt;
    };
    if (!forward) {
        // As the update's own undo does: each new file back to its staged
        // name, then the old one back to its own, the last target first.
        for (std::size_t i = targets.size(); i-- > 0;) {
            const JournalTarget& target = targets[i];
            if (seen[i].IsOld(target))
                continue;
            if (seen[i].destination) {
                if (Failure f = Rename(*folders_[i], target.destination, target.staged))
                    return fail(i, *f);
                seen[i].staged = seen[i].destination;
            }
            if (target.existed) {
                if (Failure f = Rename(*folders_[i], target.backup, target.destination))
                    return fail(i, *f);
                seen[i].backup.reset();
            }
        }
    }
    // Every destination now holds what the repair settles on; what is left
    // of the update's own names goes.
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (seen[i].staged && *seen[i].staged != targets[i].after && !StagedCutShort(i)) {
            keptStaged_.push_back(i);
        } else if (seen[i].staged) {
            if (Failure f = Delete(*folders_[i], targets[i].staged))
                return fail(i, *f);
        }
        if (seen[i].backup) {
            if (Failure f = Delete(*folders_[i], targets[i].backup))
                return fail(i, *f);
        }
    }
    // The journal last: until it goes, a repair cut short is repaired again.
    if (Failure f = Delete(root_, journal_.CommitRecord()))
        return fail(targets.size(), *f);
    if (Failure f = Delete(root_, std::string(kJournalName)))
        return fail(targets.size(), *f);
    return forward ? Done::Completed : Done::Undone;
}

}  // namespace engine
