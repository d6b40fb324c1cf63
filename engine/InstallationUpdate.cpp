#include "engine/InstallationUpdate.h"

#include <array>
#include <cstddef>
#include <span>
#include <thread>
#include <utility>

#include "engine/FolderNames.h"
#include "engine/Texts.h"

namespace engine {
namespace {

using platform::Failure;
using platform::FileError;

constexpr std::string_view kMarkerFile = "SKM300.EXE";

std::string Joined(std::string_view a, std::string_view b) {
    std::string joined;
    joined.reserve(a.size() + b.size());
    joined.append(a).append(b);
    return joined;
}

// The name of a leftover that `names` holds for `file`, as it stands on disk;
// empty when there is none.
std::string LeftoverName(const FolderNames& names, std::string_view file, std::string_view suffix) {
    const FolderNames::Entry* entry = names.Find(Joined(file, suffix));
    return entry && !entry->isFolder ? entry->name : std::string();
}

}  // namespace

// One destination of the installation and what this update has done to it.
struct InstallationUpdate::Target {
    std::size_t row = 0;
    platform::FolderHandle* folder = nullptr;  // null when a folder on the way is not there
    Refusal unreachable;                       // why `folder` is null
    std::string name;                          // as on disk, or as the table writes it
    bool exists = false;
    // Leftovers of an earlier, interrupted update, as named on disk.
    std::string oldStaged, oldBackup, oldAbsent;
    // What this update has done so far.
    bool staged = false, movedAside = false, absentNoted = false, committed = false;

    const Replacement& Row() const { return kReplacements[row]; }
    std::string Staged() const { return Joined(name, kStagedSuffix); }
    std::string Backup() const { return Joined(name, kBackupSuffix); }
    std::string Absent() const { return Joined(name, kAbsentSuffix); }
};

InstallationUpdate::InstallationUpdate(platform::FileSystem& files, const UpdatePackage& package,
                                       std::string installation, Patience patience,
                                       std::optional<platform::FolderId> listed)
    : files_(files),
      package_(package),
      installation_(std::move(installation)),
      patience_(patience),
      listed_(listed) {}

InstallationUpdate::~InstallationUpdate() = default;

// ---- wording ---------------------------------------------------------------

// The destination as the program names it, whatever the letter case on disk:
// "C:\SKM\AUDIO\PHRASE\GROUP6\q417.mp3".
std::string InstallationUpdate::FilePath(const Target& target) const {
    std::string path = installation_;
    for (std::string_view folder : target.Row().folders) {
        if (!folder.empty())
            path.append("\\").append(folder);
    }
    return path.append("\\").append(target.Row().file);
}

std::string InstallationUpdate::Describe(const std::string& path, const FileError& error) const {
    switch (error.kind) {
        case FileError::Kind::Link:
            return Joined(path, text::kIsALink);
        case FileError::Kind::InUse:
            return Joined(path, text::kUsedByAnother);
        default:
            return Joined(Joined(path, text::kPathAndError), error.description);
    }
}

template <typename Operation>
Failure InstallationUpdate::Persist(Operation operation) const {
    // A virus scanner may hold a file it has just seen for a moment; what
    // fails for a reason that will not pass fails again soon enough.
    const auto deadline = std::chrono::steady_clock::now() + patience_.inUse;
    for (;;) {
        Failure failure = operation();
        // What is not there will not come; anything else may pass.
        if (!failure || failure->kind == FileError::Kind::NotFound ||
            std::chrono::steady_clock::now() >= deadline)
            return failure;
        std::this_thread::sleep_for(patience_.retryEvery);
    }
}

// A rename that reports a failure may still have happened: the system can
// fail to make it durable after making it. What stands there tells.
bool InstallationUpdate::Moved(platform::FolderHandle& folder, std::string_view from,
                               std::string_view to) {
    auto source = folder.Inspect(from);
    auto destination = folder.Inspect(to);
    return source && destination && source->kind == platform::EntryKind::Missing &&
           destination->kind == platform::EntryKind::File;
}

// ---- the steps -------------------------------------------------------------

InstallationUpdate::Outcome InstallationUpdate::Run() {
    Outcome outcome;
    Refusal refusal = Survey();
    outcome.hasXtras = hasXtras_;
    if (!refusal && files_.ProgramRunsFrom(installation_ + '\\' + markerFile_))
        refusal = std::string(text::kProductRunning);
    if (!refusal && HasLeftovers()) {
        std::string failure;
        outcome.repaired = Repair(failure);
        if (!outcome.repaired)
            refusal = std::move(failure);
        else
            refusal = Survey();  // the repair has changed what stands there
    }
    if (!refusal)
        refusal = CheckNothingHoldsIt();
    for (Target& target : targets_) {
        if (!refusal)
            refusal = Stage(target);
    }
    if (!refusal)
        refusal = Commit();
    if (refusal) {
        RollBack();
        outcome.reason = std::move(*refusal);
        return outcome;
    }
    Finish();
    outcome.replaced = true;
    return outcome;
}

InstallationUpdate::Refusal InstallationUpdate::Survey() {
    targets_.clear();
    folders_.clear();
    if (!root_) {
        auto opened = files_.OpenInstallation(installation_);
        if (!opened)
            return Describe(installation_, opened.Error());
        // The folder now at the path must be the one the search listed;
        // from here on the handle keeps it so, whatever becomes of the path.
        if (listed_ && (*opened)->Id() != listed_)
            return Joined(Joined(installation_, text::kPathAndError), text::kFolderReplaced);
        root_ = std::move(*opened);
    }
    FolderNames rootNames;
    if (!root_->List([&](const platform::FolderEntry& entry) {
            rootNames.Add(entry);
            return true;
        })) {
        return Joined(Joined(installation_, text::kPathAndError), text::kCannotList);
    }
    const FolderNames::Entry* marker = rootNames.Find(kMarkerFile);
    markerFile_ = marker ? marker->name : std::string(kMarkerFile);
    const FolderNames::Entry* committedMarker = rootNames.Find(kCommitMarker);
    markerFound_ = committedMarker && !committedMarker->isFolder;
    const FolderNames::Entry* xtras = rootNames.Find(kXtrasFolderName);
    hasXtras_ = xtras && xtras->isFolder;

    for (std::size_t row = 0; row < kReplacements.size(); ++row) {
        if (kReplacements[row].onlyWithXtras && !hasXtras_)
            continue;
        Target& target = targets_.emplace_back();
        target.row = row;
        // Each folder on the way is opened relative to the one before and
        // listed through its handle; a link there is refused.
        platform::FolderHandle* folder = root_.get();
        const FolderNames* names = &rootNames;
        FolderNames listed;  // of the folder reached last, below the root
        std::string path = installation_;
        for (std::string_view component : target.Row().folders) {
            if (component.empty())
                continue;
            path.append("\\").append(component);
            const FolderNames::Entry* entry = names->Find(component);
            auto opened = folder->OpenFolder(entry ? entry->name : std::string(component));
            if (!opened) {
                target.unreachable = Describe(entry ? path : FilePath(target), opened.Error());
                folder = nullptr;
                break;
            }
            folder = folders_.emplace_back(std::move(*opened)).get();
            listed = FolderNames();
            names = &listed;
            if (!folder->List([&](const platform::FolderEntry& inside) {
                    listed.Add(inside);
                    return true;
                })) {
                target.unreachable = Joined(Joined(path, text::kPathAndError), text::kCannotList);
                folder = nullptr;
                break;
            }
        }
        if (!folder)
            continue;
        target.folder = folder;
        const FolderNames::Entry* destination = names->Find(target.Row().file);
        target.exists = destination != nullptr;
        target.name = destination ? destination->name : std::string(target.Row().file);
        target.oldStaged = LeftoverName(*names, target.Row().file, kStagedSuffix);
        target.oldBackup = LeftoverName(*names, target.Row().file, kBackupSuffix);
        target.oldAbsent = LeftoverName(*names, target.Row().file, kAbsentSuffix);
    }
    for (const Target& target : targets_) {
        if (target.unreachable)
            return target.unreachable;
    }
    return std::nullopt;
}

bool InstallationUpdate::HasLeftovers() const {
    if (markerFound_)
        return true;
    for (const Target& target : targets_) {
        if (!target.oldStaged.empty() || !target.oldBackup.empty() || !target.oldAbsent.empty())
            return true;
    }
    return false;
}

std::optional<std::string> InstallationUpdate::Repair(std::string& failure) {
    if (!root_) {
        if (Refusal refusal = Survey(); refusal && !root_) {
            failure = std::move(*refusal);
            return std::nullopt;
        }
    }
    if (!HasLeftovers())
        return std::nullopt;
    Refusal refusal;
    auto attempt = [&](const Target& target, Failure result) {
        if (result && !refusal)
            refusal = Describe(FilePath(target), *result);
    };
    for (const Target& target : targets_) {
        if (!target.folder)
            continue;
        platform::FolderHandle& folder = *target.folder;
        auto remove = [&](const std::string& name) {
            if (!name.empty())
                attempt(target, Persist([&] { return folder.Delete(name); }));
        };
        if (markerFound_) {
            // The commit had finished: every destination holds its new file.
            remove(target.oldBackup);
            remove(target.oldAbsent);
            remove(target.oldStaged);
            continue;
        }
        // A destination that was moved aside or had no file before holds a
        // new file, if anything: it goes, and the backup comes back under the
        // name it was moved from, in its own letter case.
        const bool touched = !target.oldBackup.empty() || !target.oldAbsent.empty();
        if (touched && target.exists)
            remove(target.name);
        if (!target.oldBackup.empty()) {
            const std::string original =
                target.oldBackup.substr(0, target.oldBackup.size() - kBackupSuffix.size());
            attempt(target, Persist([&] { return folder.Rename(target.oldBackup, original); }));
        }
        remove(target.oldAbsent);
        remove(target.oldStaged);
    }
    // The marker goes last: until then a repair cut short is repaired again
    // the same way.
    if (!refusal && markerFound_) {
        if (Failure result = Persist([&] { return root_->Delete(kCommitMarker); }))
            refusal = Describe(Joined(installation_ + '\\', kCommitMarker), *result);
    }
    if (refusal) {
        failure = std::move(*refusal);
        return std::nullopt;
    }
    return Joined(installation_,
                  markerFound_ ? text::kInterruptedCompleted : text::kInterruptedUndone);
}

InstallationUpdate::Refusal InstallationUpdate::CheckNothingHoldsIt() {
    for (Target& target : targets_) {
        if (!target.exists)
            continue;
        auto entry = target.folder->Inspect(target.name);
        if (!entry)
            return Describe(FilePath(target), entry.Error());
        switch (entry->kind) {
            case platform::EntryKind::Missing:
                target.exists = false;
                continue;
            case platform::EntryKind::Link:
                return Joined(FilePath(target), text::kIsALink);
            case platform::EntryKind::Folder:
                return Joined(Joined(FilePath(target), text::kPathAndError), text::kIsAFolder);
            case platform::EntryKind::File:
                break;
        }
        if (entry->readOnly)
            return Joined(Joined(FilePath(target), text::kPathAndError), text::kIsReadOnly);
        // A virus scanner holds a file it has just seen for a moment; a
        // program the user runs holds it for longer.
        const auto deadline = std::chrono::steady_clock::now() + patience_.inUse;
        Failure failure;
        while ((failure = target.folder->CheckNotInUse(target.name)) &&
               failure->kind == FileError::Kind::InUse &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(patience_.retryEvery);
        }
        if (!failure)
            continue;
        if (failure->kind != FileError::Kind::InUse)
            return Describe(FilePath(target), *failure);
        if (const auto application = files_.ApplicationUsing(FilePath(target))) {
            return FilePath(target)
                .append(text::kUsedByBefore)
                .append(*application)
                .append(text::kUsedByAfter);
        }
        return Joined(FilePath(target), text::kUsedByAnother);
    }
    return std::nullopt;
}

InstallationUpdate::Refusal InstallationUpdate::Stage(Target& target) {
    const PackageFile& source = package_.File(target.row);
    auto input = files_.OpenSourceFile(source.path);
    if (!input)
        return Describe(source.path, input.Error());
    auto output = target.folder->CreateFile(target.Staged());
    if (!output)
        return Describe(FilePath(target), output.Error());
    target.staged = true;

    platform::Sha256 hash;
    std::uint64_t size = 0;
    std::array<std::byte, 1 << 16> buffer;
    for (;;) {
        auto got = (*input)->Read(buffer);
        if (!got)
            return Describe(source.path, got.Error());
        if (*got == 0)
            break;
        const auto bytes = std::span(buffer).first(*got);
        hash.Update(bytes);
        size += *got;
        if (Failure failure = (*output)->Write(bytes))
            return Describe(FilePath(target), *failure);
    }
    // What was written is what the package check read, or the file changed
    // since: a package being replaced under a running update is not installed.
    if (size != source.size || hash.Finish() != source.digest)
        return Joined(source.path, text::kPackageChanged);
    if (Failure failure = (*output)->Finish((*input)->LastWriteTime(),
                                            target.exists ? target.name : std::string_view{})) {
        return Describe(FilePath(target), *failure);
    }
    return std::nullopt;
}

InstallationUpdate::Refusal InstallationUpdate::Commit() {
    for (Target& target : targets_) {
        platform::FolderHandle& folder = *target.folder;
        if (target.exists) {
            const Failure failure = folder.Rename(target.name, target.Backup());
            target.movedAside = !failure || Moved(folder, target.name, target.Backup());
            if (failure)
                return Describe(FilePath(target), *failure);
        } else {
            auto note = folder.CreateFile(target.Absent());
            if (!note)
                return Describe(FilePath(target), note.Error());
            target.absentNoted = true;
            if (Failure failure = (*note)->Finish({}, {}))
                return Describe(FilePath(target), *failure);
        }
        const Failure failure = folder.Rename(target.Staged(), target.name);
        target.committed = !failure || Moved(folder, target.Staged(), target.name);
        target.staged = !target.committed;
        if (failure)
            return Describe(FilePath(target), *failure);
    }
    const std::string markerPath = Joined(installation_ + '\\', kCommitMarker);
    auto marker = root_->CreateFile(kCommitMarker);
    if (!marker)
        return Describe(markerPath, marker.Error());
    if (Failure failure = (*marker)->Finish({}, {})) {
        // A marker that is there counts, durable or not; only one that is
        // gone again lets the update be undone.
        if (!Persist([&] { return root_->Delete(kCommitMarker); }))
            return Describe(markerPath, *failure);
    }
    committed_ = true;
    return std::nullopt;
}

void InstallationUpdate::Finish() {
    // The marker stays until every backup is gone, so that a backup left
    // behind is never taken for one to put back.
    bool clean = true;
    for (const Target& target : targets_) {
        platform::FolderHandle& folder = *target.folder;
        if (target.movedAside)
            clean = !Persist([&] { return folder.Delete(target.Backup()); }) && clean;
        if (target.absentNoted)
            clean = !Persist([&] { return folder.Delete(target.Absent()); }) && clean;
    }
    if (clean)
        (void)Persist([&] { return root_->Delete(kCommitMarker); });
}

void InstallationUpdate::RollBack() {
    if (committed_)
        return;
    // Undone in the reverse order, each destination's new file out of the
    // way before its backup goes back. What cannot be undone now stays under
    // its recognisable name, for the next run to repair.
    for (auto it = targets_.rbegin(); it != targets_.rend(); ++it) {
        Target& target = *it;
        if (!target.folder)
            continue;
        platform::FolderHandle& folder = *target.folder;
        auto done = [&](auto operation) { return !Persist(operation); };
        if (target.committed)
            target.committed = !done([&] { return folder.Delete(target.name); });
        if (target.committed)
            continue;  // the backup cannot go back over the new file
        if (target.movedAside)
            target.movedAside = !done([&] { return folder.Rename(target.Backup(), target.name); });
        if (target.absentNoted)
            target.absentNoted = !done([&] { return folder.Delete(target.Absent()); });
        if (target.staged)
            target.staged = !done([&] { return folder.Delete(target.Staged()); });
    }
}

}  // namespace engine
