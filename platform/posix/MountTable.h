// The mount table of the running process, as Linux gives it in
// /proc/self/mountinfo: which file system is mounted where.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MountEntry {
    std::string root;        // the folder of the file system that is mounted ("/" for all of it)
    std::string mountPoint;  // where it is mounted
    std::string type;        // "ext4", "proc", "nfs", ...
    std::string source;      // "/dev/sda1", "tmpfs", "server:/export", ...
};

// Parses the text of a mountinfo file, in its order (the order of mounting).
// Lines that do not have the expected fields are passed over; the octal
// escapes the kernel writes for blanks and backslashes ("\040") are decoded.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The process's own mount table; empty when it cannot be read.
std::vector<MountEntry> ReadOwnMountTable();

}  // namespace platform
