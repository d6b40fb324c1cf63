// Every PC of the folder: each PC's log (and the older one rotated beside
// it, "<PC>.1.log") read from its end until its last complete run is found,
// at most kLogReadLimit bytes of each file, on a few threads so that a
// share's latency is paid in parallel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "report/LogFolder.h"
#include "report/PcRow.h"

namespace report {

// The first look at a log's end, and the most read of one file: a run's
// lines take a few KiB, a run over many folders it could not list some
// hundreds.
inline constexpr std::size_t kFirstLook = 64 * 1024;
inline constexpr std::size_t kLogReadLimit = 1024 * 1024;

// A local time as seconds from 1970-01-01 00:00:00, as the stamps of the
// logs give it, with no zone: the PCs and the reader share one.
std::int64_t SecondsOf(std::string_view stamp);  // "YYYY-MM-DD hh:mm:ss"; -1 when not one

struct SurveyOptions {
    std::int64_t now = 0;  // SecondsOf the present
    int staleDays = 7;     // a PC not heard from for longer stands as Stale
    unsigned threads = 4;
};

struct Survey {
    std::vector<PcRow> rows;  // those that need someone first, then by name
    std::size_t counts[kStandings] = {};
    std::uint64_t bytesRead = 0;
};

// Throws std::runtime_error when the folder cannot be listed.
Survey SurveyFolder(LogFolder& folder, const SurveyOptions& options);

}  // namespace report
