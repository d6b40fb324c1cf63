// Where on a drive an installation can be, as its file table tells: the
// folders that hold a file named like the marker (by any of its names), the
// folders and files that are links of any kind, and every folder above them.
// The search still lists each folder it enters and recognises installations
// from the listings; this only tells it which subfolders it may leave out.
//
// It keeps a byte for each record of the table and, for folders only, the
// parent, a hash of each name and the record: a hash that two names share
// only makes the search enter a folder it could have left out, never leave
// out one it needs. A folder the table does not know (made after it was
// read, or named in a way the hash cannot match) is searched whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/filetable/FileRecord.h"
#include "platform/RawVolume.h"

namespace engine {

class InstallationPlaces {
  public:
    // What the search is to do in a folder: search everything below it, leave
    // it out, or search below it where the table says (the folder's record).
    using Scope = std::uint32_t;
    static constexpr Scope kEverything = 0xFFFF'FFFF;
    static constexpr Scope kNowhere = 0xFFFF'FFFE;
    static constexpr Scope kRoot = static_cast<Scope>(ntfs::kRootFolder);
    // Record numbers the index can keep: below the two scopes above.
    static constexpr std::uint64_t kMostRecords = 0xFFFF'FFF0;
    // The memory the index may take while it is made, whatever the table
    // claims; a table that needs more is not read, and the drive is walked.
    static constexpr std::size_t kMostBytes = std::size_t{32} << 20;
    static constexpr std::uint64_t kBytesPerRecord = 5;  // while it is made

  private:
    struct FolderName {
        std::uint32_t parent, hash, record;
        std::uint16_t sequence;  // the folder's record's; kNoSequence from an extension
        friend bool operator<(const FolderName& a, const FolderName& b) {
            return a.parent != b.parent ? a.parent < b.parent : a.hash < b.hash;
        }
    };
    static constexpr std::uint16_t kNoSequence = 0xFFFF;

  public:
    // The scope of the subfolder `name` of a folder searched in `parent`.
    Scope Child(Scope parent, std::string_view name, bool isLink) const;
    // Where a search by the index begins: the drive's root, or everything.
    Scope RootScope() const;

    // Turns the index into one for searching again what changed since the
    // table was read: each of `folders`, as far as it was known to the table
    // by its record and sequence number, is searched whole, and the folders
    // above it lead there; nothing else is. False, with `why`, when one of
    // them is no folder the table knows.
    bool FollowChanges(const std::vector<platform::FileReference>& folders, std::string& why);

    // The memory the index holds, about.
    std::size_t Bytes() const { return flags_.capacity() + names_.capacity() * sizeof(FolderName); }

    // Takes in a table's records one by one and makes the index.
    class Builder {
      public:
        // `records` is at most kMostRecords.
        explicit Builder(std::uint64_t records);
        enum class Added : std::uint8_t { Yes, PastTheEnd, TooMany };
        // PastTheEnd when the record names a record past the table's end,
        // TooMany when its folders' names would take more than kMostBytes.
        Added Add(std::uint64_t record, const ntfs::RecordFacts& facts);
        // The index, or nullopt with `why` when the folders do not add up:
        // a folder on the way to a marker or link that is not a folder in
        // use, or parents that form a cycle.
        std::optional<InstallationPlaces> Finish(std::string& why);

      private:
        std::vector<std::uint8_t> flags_;
        std::vector<std::uint32_t> parents_;
        std::vector<FolderName> names_;  // of folders, and of any record's extensions
        std::size_t mostNames_ = 0;
        std::uint16_t rootSequence_ = 0;
    };

  private:
    std::vector<std::uint8_t> flags_;
    std::vector<FolderName> names_;  // of folders, by parent and hash
    std::uint16_t rootSequence_ = 0;
};

}  // namespace engine
