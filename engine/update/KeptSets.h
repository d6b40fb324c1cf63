// What an update keeps of a journal no key of this PC's vouches for: the
// journal itself, moved aside under a name of the form
// "~upd-journal.unverified-<run>", and the staged and backup files it names
// that stand there. Such a set is kept until an administrator removes it,
// and named in every run's log and in /LIST meanwhile. A set holds only
// bytes kept nowhere else: a file whose bytes the package holds, or another
// kept file does, is deleted rather than kept, so that kills after kills
// with the key lost leave one set, not one a kill.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/update/Retry.h"
#include "engine/update/UpdateJournal.h"
#include "engine/update/UpdatePackage.h"
#include "platform/FileSystem.h"

namespace engine {

inline constexpr std::string_view kKeptJournalPrefix = "~upd-journal.unverified-";

// Whether `name` is one a journal is set aside under.
bool IsKeptJournalName(std::string_view name);
// The name a journal is set aside under, new for each.
std::string NewKeptJournalName();

// One name a kept journal gives: the row of the table whose folder holds it,
// and the name itself.
struct KeptName {
    std::size_t row = 0;
    std::string name;
    bool backup = false;  // the old bytes' name, else the new bytes'
};
// The staged and backup names the journal `text` gives, read as far as it
// is in the journal's form whether or not a key vouches for it; none for a
// text in no journal's form.
std::vector<KeptName> NamesInKeptJournal(std::string_view text);

// The kept sets of one installation, reached through the update's handles.
class KeptSets {
  public:
    // `root` is the installation folder; `folderOf` gives the folder of a
    // row's destination (null where there is none); `keptJournals` the names
    // of the root's entries that IsKeptJournalName.
    KeptSets(platform::FolderHandle& root,
             std::function<platform::FolderHandle*(std::size_t row)> folderOf,
             std::vector<std::string> keptJournals, Patience patience);

    // Every name kept there now, each relative to the installation folder:
    // the journals first, each followed by the files it names that stand.
    std::vector<std::string> Names(
        const std::function<std::string(std::size_t row, std::string_view name)>& relative);

    // Of the files the journal just set aside as `journal` names
    // (`names`), deletes each whose bytes `package` holds for its row or an
    // earlier kept file holds; where an earlier set stands, moves each other
    // one to the name the earlier journal gives it, where that is free, and
    // deletes `journal` itself where it then names nothing kept. Returns
    // what stays kept: each name of `names` and its name now. A file that
    // cannot be read, deleted or moved stays as it is.
    struct Stays {
        KeptName kept;
        std::string keptAs;
    };
    std::vector<Stays> Prune(const std::string& journal, const std::vector<KeptName>& names,
                             const UpdatePackage& package);

  private:
    platform::FolderHandle& root_;
    std::function<platform::FolderHandle*(std::size_t)> folderOf_;
    std::vector<std::string> keptJournals_;
    Patience patience_;
};

// The same names as KeptSets::Names gives, for /LIST, which reaches the
// installation `installation` by its path and changes nothing.
std::vector<std::string> KeptNamesIn(platform::FileSystem& files, const std::string& installation);

}  // namespace engine
