// What the text of one PC's log says: its last complete run, what became of
// each installation, and the line that explains a failure. The text is the
// log's end or the whole of it, as it lies on a share: cut in the middle of
// a line, a second Update.exe's lines among a run's, not UTF-8, written by
// anyone. Nothing in it is trusted beyond its form.
#pragma once

#include <string_view>

#include "report/PcRow.h"

namespace report {

struct LogReading {
    // A run with its start and its exit code lies in the text: reading
    // further back would change nothing.
    bool completeRunFound = false;
    // lastRun, exitCode, list, installations, reason, windows, computer and
    // notes, from that run (or, without one, what the text shows).
    PcRow row;
};

// `fromStart`: the text is the whole log; otherwise its first line may be
// the end of a line cut by where the reading began, and is left out.
LogReading ReadLog(std::string_view text, bool fromStart);

}  // namespace report
