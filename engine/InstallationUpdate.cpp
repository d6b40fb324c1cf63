#include "engine/InstallationUpdate.h"

#include <array>
#include <cstddef>
#include <span>
#include <utility>

#include "engine/FileBytes.h"
#include "engine/FolderNames.h"
#include "engine/InstallationRepair.h"
#include "engine/Texts.h"

namespace engine {
namespace {

using platform::Failure;
using platform::FileError;

// The product's executable, whose presence makes a folder an installation.
constexpr std::string_view kProductFile = "SKM300.EXE";
// A journal is a few lines; a file of its name that is much larger is not one.
constexpr std::size_t kLargestJournal = 64 << 10;
constexpr std::size_t kNoTarget = ~std::size_t{0};

std::string Joined(std::string_view a, std::string_view b) {
    std::string joined;
    joined.reserve(a.size() + b.size());
    joined.append(a).append(b);
    return joined;
}

std::string Reason(std::string_view path, std::string_view why) {
    return Joined(Joined(path, text::kPathAndError), why);
}

// A rename that reports a failure may still have happened: the system can
// fail to make it durable after making it. What stands there tells.
bool Moved(platform::FolderHandle& folder, std::string_view from, std::string_view to) {
    auto source = folder.Inspect(from);
    auto destination = folder.Inspect(to);
    return source && destination && source->kind == platform::EntryKind::Missing &&
           destination->kind == platform::EntryKind::File;
}

// Creates `name` in `folder` with `bytes`, flushed; `created` tells whether
// the file came to be, even if what followed failed.
Failure WriteNewFile(platform::FolderHandle& folder, std::string_view name, std::string_view bytes,
                     bool& created) {
    auto file = folder.CreateFile(name);
    if (!file)
        return file.Error();
    created = true;
    if (!bytes.empty()) {
        if (Failure failure = (*file)->Write(std::as_bytes(std::span(bytes.data(), bytes.size()))))
            return failure;
    }
    return (*file)->Finish({}, {});
}

// Reads the whole of a small file, at most `limit` bytes; nullopt when it is larger.
platform::Result<std::optional<std::string>> ReadSmallFile(platform::SourceFile& file,
                                                           std::size_t limit) {
    std::string text;
    std::array<std::byte, 4096> buffer;
    for (;;) {
        auto got = file.Read(buffer);
        if (!got)
            return got.Error();
        if (*got == 0)
            return std::optional<std::string>(std::move(text));
        text.append(reinterpret_cast<const char*>(buffer.data()), *got);
        if (text.size() > limit)
            return std::optional<std::string>();
    }
}

}  // namespace

// One destination of the installation.
struct InstallationUpdate::Target {
    std::size_t row = 0;
    platform::FolderHandle* folder = nullptr;  // null when a folder on the way is not there
    Refusal unreachable;                       // why `folder` is null
    std::string name;                          // as on disk, or as the table writes it
    bool exists = false;
    std::optional<Bytes> bytes;           // what it holds, as measured; nothing where it is missing
    bool isNew = false;                   // it holds the package's bytes: it is left alone
    std::optional<FileError> unmeasured;  // why its bytes could not be read
    std::optional<std::size_t> entry;     // its target in this run's journal, once planned

    const Replacement& Row() const { return kReplacements[row]; }
};

InstallationUpdate::InstallationUpdate(platform::FileSystem& files, const UpdatePackage& package,
                                       std::string installation, Patience patience,
                                       std::optional<platform::FileId> listed)
    : files_(files),
      package_(package),
      installation_(std::move(installation)),
      patience_(patience),
      listed_(listed),
      transaction_(patience) {}

InstallationUpdate::~InstallationUpdate() = default;

// ---- wording ---------------------------------------------------------------

// The destination as the program names it, whatever the letter case on disk:
// "C:\SKM\AUDIO\PHRASE\GROUP6\q417.mp3".
std::string InstallationUpdate::FilePath(std::size_t row) const {
    std::string path = installation_;
    for (std::string_view folder : kReplacements[row].folders) {
        if (!folder.empty())
            path.append("\\").append(folder);
    }
    return path.append("\\").append(kReplacements[row].file);
}

std::string InstallationUpdate::PathBeside(std::size_t row, std::string_view name) const {
    std::string path = FilePath(row);
    path.resize(path.rfind('\\') + 1);
    return path.append(name);
}

std::string InstallationUpdate::Describe(const std::string& path, const FileError& error) const {
    switch (error.kind) {
        case FileError::Kind::Link:
            return Joined(path, text::kIsALink);
        case FileError::Kind::InUse:
            return Joined(path, text::kUsedByAnother);
        default:
            return Reason(path, error.description);
    }
}

// ---- the run -----------------------------------------------------------------

UpdateOutcome InstallationUpdate::Run() {
    UpdateOutcome outcome;
    try {
        RunSteps(outcome);
    } catch (...) {
        // Whatever went wrong, the installation is not left half changed
        // because of it; the failure is the caller's to report.
        try {
            transaction_.RollBack();
        } catch (...) {
        }
        throw;
    }
    return outcome;
}

void InstallationUpdate::RunSteps(UpdateOutcome& outcome) {
    Refusal refusal = Open();
    if (!refusal)
        refusal = Survey();
    outcome.hasXtras = hasXtras_;
    if (!refusal)
        TidyDrafts(outcome);
    if (!refusal && journalFound_) {
        // Nothing is touched while the product runs from the installation,
        // not even to repair it.
        refusal = CheckProductNotRunning();
        if (!refusal) {
            refusal = RepairFound(outcome);
            outcome.hasXtras = hasXtras_;
        } else {
            // Refused before the repair: what stands there is what the
            // journal of the earlier run says, if anything, and the lines
            // tell it.
            unrepaired_ = ReadFoundJournal();
        }
    }
    if (!refusal)
        refusal = Measure();
    // Already at the package's bytes: nothing to change, so nothing (a
    // held file, the product running) can stand in the way.
    if (!refusal && AllNew()) {
        outcome.state = UpdateEnd::Updated;
        return;
    }
    if (!refusal)
        refusal = CheckProductNotRunning();
    if (!refusal)
        refusal = CheckNothingHoldsIt();
    for (const Target& target : targets_) {
        if (!refusal && target.unmeasured)
            refusal = Describe(FilePath(target.row), *target.unmeasured);
    }
    if (!refusal) {
        PlanJournal();
        refusal = WriteJournal();
    }
    for (Target& target : targets_) {
        if (!refusal && target.entry)
            refusal = Stage(target);
    }
    if (!refusal)
        refusal = Commit();
    if (refusal) {
        transaction_.RollBack();
        Conclude(outcome, std::move(*refusal));
        return;
    }
    outcome.leftOver = Finish();
    outcome.state = UpdateEnd::Updated;
}

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
    if (!key_)
        key_ = files_.JournalKey(platform::KeyUse::ReadOrMake);
    return *key_;
}

void InstallationUpdate::TidyDrafts(UpdateOutcome& outcome) {
    for (const std::string& draft : drafts_) {
        // Only a draft this program can be shown to have begun, or one it
        // created and was killed before writing, is deleted.
        auto file = root_->OpenFile(draft);
        if (!file)
            continue;
        auto text = ReadSmallFile(**file, kLargestJournal);
        file->reset();
        auto key = Key();
        if (!text || !*text || !key)
            continue;
        const ReadJournal read = ParseJournal(**text, *key);
        if ((*text)->empty() || std::holds_alternative<Journal>(read) ||
            std::holds_alternative<JournalCutShort>(read)) {
            // Its run was cut short before its journal took its name, so
            // before anything else was changed.
            if (!TryForAWhile(patience_, [&] { return root_->Delete(draft); }))
                outcome.repaired = Joined(installation_, text::kInterruptedUndone);
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

    const std::string journalPath = Joined(installation_ + '\\', kJournalName);
    if (rootNames.Ambiguous(kJournalName))
        return Reason(journalPath, text::kNamesDifferOnlyInCase);
    const FolderNames::Entry* journal = rootNames.Find(kJournalName);
    if (journal && (journal->isFolder || journal->isLink))
        return Reason(journalPath, text::kNotOurJournal);
    journalFound_ = journal != nullptr;
    if (rootNames.Ambiguous(kXtrasFolderName))
        return Reason(installation_ + "\\xtras", text::kNamesDifferOnlyInCase);

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

// ---- the repair of an earlier update -----------------------------------------

platform::Result<ReadJournal> InstallationUpdate::ReadJournalFile() {
    auto key = Key();
    if (!key)
        return key.Error();
    platform::Result<ReadJournal> read = ReadJournal(NotAJournal{});
    // A scanner that has just seen the journal holds it for a moment.
    const Failure failure = TryForAWhile(
        patience_,
        [&]() -> Failure {
            auto file = root_->OpenFile(kJournalName);
            if (!file)
                return file.Error();
            auto text = ReadSmallFile(**file, kLargestJournal);
            if (!text)
                return text.Error();
            read = *text ? ParseJournal(**text, *key) : ReadJournal(NotAJournal{});
            return std::nullopt;
        },
        RetryOn::InUseOnly);
    if (failure)
        return *failure;
    return read;
}

std::optional<Journal> InstallationUpdate::ReadFoundJournal() {
    auto read = ReadJournalFile();
    if (!read || !std::holds_alternative<Journal>(*read))
        return std::nullopt;
    return std::get<Journal>(*read);
}

InstallationUpdate::Refusal InstallationUpdate::RepairFound(UpdateOutcome& outcome) {
    const std::string journalPath = Joined(installation_ + '\\', kJournalName);
    if (auto key = Key(); !key)
        return Reason(journalPath,
                      Joined(text::kNoJournalKey, Reason("", key.Error().description)));
    auto readJournal = ReadJournalFile();
    if (!readJournal)
        return Describe(journalPath, readJournal.Error());
    const ReadJournal& read = *readJournal;
    if (std::holds_alternative<NotAJournal>(read)) {
        journalJudged_ = true;
        return Reason(journalPath, text::kNotOurJournal);
    }
    if (std::holds_alternative<JournalForged>(read)) {
        // Not ours: nothing it names is touched, and it tells nothing of
        // what stands there.
        journalJudged_ = true;
        return Reason(journalPath, text::kJournalMismatch);
    }
    if (std::holds_alternative<JournalCutShort>(read)) {
        // Cut short while it was written, before anything else was changed:
        // there is nothing to undo but the journal itself.
        if (Failure failure =
                TryForAWhile(patience_, [&] { return root_->Delete(kJournalName); })) {
            return Describe(journalPath, *failure);
        }
        outcome.repaired = Joined(installation_, text::kInterruptedUndone);
        journalFound_ = false;
        if (Refusal refusal = Reopen())
            return refusal;
        return Survey();
    }
    const Journal& journal = std::get<Journal>(read);
    std::vector<platform::FolderHandle*> folders;
    for (const JournalTarget& entry : journal.targets) {
        platform::FolderHandle* folder = nullptr;
        for (const Target& target : targets_) {
            if (target.row == entry.row)
                folder = target.folder;
        }
        folders.push_back(folder);
    }
    InstallationRepair::Failed failed;
    const auto done =
        InstallationRepair(*root_, journal, std::move(folders), patience_).Run(failed);
    if (!done) {
        unrepaired_ = journal;
        const std::string path = failed.target && *failed.target < journal.targets.size()
                                     ? FilePath(journal.targets[*failed.target].row)
                                     : journalPath;
        if (failed.mismatch)
            return Reason(journalPath, text::kJournalMismatch);
        return Describe(path, failed.error);
    }
    const bool completed = *done == InstallationRepair::Done::Completed;
    outcome.repaired =
        Joined(installation_, completed ? text::kInterruptedCompleted : text::kInterruptedUndone);
    journalFound_ = false;
    // The repair has changed what stands there: the folder is listed anew,
    // through a handle of its own.
    if (Refusal refusal = Reopen())
        return refusal;
    return Survey();
}

std::optional<std::string> InstallationUpdate::Repair(std::string& failure) {
    UpdateOutcome outcome;
    Refusal refusal = Open();
    if (!refusal)
        refusal = Survey();
    if (!refusal)
        TidyDrafts(outcome);
    if (!refusal && journalFound_)
        refusal = RepairFound(outcome);
    if (refusal) {
        failure = std::move(*refusal);
        return std::nullopt;
    }
    return outcome.repaired;
}

// ---- the checks ------------------------------------------------------------------

InstallationUpdate::Refusal InstallationUpdate::CheckProductNotRunning() {
    // The very file, not its path: the product may have been started
    // through a link, another drive letter or a short name.
    auto product = root_->OpenFile(productFile_);
    if (!product)
        return std::nullopt;  // no such program file can be running
    const std::optional<platform::FileId> id = (*product)->Id();
    if (id && files_.ProgramRunsFrom(*id))
        return std::string(text::kProductRunning);
    return std::nullopt;
}

InstallationUpdate::Refusal InstallationUpdate::Measure() {
    for (Target& target : targets_) {
        target.bytes.reset();
        target.unmeasured.reset();
        target.isNew = false;
        target.entry.reset();
        if (!target.exists)
            continue;
        auto bytes = BytesAt(*target.folder, target.name, patience_);
        if (!bytes) {
            // Told after the checks, which name a folder, a link or a
            // read-only file in the way in their own words.
            target.unmeasured = bytes.Error();
            continue;
        }
        target.exists = bytes->has_value();
        target.bytes = *bytes;
        const PackageFile& source = package_.File(target.row);
        target.isNew = target.bytes && *target.bytes == Bytes{source.size, source.digest};
    }
    return std::nullopt;
}

bool InstallationUpdate::AllNew() const {
    return std::all_of(targets_.begin(), targets_.end(),
                       [](const Target& target) { return target.isNew; });
}

InstallationUpdate::Refusal InstallationUpdate::CheckNothingHoldsIt() {
    for (Target& target : targets_) {
        if (!target.exists || target.isNew)
            continue;
        auto entry = target.folder->Inspect(target.name);
        if (!entry)
            return Describe(FilePath(target.row), entry.Error());
        switch (entry->kind) {
            case platform::EntryKind::Missing:
                target.exists = false;
                continue;
            case platform::EntryKind::Link:
                return Joined(FilePath(target.row), text::kIsALink);
            case platform::EntryKind::Folder:
                return Reason(FilePath(target.row), text::kIsAFolder);
            case platform::EntryKind::File:
                break;
        }
        if (entry->readOnly)
            return Reason(FilePath(target.row), text::kIsReadOnly);
        // A virus scanner holds a file it has just seen for a moment; a
        // program the user runs holds it for longer.
        const Failure failure = TryForAWhile(
            patience_, [&] { return target.folder->CheckNotInUse(target.name); },
            RetryOn::InUseOnly);
        if (!failure)
            continue;
        if (failure->kind != FileError::Kind::InUse)
            return Describe(FilePath(target.row), *failure);
        if (const auto application = files_.ApplicationUsing(FilePath(target.row))) {
            return FilePath(target.row)
                .append(text::kUsedByBefore)
                .append(*application)
                .append(text::kUsedByAfter);
        }
        return Joined(FilePath(target.row), text::kUsedByAnother);
    }
    return std::nullopt;
}

// ---- the change ------------------------------------------------------------------

void InstallationUpdate::PlanJournal() {
    journal_ = Journal{NewRunIdentity(), {}};
    for (Target& target : targets_) {
        if (target.isNew)
            continue;
        target.entry = journal_.targets.size();
        JournalTarget& entry = journal_.targets.emplace_back();
        entry.row = target.row;
        entry.destination = target.name;
        entry.staged = StagedName(target.name, journal_.run);
        entry.backup = BackupName(target.name, journal_.run);
        const PackageFile& source = package_.File(target.row);
        entry.after = Bytes{source.size, source.digest};
        entry.existed = target.exists;
        if (target.bytes)
            entry.before = *target.bytes;
    }
}

InstallationUpdate::Refusal InstallationUpdate::WriteJournal() {
    const std::string journalPath = Joined(installation_ + '\\', kJournalName);
    auto key = Key();
    if (!key)
        return Reason(journalPath,
                      Joined(text::kNoJournalKey, Reason("", key.Error().description)));
    const std::string text = JournalText(journal_, *key);
    const std::string draft = JournalDraftName(journal_.run);
    // Written whole and flushed under the run's own name first: a file of
    // the journal's name is never one this program left empty or half
    // written, so an empty one is the user's.
    auto created = std::make_shared<bool>(false);
    const Failure failure = transaction_.Do({
        kNoTarget,
        [this, &text, &draft, created]() -> Failure {
            if (Failure failure = WriteNewFile(*root_, draft, text, *created))
                return failure;
            return root_->Rename(draft, kJournalName);
        },
        [created] { return *created; },
        [this, draft]() -> Failure {
            for (const std::string& name : {std::string(kJournalName), draft}) {
                Failure failure = root_->Delete(name);
                if (failure && failure->kind != FileError::Kind::NotFound)
                    return failure;
            }
            return std::nullopt;
        },
        true,
    });
    touched_ = *created;
    if (failure)
        return Describe(journalPath, *failure);
    return std::nullopt;
}

InstallationUpdate::Refusal InstallationUpdate::Stage(Target& target) {
    const std::size_t index = *target.entry;
    const JournalTarget& entry = journal_.targets[index];
    const PackageFile& source = package_.File(target.row);
    Refusal why;
    auto created = std::make_shared<bool>(false);
    auto copy = [&]() -> Failure {
        auto input = package_.Open(target.row);
        if (!input) {
            why = Describe(source.path, input.Error());
            return input.Error();
        }
        auto output = target.folder->CreateFile(entry.staged);
        if (!output)
            return output.Error();
        *created = true;
        platform::Sha256 hash;
        std::uint64_t size = 0;
        std::array<std::byte, 1 << 16> buffer;
        for (;;) {
            auto got = (*input)->Read(buffer);
            if (!got) {
                why = Describe(source.path, got.Error());
                return got.Error();
            }
            if (*got == 0)
                break;
            const auto bytes = std::span(buffer).first(*got);
            hash.Update(bytes);
            size += *got;
            if (Failure failure = (*output)->Write(bytes))
                return failure;
        }
        // What was written is what the package check read, or the file
        // changed since: a package being replaced under a running update is
        // not installed.
        if (size != source.size || hash.Finish() != source.digest) {
            why = Joined(source.path, text::kPackageChanged);
            return FileError{FileError::Kind::Changed, {}};
        }
        return (*output)->Finish((*input)->LastWriteTime(),
                                 target.exists ? target.name : std::string_view{});
    };
    platform::FolderHandle& folder = *target.folder;
    const Failure failure = transaction_.Do({
        index,
        copy,
        [created] { return *created; },
        [&folder, name = entry.staged] { return folder.Delete(name); },
        true,
    });
    if (failure)
        return why ? std::move(why) : Describe(FilePath(target.row), *failure);
    return std::nullopt;
}

InstallationUpdate::Refusal InstallationUpdate::Commit() {
    for (const Target& target : targets_) {
        if (!target.entry)
            continue;
        const std::size_t i = *target.entry;
        const JournalTarget& entry = journal_.targets[i];
        platform::FolderHandle& folder = *target.folder;
        auto rename = [&folder, i](const std::string& from,
                                   const std::string& to) -> UpdateTransaction::Step {
            return {i, [&folder, from, to] { return folder.Rename(from, to); },
                    [&folder, from, to] { return Moved(folder, from, to); },
                    [&folder, from, to] { return folder.Rename(to, from); }, false};
        };
        if (target.exists) {
            if (Failure failure = transaction_.Do(rename(entry.destination, entry.backup)))
                return Describe(FilePath(target.row), *failure);
        }
        if (Failure failure = transaction_.Do(rename(entry.staged, entry.destination)))
            return Describe(FilePath(target.row), *failure);
    }
    // Every destination holds its new bytes; the record says so.
    const std::string record = journal_.CommitRecord();
    auto created = std::make_shared<bool>(false);
    const Failure failure = transaction_.Do({
        kNoTarget,
        [this, record, created] { return WriteNewFile(*root_, record, {}, *created); },
        [created] { return *created; },
        [this, record] { return root_->Delete(record); },
        true,
    });
    if (failure)
        return Describe(Joined(installation_ + '\\', record), *failure);
    transaction_.Commit();
    return std::nullopt;
}

std::vector<std::string> InstallationUpdate::Finish() {
    // The journal goes last, and only once every backup is gone: until
    // then the next run finishes what is left, as the journal says.
    std::vector<std::string> left;
    for (const Target& target : targets_) {
        if (!target.entry || !journal_.targets[*target.entry].existed)
            continue;
        const std::string& backup = journal_.targets[*target.entry].backup;
        if (TryForAWhile(patience_, [&] { return target.folder->Delete(backup); }))
            left.push_back(PathBeside(target.row, backup));
    }
    for (const std::string& name : {journal_.CommitRecord(), std::string(kJournalName)}) {
        if (!left.empty())
            break;
        if (TryForAWhile(patience_, [&] { return root_->Delete(name); }))
            left.push_back(Joined(installation_ + '\\', name));
    }
    return left;
}

// ---- what stands there after all ---------------------------------------------------

void InstallationUpdate::Conclude(UpdateOutcome& outcome, std::string reason) {
    outcome.reason = std::move(reason);
    outcome.state = UpdateEnd::LeftAsItWas;
    // Nothing of this run's and nothing an earlier run of this program left
    // half done: the files are as they were found.
    const bool unknownJournal = journalFound_ && !journalJudged_ && !unrepaired_;
    if (!touched_ && !unrepaired_ && !outcome.repaired && !unknownJournal)
        return;
    // Else what stands there is read, each file measured against the
    // package: all old with nothing of the update's own left, all new with
    // nothing left, or in the middle.
    bool allOld = !targets_.empty();
    bool allNew = !targets_.empty();
    for (const Target& target : targets_) {
        if (!target.folder) {
            allOld = allNew = false;
            continue;
        }
        auto bytes = BytesAt(*target.folder, target.name, patience_);
        const PackageFile& source = package_.File(target.row);
        const bool isNew = bytes && *bytes && **bytes == Bytes{source.size, source.digest};
        outcome.rowIsNew[target.row] = isNew;
        allNew = allNew && isNew;
        allOld = allOld && bytes && !isNew;
    }
    auto gone = [&](platform::FolderHandle& folder, const std::string& name) {
        platform::Result<platform::FolderHandle::Entry> entry = platform::FolderHandle::Entry{};
        (void)TryForAWhile(
            patience_,
            [&]() -> Failure {
                entry = folder.Inspect(name);
                return entry ? Failure() : entry.Error();
            },
            RetryOn::InUseOnly);
        return entry && entry->kind == platform::EntryKind::Missing;
    };
    bool nothingLeft = true;
    for (const Journal* journal :
         {touched_ ? &journal_ : nullptr, unrepaired_ ? &*unrepaired_ : nullptr}) {
        if (!journal)
            continue;
        for (const JournalTarget& entry : journal->targets) {
            platform::FolderHandle* folder = nullptr;
            for (const Target& target : targets_) {
                if (target.row == entry.row)
                    folder = target.folder;
            }
            nothingLeft =
                nothingLeft && folder && gone(*folder, entry.staged) && gone(*folder, entry.backup);
        }
        nothingLeft = nothingLeft && gone(*root_, journal->CommitRecord());
    }
    if (touched_) {
        nothingLeft = nothingLeft && gone(*root_, JournalDraftName(journal_.run)) &&
                      gone(*root_, std::string(kJournalName));
    }
    // An earlier run's journal that was not followed stays, and is the
    // reason given; a change of this run is only done once it is gone.
    const bool journalStays = unrepaired_ || unknownJournal;
    if (allNew && nothingLeft && !journalStays)
        outcome.state = UpdateEnd::Updated;
    else if (allOld && nothingLeft)
        outcome.state = UpdateEnd::LeftAsItWas;
    else
        outcome.state = UpdateEnd::Midway;
}

}  // namespace engine
