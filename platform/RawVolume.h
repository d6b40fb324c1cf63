// A drive's volume read as bytes, below its file system: what the search
// reads a file table from. Offsets and lengths of reads are multiples of the
// sector size, as unbuffered reads of a Windows volume must be; so is the
// buffer's address, for the same reason.
//
// The bytes are only as new as the file system has written them: NTFS keeps
// recent changes to its table in memory. A flush first makes them the
// folders' present state, and the change journal tells what changed after.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/FolderHandle.h"

namespace platform {

// A record of the file table with the sequence number it had when it was
// referred to: a record freed and used again has another.
struct FileReference {
    std::uint64_t record = 0;
    std::uint16_t sequence = 0;
};

// Where a change journal stands: which journal it is (a journal deleted and
// made again is another), the number its next change will be given, and the
// number of the oldest change it still holds (older ones have wrapped away).
struct JournalPosition {
    std::uint64_t journal = 0;
    std::int64_t next = 0;
    std::int64_t first = 0;
};

// One change the journal recorded, of a file or folder in a folder.
struct VolumeChange {
    FileReference file;
    FileReference folder;  // the folder that holds the name changed
    bool isFolder = false;
    std::uint32_t reasons = 0;  // of change_reason
};

// The journal's reasons for a record that the search heeds: the folder
// gained, lost or renamed an entry, or an entry became or ceased to be a link.
namespace change_reason {
inline constexpr std::uint32_t kCreated = 0x0000'0100;       // USN_REASON_FILE_CREATE
inline constexpr std::uint32_t kDeleted = 0x0000'0200;       // USN_REASON_FILE_DELETE
inline constexpr std::uint32_t kOldName = 0x0000'1000;       // USN_REASON_RENAME_OLD_NAME
inline constexpr std::uint32_t kNewName = 0x0000'2000;       // USN_REASON_RENAME_NEW_NAME
inline constexpr std::uint32_t kHardLink = 0x0001'0000;      // USN_REASON_HARD_LINK_CHANGE
inline constexpr std::uint32_t kReparsePoint = 0x0010'0000;  // USN_REASON_REPARSE_POINT_CHANGE
inline constexpr std::uint32_t kOfEntries =
    kCreated | kDeleted | kOldName | kNewName | kHardLink | kReparsePoint;
}  // namespace change_reason

class RawVolume {
  public:
    virtual ~RawVolume() = default;
    // The unit every read is aligned to, a power of two no smaller than 512.
    virtual std::uint32_t SectorSize() const = 0;
    // Fills `buffer` from `offset`; a read cut short by the volume's end is a
    // failure.
    virtual Failure Read(std::uint64_t offset, std::span<std::byte> buffer) = 0;
    // Has the file system write what it holds in memory of the volume, so
    // that reads from here on see its table as the folders are.
    virtual Failure Flush() = 0;
    // Where the volume's change journal stands now; nullopt when the volume
    // keeps none.
    virtual Result<std::optional<JournalPosition>> JournalNow() = 0;
    // The journal's answer to a read of its changes with a reason among
    // `reasons`, from `from.next` on, into `buffer`: how many bytes of it
    // were filled, as NTFS gives them (the next read's start, then records;
    // engine/filetable/ChangeJournal.h reads them). A failure when the
    // journal is no longer `from.journal` or has wrapped past `from.next`.
    virtual Result<std::size_t> ReadJournal(const JournalPosition& from, std::uint32_t reasons,
                                            std::span<std::byte> buffer) = 0;
};

}  // namespace platform
