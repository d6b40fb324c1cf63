#include "engine/update/EarlierRun.h"

#include <algorithm>
#include <string>
#include <utility>
#include <variant>

#include "engine/Strings.h"
#include "engine/Texts.h"
#include "engine/update/FailureWording.h"
#include "engine/update/FileBytes.h"
#include "engine/update/InstallationRepair.h"
#include "engine/update/KeptSets.h"
#include "engine/update/RefusedAsItStands.h"
#include "engine/update/UpdateOutcome.h"
#include "platform/PathJoin.h"

namespace engine {

using platform::Failure;
using wording::Describe;
using wording::Reason;
using Refusal = InstallationSurvey::Refusal;

void EarlierRun::TidyDrafts(UpdateOutcome& outcome) {
    platform::FolderHandle& root = survey_.Root();
    for (const std::string& draft : survey_.Drafts()) {
        // Only a draft this program can be shown to have begun, whole or
        // cut short as a journal can be, is deleted.
        auto file = root.OpenFile(draft);
        if (!file)
            continue;
        auto text = ReadSmallFile(**file, kLargestJournal);
        file->reset();
        auto key = keys_.For(root);
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
            if (!TryForAWhile(patience_, [&] { return root.Delete(draft); })) {
                outcome.repaired = Joined(survey_.Path(), text::kInterruptedUndone);
                standing_.Move(UpdateStanding::Event::DraftDeleted);
            }
        }
    }
}

void EarlierRun::LeaveUnrepaired() {
    auto key = keys_.For(survey_.Root());
    if (!key)
        return;
    auto read = ReadJournalIn(survey_.Root(), *key, patience_);
    if (!read || !std::holds_alternative<Journal>(*read))
        return;
    unrepaired_ = std::get<Journal>(*read);
    standing_.Move(UpdateStanding::Event::JournalUnrepaired);
}

Refusal EarlierRun::Repair(UpdateOutcome& outcome) {
    const std::string journalPath = survey_.PathInRoot(kJournalName);
    auto key = keys_.For(survey_.Root());
    if (!key)
        return Reason(journalPath,
                      Joined(text::kNoJournalKey, Reason("", key.Error().description)));
    auto readJournal = ReadJournalIn(survey_.Root(), *key, patience_);
    if (!readJournal)
        return Describe(journalPath, readJournal.Error());
    const ReadJournal& read = *readJournal;
    if (RefusedAsItStands(read)) {
        standing_.Move(UpdateStanding::Event::JournalNotAJournal);
        return Reason(journalPath, text::kNotAJournalFile);
    }
    if (const auto* unvouched = std::get_if<JournalUnvouched>(&read)) {
        // Not ours, or no longer vouched for (the key lost or replaced since
        // it was written): nothing it names is touched, and it tells nothing
        // of what stands there. The update goes forward from the package
        // instead, which needs nothing the journal says.
        return SetAside(unvouched->unverified, RunEvents::KeptWhy::JournalNotOurs, outcome);
    }
    if (std::holds_alternative<JournalCutShort>(read)) {
        // Cut short while it was written, before anything else was changed:
        // there is nothing to undo but the journal itself.
        if (Failure failure =
                TryForAWhile(patience_, [&] { return survey_.Root().Delete(kJournalName); })) {
            return Describe(journalPath, *failure);
        }
        outcome.repaired = Joined(survey_.Path(), text::kInterruptedUndone);
        standing_.Move(UpdateStanding::Event::JournalCutShortGone);
        return SurveyAgain();
    }
    const Journal& journal = std::get<Journal>(read);
    // Until the repair is done, what stands there is what the journal says.
    unrepaired_ = journal;
    standing_.Move(UpdateStanding::Event::JournalUnrepaired);
    InstallationRepair::Failed failed;
    InstallationRepair repair(
        survey_.Root(), journal,
        FoldersOfTargets(journal, [this](std::size_t row) { return survey_.FolderOf(row); }),
        patience_, &package_);
    const auto done = repair.Run(failed);
    for (const std::size_t i : repair.KeptStaged()) {
        const JournalTarget& target = journal.targets[i];
        outcome.kept.push_back({survey_.PathBeside(target.row, target.staged), target.staged,
                                RunEvents::KeptWhy::NotJournalsBytes});
    }
    if (!done) {
        const std::string path = failed.target && *failed.target < journal.targets.size()
                                     ? survey_.PathOf(journal.targets[*failed.target].row)
                                     : journalPath;
        if (failed.mismatch) {
            // Ours, but the files are no longer what it says: someone who
            // can write there changed them, or put back a journal and its
            // backups after the update was done. Followed, it would refuse
            // on every run; so it is set aside with what it names, as one no
            // key vouches for, and the update goes forward from the package.
            unrepaired_.reset();
            return SetAside(journal, RunEvents::KeptWhy::JournalMismatch, outcome);
        }
        return Describe(path, failed.error);
    }
    unrepaired_.reset();
    standing_.Move(UpdateStanding::Event::JournalFollowed);
    const bool completed = *done == InstallationRepair::Done::Completed;
    outcome.repaired =
        Joined(survey_.Path(), completed ? text::kInterruptedCompleted : text::kInterruptedUndone);
    return SurveyAgain();
}

Refusal EarlierRun::SurveyAgain() {
    // The repair has changed what stands there: the folder is listed anew,
    // through a handle of its own.
    if (Refusal refusal = survey_.Reopen())
        return refusal;
    return survey_.List(standing_);
}

KeptSets EarlierRun::Kept() const {
    return KeptSets(
        survey_.Root(), [this](std::size_t row) { return survey_.FolderOf(row); },
        survey_.KeptJournals(), patience_);
}

std::vector<std::string> EarlierRun::KeptBefore() const {
    if (!survey_.IsOpen() || survey_.KeptJournals().empty())
        return {};
    return Kept().Names([&](std::size_t row, std::string_view name) {
        std::string path = survey_.PathBeside(row, name);
        if (const std::optional<std::string_view> below = platform::PathBelow(survey_.Path(), path))
            return std::string(*below);
        return path;
    });
}

Refusal EarlierRun::SetAside(const std::optional<Journal>& named, RunEvents::KeptWhy why,
                             UpdateOutcome& outcome) {
    const std::string journalPath = survey_.PathInRoot(survey_.JournalName());
    // Beside the installation's files, under a name that says what it is,
    // and where the update writes nothing; through the folder's handle, so
    // the journal itself is renamed, never what a link there leads to.
    const std::string keptAs = NewKeptJournalName();
    if (Failure failure = TryForAWhile(
            patience_, [&] { return survey_.Root().Rename(survey_.JournalName(), keptAs); })) {
        return Describe(journalPath, *failure);
    }
    standing_.Move(UpdateStanding::Event::JournalSetAside);
    if (!named) {
        outcome.kept.push_back({journalPath, keptAs, why});
        return std::nullopt;
    }
    // What it names keeps its place: none of it is where this update
    // writes, whose names are its own run's. What the package holds, or an
    // earlier set does, goes, and with it the journal where it then names
    // nothing kept: kill after kill with the key lost leaves one set.
    std::vector<KeptName> names;
    for (const JournalTarget& target : named->targets) {
        names.push_back({target.row, target.staged, false});
        names.push_back({target.row, target.backup, true});
    }
    const std::vector<KeptSets::Stays> stay = Kept().Prune(keptAs, names, package_);
    const bool ownNamesStay = std::any_of(
        stay.begin(), stay.end(), [](const auto& kept) { return kept.keptAs == kept.kept.name; });
    if (ownNamesStay || survey_.KeptJournals().empty())
        outcome.kept.push_back({journalPath, keptAs, why});
    for (const KeptSets::Stays& kept : stay) {
        outcome.kept.push_back(
            {survey_.PathBeside(kept.kept.row, kept.kept.name), kept.keptAs, why});
    }
    // A commit record, as earlier versions wrote, says nothing once the
    // journal is set aside; only an empty one is the update's, and anything
    // else is left where it is.
    const std::string record = named->CommitRecord();
    if (auto file = survey_.Root().OpenFile(record)) {
        auto text = ReadSmallFile(**file, 1);
        file->reset();
        if (text && *text && (*text)->empty())
            (void)TryForAWhile(patience_, [&] { return survey_.Root().Delete(record); });
        else
            outcome.kept.push_back({survey_.PathInRoot(record), record, why});
    }
    return std::nullopt;
}

}  // namespace engine
