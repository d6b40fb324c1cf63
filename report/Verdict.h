// The page's words for what a log says: the verdict of an exit code, the
// state of an installation, the groups of the summary.
#pragma once

#include <optional>
#include <string_view>

#include "report/PcRow.h"

namespace report {

// "更新済み", "再起動待ち", …; for no exit code, a run that never ended.
std::string_view VerdictOf(std::optional<int> exitCode, bool list);

// Where the PC stands by its last complete run alone, before its age is
// looked at.
Standing StandingOf(const PcRow& row);

std::string_view StandingName(Standing standing);
// The word for it in the page's classes and the table: "current", "restart", …
std::string_view StandingKey(Standing standing);

// "1.55B", "更新前", …
std::string_view StateName(std::string_view state);

}  // namespace report
