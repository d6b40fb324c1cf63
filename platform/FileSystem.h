// The operating-system services the update engine rests on: drives, folder
// listings, the folder test, folder identity, the safe replacement of one file
// and the folder of the running program.
//
// Paths are UTF-8 texts in Windows form: a drive root is the letter and a
// colon alone ("C:"), components are joined with '\', and a folder path never
// ends in '\'. Each implementation translates them to its own system (the
// Win32 one to "\\?\" wide paths, the POSIX one to folders mapped to letters).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The answers of GetDriveType that the engine tells apart; only Fixed drives
// are searched.
enum class DriveType : std::uint8_t {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

// One entry of a folder listing. `name` is the entry's own name, not a path.
struct FolderEntry {
    std::string_view name;
    bool isFolder = false;  // carries the folder bit (0x10); links to folders do too
    bool isLink = false;    // a symbolic link, junction or other reparse point
};

// What makes a folder itself, whatever path leads to it: the volume (or
// device) and the file id (or inode). Two paths with equal ids are one folder.
struct FolderId {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    friend bool operator==(const FolderId&, const FolderId&) = default;
};

// Why a replacement failed; the caller words the message, so this only needs
// to be precise enough for tests and diagnostics.
enum class ReplaceResult : std::uint8_t {
    Replaced,
    SourceUnreadable,     // missing, a folder, or cannot be opened
    FolderMissing,        // a folder on the way to the destination does not exist
    LinkInTheWay,         // the destination or a folder on the way is a link
    DestinationReadOnly,  // the existing destination is marked read-only
    WriteFailed,          // creating, writing or renaming the new file failed
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Bit 0 is drive A, bit 25 drive Z; a set bit means the letter is in use.
    virtual std::uint32_t LogicalDrives() = 0;

    // The type of the drive whose letter is 'A'..'Z'.
    virtual DriveType GetDriveType(char letter) = 0;

    // Lists `folder`, calling `onEntry` for every entry in the file system's
    // own order, hidden and system entries included, "." and ".." too where
    // the system reports them, until `onEntry` returns false: a caller may
    // give up a huge listing half way. The listing is closed before this
    // returns, so a caller may descend afterwards without holding it open.
    // Returns false when the folder cannot be listed (missing, access denied,
    // not a folder); `onEntry` has then not been called.
    using EntrySink = std::function<bool(const FolderEntry&)>;
    virtual bool ListFolder(const std::string& folder, const EntrySink& onEntry) = 0;

    // True when `path` names an existing folder (links to folders included).
    virtual bool IsFolder(const std::string& path) = 0;

    // The identity of the folder `path` leads to, following links; nullopt
    // when it cannot be read.
    virtual std::optional<FolderId> GetFolderId(const std::string& path) = 0;

    // Replaces `installation` + '\' + `relative` with a copy of `source`.
    // `relative` is one or more components joined with '\' ("QBANK.CXT",
    // "AUDIO\PHRASE\GROUP6\q417.mp3"); existing components are matched without
    // regard to letter case. The new content is written to a temporary file
    // beside the destination and renamed over it, so the destination is either
    // the old file or the complete new one, and no temporary file survives a
    // failure. Nothing below `installation` that is a link is followed or
    // replaced: a link as the destination or as a folder on the way fails with
    // LinkInTheWay. `installation` itself may have been reached through a link.
    virtual ReplaceResult ReplaceFile(const std::string& source, const std::string& installation,
                                      const std::string& relative) = 0;

    // The folder of the running program, ending in '\' ("D:\Updater\").
    virtual std::string OwnExecutableFolder() = 0;
};

}  // namespace platform
