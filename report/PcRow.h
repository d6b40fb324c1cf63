// What the report says of one PC: what its log's last complete run did.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace report {

// Where a PC stands, in the order the page lists them: those that need
// someone first.
enum class Standing : unsigned char {
    Midway,     // an installation half updated: run the update again
    Attention,  // a damaged package, an error, a run stopped or cut short, a log not read
    Left,       // installations left as they were (or, by /LIST, not at 1.55B)
    Stale,      // nothing heard for longer than the limit
    Restart,    // finished at the next restart
    NoProduct,  // no installation found
    Current,    // every installation at 1.55B
};
inline constexpr int kStandings = 7;

struct Installation {
    std::string path;
    // A /LIST state ("1.55B", "old", "mixed", "interrupted", "blocked",
    // "restart"), or what an update did: "updated", "left", "midway".
    std::string state;
};

struct PcRow {
    std::string name;               // the log's file name without ".log"
    std::vector<std::string> logs;  // the files read, newest first
    std::string lastRun;            // "YYYY-MM-DD hh:mm:ss", the PC's local time
    std::optional<int> exitCode;    // none: no complete run was found
    bool list = false;              // that run was /LIST
    std::vector<Installation> installations;
    std::string reason;              // the first line that explains a failure
    std::string windows;             // "10.0.19045 64-bit"
    std::string computer;            // as the log names it
    std::vector<std::string> notes;  // what else the reader should know, in the page's words
    std::string unreadable;          // why the log could not be read; empty when it was
    Standing standing = Standing::Attention;
};

}  // namespace report
