#include "engine/update/RefusedAsItStands.h"

#include <variant>

#include "engine/ReplacementTable.h"
#include "engine/Texts.h"

namespace engine {

std::optional<StandingRefusal> RefusedAsItStands(const FolderNames& installation) {
    if (installation.Ambiguous(kJournalName))
        return StandingRefusal{kJournalName, text::kNamesDifferOnlyInCase};
    const FolderNames::Entry* journal = installation.Find(kJournalName);
    if (journal && (journal->isFolder || journal->isLink))
        return StandingRefusal{kJournalName, text::kNotAJournalFile};
    if (installation.Ambiguous(kXtrasFolderName))
        return StandingRefusal{"xtras", text::kNamesDifferOnlyInCase};
    return std::nullopt;
}

bool RefusedAsItStands(const ReadJournal& journal) {
    return std::holds_alternative<NotAJournal>(journal);
}

}  // namespace engine
