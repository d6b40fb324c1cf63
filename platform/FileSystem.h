// The operating-system services the update engine rests on: drives, folder
// listings, the folder test, folder identity, installations opened for
// changing through handles, the package's files, the programs that may hold
// an installation, and the running program's own folder and package list.
//
// Paths are UTF-8 texts in Windows form: a drive root is the letter and a
// colon alone ("C:"), components are joined with '\', and a folder path never
// ends in '\'. Each implementation translates them to its own system (the
// Win32 one to "\\?\" wide paths, the POSIX one to folders mapped to letters).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FolderHandle.h"
#include "platform/MachineKey.h"
#include "platform/RawVolume.h"
#include "platform/RestartReplacements.h"

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

// What a drive's folders are read from, as far as the system tells: it
// decides how many folders the search lists at once.
enum class DiskKind : std::uint8_t {
    Unknown,
    Spinning,    // a moving head: requests are sorted by place on the disk
    SolidState,  // flash: many requests are served at once
    Memory,      // nothing to wait for, as in the tests' file system
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
    // Returns false when the folder cannot be listed completely: it cannot be
    // opened (missing, access denied, not a folder), and `onEntry` has not
    // been called, or the system failed to give the next entry half way;
    // the entries given before that are real and stay valid. A listing that
    // `onEntry` gave up counts as listed.
    using EntrySink = std::function<bool(const FolderEntry&)>;
    virtual bool ListFolder(const std::string& folder, const EntrySink& onEntry) = 0;

    // The kind of disk the drive `letter` lies on; Unknown where the system
    // does not tell.
    virtual DiskKind KindOfDisk(char /*letter*/) { return DiskKind::Unknown; }

    // About how many entries (files and folders) the drive `letter` holds,
    // where its file system keeps count; nullopt where it does not.
    virtual std::optional<std::uint64_t> EntriesOnDrive(char /*letter*/) { return std::nullopt; }

    // The volume behind the drive `letter`, opened for reading its bytes
    // (RawVolume.h); a failure says why it cannot be, in the system's words
    // where it has them. Where a system has no volume to give, as the tests'
    // file system, the search walks the drive's folders instead.
    virtual Result<std::unique_ptr<RawVolume>> OpenRawVolume(char /*letter*/) {
        return FileError{FileError::Kind::Other, "no volume to read"};
    }

    // The system's words for why `folder` cannot be listed, asked only after
    // a listing failed: it is listed again to the end, so a failure half way
    // is told too; empty when it can be listed whole now.
    virtual std::string WhyNotListed(const std::string& folder) = 0;

    // True when `path` names an existing folder (links to folders included).
    virtual bool IsFolder(const std::string& path) = 0;

    // The identity of the folder `path` leads to, following links; nullopt
    // when it cannot be read.
    virtual std::optional<FileId> GetFolderId(const std::string& path) = 0;

    // Opens the folder `path` for changing it through handles (FolderHandle.h).
    // The folder itself must not be a link or other reparse point (Kind::Link);
    // the folders above it may be.
    virtual Result<std::unique_ptr<FolderHandle>> OpenFolderNoLink(const std::string& path) = 0;

    // Opens the folder that `path` leads to, following links all the way,
    // the last component included. For an installation that the search
    // reached through a link: the caller must then check that the folder
    // opened is the one the search saw (FolderHandle::Id).
    virtual Result<std::unique_ptr<FolderHandle>> OpenFolderFollowingLinks(
        const std::string& path) = 0;

    // Opens a file for reading by its path, following links.
    virtual Result<std::unique_ptr<SourceFile>> OpenSourceFile(const std::string& path) = 0;

    // Whether a running process was started from the program file whose
    // identity is `program` (SourceFile::Id), whatever path, drive letter
    // or link it was started through.
    virtual bool ProgramRunsFrom(const FileId& program) = 0;

    // The name of an application that holds the file `path` open, where the
    // system can tell (the Restart Manager on Windows); nullopt otherwise.
    virtual std::optional<std::string> ApplicationUsing(const std::string& path) = 0;

    // This PC's secret key (MachineKey.h), made at its first use unless
    // `use` says otherwise; why not,
    // when it can be neither read nor made, or when what holds it could have
    // been written by someone other than an administrator.
    virtual Result<MachineKey> JournalKey(KeyUse /*use*/) {
        return FileError{FileError::Kind::Other, "no key is kept on this system"};
    }
    // Why the key JournalKey gave is a new one, made in place of a key that
    // others could have read or written; told once, nullopt after that and
    // where it is not.
    virtual std::optional<std::string> JournalKeyReplaced() { return std::nullopt; }
    // The replacements the system carries out at the next restart
    // (RestartReplacements.h); null where it carries out none, and an
    // installation in use is then left as it is.
    virtual RestartReplacements* AtRestart() { return nullptr; }

    // The list of the package's files that the program carries, one line a
    // file: "<name> <size> <sha256 in hex>"; nullopt when it carries none.
    virtual std::optional<std::string> BuiltInPackageList() = 0;

    // Held by the worker's thread while it searches and updates, so that
    // it sees every folder as it is on disk: 64-bit Windows shows a 32-bit
    // program another folder in place of System32 unless the thread asks
    // otherwise. Nothing to hold where the system shows every program the same.
    class ThreadView {
      public:
        virtual ~ThreadView() = default;
    };
    virtual std::unique_ptr<ThreadView> SeeFoldersAsTheyAre() { return nullptr; }

    // The folder of the running program, ending in '\' ("D:\Updater\").
    virtual std::string OwnExecutableFolder() = 0;
};

}  // namespace platform
