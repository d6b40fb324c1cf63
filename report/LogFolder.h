// The folder of PC logs as the report sees it: the files directly in it,
// none reached through a link, each read from its end. A folder on a share
// is written by every PC and may be prepared by anyone who can write there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace report {

class OpenedLog {
  public:
    virtual ~OpenedLog() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads `size` bytes at `offset` into `into`; false, with why, when the
    // system refuses.
    virtual bool ReadAt(std::uint64_t offset, std::size_t size, std::string& into,
                        std::string& why) = 0;
};

struct FolderEntry {
    std::string name;     // UTF-8
    std::string refused;  // why it is not read (a link, a folder); empty when it may be
};

class LogFolder {
  public:
    virtual ~LogFolder() = default;
    // Every entry whose name ends in ".log", in no particular order. Throws
    // std::runtime_error when the folder cannot be listed.
    virtual std::vector<FolderEntry> Logs() = 0;
    // The file `name` in the folder, opened without following a link; null,
    // with why, when it is a link, not a file, has more than one name or
    // cannot be opened. Safe from several threads at once.
    virtual std::unique_ptr<OpenedLog> Open(const std::string& name, std::string& why) = 0;
};

}  // namespace report
