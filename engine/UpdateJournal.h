// The names an update writes into an installation besides the package's files.
#pragma once

#include <string_view>

namespace engine {

// The journal that an update writes, flushed, into the installation folder
// before it changes anything there: it names every file the update is about
// to touch and the bytes each holds before and after. Its presence means an
// update of this installation was cut short; only what it names is repaired.
inline constexpr std::string_view kJournalName = "~upd-journal";

}  // namespace engine
