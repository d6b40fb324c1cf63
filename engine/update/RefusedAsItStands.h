// What makes an update refuse an installation as it stands, before it
// changes anything. The update (InstallationSurvey, EarlierRun) and
// /LIST (InstallationState.cpp) both ask here, so that what /LIST tells of an
// installation is what an update would do with it.
#pragma once

#include <optional>
#include <string_view>

#include "engine/update/FolderNames.h"
#include "engine/update/UpdateJournal.h"

namespace engine {

struct StandingRefusal {
    std::string_view name;  // what is refused, below the installation folder
    std::string_view why;   // in the log's words
};

// From the listing of the installation folder itself: names that differ
// only in letter case where the update must tell one file, or a folder or a
// link of the journal's name.
std::optional<StandingRefusal> RefusedAsItStands(const FolderNames& installation);

// From what a file of the journal's name reads as: one in no journal's form
// is the user's, and stays where it is.
bool RefusedAsItStands(const ReadJournal& journal);

}  // namespace engine
