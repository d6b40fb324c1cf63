// Where the search meets a drive's file table (FileTable.h): where NTFS's
// change journal stands noted; the volume flushed, so that its table is the
// folders' present state; the table read; and, once the drive has been
// searched by it, the folders that changed meanwhile found in the journal,
// so that they are searched again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/filetable/InstallationPlaces.h"
#include "platform/FileSystem.h"
#include "platform/RawVolume.h"

namespace engine {

class DriveTable {
  public:
    // Reads the table of drive `letter`, unless `walkOnly`. `keepReading` is
    // told how many records have been read, between reads; false gives the
    // reading up.
    DriveTable(platform::FileSystem& files, char letter, std::string_view markerName, bool walkOnly,
               const std::function<bool(std::uint64_t)>& keepReading);

    // The index to search the drive by; null when the drive is to be walked
    // whole.
    InstallationPlaces* Places() { return places_ ? &*places_ : nullptr; }
    // How the drive is searched, for the run's events: "file table, <records>
    // records, <seconds> s" (", no change journal" where the volume keeps
    // none), or "walk: <why>".
    const std::string& How() const { return how_; }
    std::uint64_t Records() const { return records_; }

    // What the journal says changed on the drive since the table was read.
    enum class Changes : std::uint8_t {
        None,     // nothing the search heeds, or no journal to tell
        Folders,  // Places() now leads to the folders that changed, and only there
        Whole,    // the journal cannot tell: walk the drive whole (How() says why)
    };
    // Asked once the drive has been searched by Places().
    Changes SinceRead();

  private:
    std::unique_ptr<platform::RawVolume> volume_;
    std::optional<platform::JournalPosition> journal_;
    std::optional<InstallationPlaces> places_;
    std::string how_;
    std::uint64_t records_ = 0;
};

}  // namespace engine
