// Changing an installation through open handles. The installation folder is
// opened once, every folder below it is opened relative to its parent's
// handle, and every file is created, renamed and deleted relative to the
// handle of its own folder. No path inside an installation is resolved twice,
// so a folder swapped for a link half way cannot redirect a single write: the
// handles still name the folders that were opened. A link or other reparse
// point is never opened as a folder on the way.
//
// Names given to a FolderHandle are single components as they stand in the
// folder's listing; the caller finds them there, letter case ignored, and
// passes them exactly. No name contains '\' or '/', and none is "." or "..".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace platform {

// One entry of a folder listing. `name` is the entry's own name, not a path.
struct FolderEntry {
    std::string_view name;
    bool isFolder = false;  // carries the folder bit (0x10); links to folders do too
    bool isLink = false;    // a symbolic link, junction or other reparse point
};

// What makes a folder itself, whatever path leads to it: the volume (or
// device) and the file id (or inode). Two paths with equal ids are one folder.
// ReFS gives 128-bit file ids; `fileHigh` holds the upper half where the
// system has one. An id is only certain while a handle to the folder is open:
// some file systems (FAT among them) may give a deleted folder's id to a new
// one. The walk compares ids read moments apart, the installation's against
// the handle that then stays open.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t fileHigh = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

// Why one operation failed. `kind` is what the engine tells apart; the
// description is the system's own wording of the error (FormatMessageW in the
// user's language, strerror on POSIX), in UTF-8, shown to the user as it is.
struct FileError {
    enum class Kind : std::uint8_t {
        NotFound,  // no such file or folder
        Link,      // a link or other reparse point stands where a file or folder should be
        InUse,     // another program holds the file open (a sharing violation)
        Changed,   // the file is not what it was when it was first looked at
        Other,     // anything else: access denied, disk full, a device error
    };
    Kind kind = Kind::Other;
    std::string description;
};

// Nothing when an operation succeeded, else why it failed.
using Failure = std::optional<FileError>;

// A value, or why it could not be had.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}          // NOLINT: implicit by design
    Result(FileError error) : state_(std::move(error)) {}  // NOLINT: implicit by design

    explicit operator bool() const { return state_.index() == 0; }
    T& operator*() { return std::get<0>(state_); }
    T* operator->() { return &std::get<0>(state_); }
    const FileError& Error() const { return std::get<1>(state_); }

  private:
    std::variant<T, FileError> state_;
};

// A time stamp in the system's own units (FILETIME ticks on Windows,
// nanoseconds since 1970 on POSIX), passed from a file to its copy unchanged.
struct FileTime {
    std::int64_t ticks = 0;
};

// What stands at a name in a folder, links not followed.
enum class EntryKind : std::uint8_t { Missing, File, Folder, Link };

// A file open for reading: one of the update package, or one of an
// installation whose bytes are compared with what they should be.
class SourceFile {
  public:
    virtual ~SourceFile() = default;
    // Reads up to buffer.size() bytes; 0 at the end of the file.
    virtual Result<std::size_t> Read(std::span<std::byte> buffer) = 0;
    virtual FileTime LastWriteTime() = 0;
    // The file's identity (volume and file id, as FileId gives a
    // folder's), read from the open handle; nullopt where it cannot be read.
    virtual std::optional<FileId> Id() = 0;
};

// A new file being written beside its destination (a staged copy).
class StagedFile {
  public:
    virtual ~StagedFile() = default;
    virtual Failure Write(std::span<const std::byte> bytes) = 0;
    // Completes the file: gives it the modification time `lastWrite`, and
    // when `predecessor` names an existing file of the same folder (the file
    // this one is to replace), that file's attributes, security descriptor
    // and creation time (on POSIX its owner, group and permission bits).
    // Then flushes it to disk and closes it.
    virtual Failure Finish(FileTime lastWrite, std::string_view predecessor) = 0;
};

// An open folder inside an installation, or the installation folder itself.
class FolderHandle {
  public:
    virtual ~FolderHandle() = default;

    // Lists the folder through the handle; "." and ".." are left out. False
    // when it cannot be listed.
    using EntrySink = std::function<bool(const FolderEntry&)>;
    virtual bool List(const EntrySink& onEntry) = 0;

    // The folder's identity, read from the handle, so it stays the identity
    // of this folder for as long as the handle is open.
    virtual std::optional<FileId> Id() = 0;

    // Opens the subfolder `name` relative to this folder. A link, junction or
    // other reparse point there is refused with Kind::Link.
    virtual Result<std::unique_ptr<FolderHandle>> OpenFolder(std::string_view name) = 0;

    // Opens the file `name` for reading; others may go on reading, writing
    // and deleting it meanwhile. A link is refused with Kind::Link, a folder
    // with Kind::Other.
    virtual Result<std::unique_ptr<SourceFile>> OpenFile(std::string_view name) = 0;

    // What stands at `name`, and whether a file there is read-only.
    struct Entry {
        EntryKind kind = EntryKind::Missing;
        bool readOnly = false;
    };
    virtual Result<Entry> Inspect(std::string_view name) = 0;

    // Fails with Kind::InUse while another program holds the existing file
    // `name` open, so that it could not be replaced; nothing is changed.
    virtual Failure CheckNotInUse(std::string_view name) = 0;

    // Creates the file `name`, which must not exist, for writing.
    virtual Result<std::unique_ptr<StagedFile>> CreateFile(std::string_view name) = 0;

    // Renames the file `from` to `to`, which must not exist, in this folder,
    // and makes the rename durable before returning (write-through).
    virtual Failure Rename(std::string_view from, std::string_view to) = 0;

    // Deletes the file `name`. A link is deleted as itself, never followed.
    virtual Failure Delete(std::string_view name) = 0;
};

}  // namespace platform
