// The journal an update writes into an installation folder, flushed, before
// it changes anything there. It names every file the update is about to
// touch, under names unique to the run, and the bytes each destination holds
// before and is to hold after. Its presence means an update of this
// installation was cut short; the next run repairs what it names, after
// checking the bytes, and nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/FolderHandle.h"
#include "platform/MachineKey.h"
#include "platform/Sha256.h"

namespace engine {

inline constexpr std::string_view kJournalName = "~upd-journal";

// The size and SHA-256 of a file's bytes.
struct Bytes {
    std::uint64_t size = 0;
    platform::Sha256Digest digest{};
    friend bool operator==(const Bytes&, const Bytes&) = default;
};

// One destination of the update and the names that stand in for it.
struct JournalTarget {
    std::size_t row = 0;      // of kReplacements
    std::string destination;  // as on disk, or as the table writes it where there was none
    std::string staged;       // the new bytes, before they take the destination's name
    std::string backup;       // the old bytes, once they have given it up
    bool existed = false;     // whether there were old bytes at all
    Bytes before;             // when `existed`
    Bytes after;
};

struct Journal {
    std::string run;  // unique to the run that wrote it; part of every name it chose
    std::vector<JournalTarget> targets;

    // The file earlier versions wrote once every destination held its new
    // bytes. No repair needs it (the destinations' bytes tell forward from
    // back), so it is no longer written; one that stands is deleted with
    // its journal.
    std::string CommitRecord() const;
    // The file written once every staged copy is in place and before any is
    // asked to replace its destination at the next restart: with it, the
    // journal's update goes forward, whether now or at the restart, never
    // back, and nothing of the installation changed before it did.
    std::string RestartRecord() const;
};

// A new run's identity: 16 hex digits, not predictable from outside.
std::string NewRunIdentity();
// One whose second half is keyed by `key` (an installation's): a file named
// after it is known to be this program's even before anything is written
// into it, as a journal draft created by a run killed at once.
std::string KeyedRunIdentity(const platform::MachineKey& key);
bool IsKeyedRunIdentity(std::string_view run, const platform::MachineKey& key);
// The names a run gives the new and the old bytes of `destination`.
std::string StagedName(std::string_view destination, std::string_view run);
std::string BackupName(std::string_view destination, std::string_view run);

// The name under which a run writes its journal before renaming it to
// kJournalName, so that a journal never stands half written under its name.
std::string JournalDraftName(std::string_view run);
// Whether `name` is one JournalDraftName gives.
bool IsJournalDraftName(std::string_view name);
// The run identity in a name JournalDraftName gave.
std::string_view RunOfDraft(std::string_view name);

// The key that signs the journals of one installation: this PC's key bound
// to the installation folder's identity (its volume and file id), so that a
// journal copied into another folder, on this PC or another, is not taken
// for that folder's. The identity stays the folder's across a reboot and a
// rename on its volume.
platform::MachineKey InstallationKey(const platform::MachineKey& machine,
                                     const platform::FileId& folder);

// The journal's text. Its second line carries a keyed digest (HMAC-SHA-256
// under the installation's key) of the lines up to it, and its last line one
// of all before it: only this PC's administrators can have written either,
// so a journal cut short is told from a whole one, and both from anyone
// else's.
std::string JournalText(const Journal& journal, const platform::MachineKey& key);

// What a file named kJournalName holds.
struct NotAJournal {};      // a file of the user's that only shares the name
struct JournalCutShort {};  // ours, cut short while it was written: nothing was changed yet
// Made to look like ours, or ours under a key since lost or replaced, or
// another installation's: not followed. `unverified` holds what it names,
// read as far as it is in the journal's form, so that those files can be
// told apart from the update's own and left as they are.
struct JournalUnvouched {
    std::optional<Journal> unverified;
};
using ReadJournal = std::variant<Journal, JournalCutShort, NotAJournal, JournalUnvouched>;
// Reads `text`. A journal is only taken whole and with its keyed digests
// right, and only when every name in it is one this program would have
// chosen for one of its own destinations. Cut short is only what this
// program can be shown to have begun: a header whose keyed digest is right
// with the rest missing, or what a power loss leaves of a file being
// written (NUL bytes, alone or after the start of a journal).
ReadJournal ParseJournal(std::string_view text, const platform::MachineKey& key);
// What a journal that no key vouches for names, read line by line as far as
// the lines are in the journal's form, of whichever form's number: nothing
// it says is acted on, but the files it names are left and named.
JournalUnvouched Unverified(std::string_view text);

}  // namespace engine
