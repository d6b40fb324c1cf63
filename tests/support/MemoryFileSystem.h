// A file system held in memory, for tests of the engine. Drives have types,
// folders list their entries in exactly the order they were added (or an order
// set explicitly), links may point anywhere (cycles included), and failures
// can be planted: a folder that cannot be listed, a read-only file, a file
// another program holds open, a running product, the N-th file operation
// failing, or the machine going down after the N-th (nothing changes after
// it until the test revives it). The final contents of all files can be read
// back whole.
//
// The file operations counted are those of an installation's update: opening
// an installation, a package file or a folder below an installation, listing,
// inspecting or checking through a handle, creating, writing, finishing,
// renaming and deleting a file, and reading a package file.
//
// Names are matched without regard to the letter case of ASCII letters, as on
// the Windows file systems the product is installed on; listings give the
// names as they were added.
//
// All operations take one lock, so a test thread may look at or change the
// tree while a worker walks it. The listing hook runs on the caller's thread
// before each listing and may itself call back into the file system (to set a
// stop request from inside the walk, for example); the EntrySink of a listing
// must not change the tree.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"

namespace test_support {

class MemoryFileSystem : public platform::FileSystem {
  public:
    using NodeId = std::uint32_t;

    class FileRef;

    // A folder of the tree, for building it; cheap to copy.
    class FolderRef {
      public:
        FolderRef AddFolder(std::string name) const;
        FileRef AddFile(std::string name, std::string contents = {}) const;
        // A link named `name` to another folder or file of the tree.
        void AddLink(std::string name, const FolderRef& target) const;
        void AddLink(std::string name, const FileRef& target) const;
        // Listing this folder fails from now on, as when access is denied.
        const FolderRef& MakeUnlistable() const;
        // Listing this folder fails from now on after its first `entries`
        // entries ("." and ".." not counted), as when a disk read fails half
        // way.
        const FolderRef& FailListingAfter(std::size_t entries) const;
        // Lists the entries in the order of `names`, which must name each
        // entry exactly once, as added.
        void SetOrder(const std::vector<std::string>& names) const;
        // Gives the folder another name in the same parent, as a swap would.
        void Rename(std::string name) const;
        std::string Path() const;
        NodeId Id() const { return id_; }

      private:
        friend class MemoryFileSystem;
        FolderRef(MemoryFileSystem& fs, NodeId id) : fs_(&fs), id_(id) {}
        MemoryFileSystem* fs_;
        NodeId id_;
    };

    class FileRef {
      public:
        // The file carries the read-only attribute: replacing it fails.
        const FileRef& MakeReadOnly() const;
        const FileRef& SetContents(std::string contents) const;
        // Another program holds the file open, sharing nothing: it cannot
        // be replaced, renamed or deleted.
        const FileRef& Hold(bool held = true) const;
        // The file's attributes (System, Hidden, ...), which a replacement keeps.
        const FileRef& SetAttributes(std::uint32_t attributes) const;
        std::string Path() const;

      private:
        friend class MemoryFileSystem;
        FileRef(MemoryFileSystem& fs, NodeId id) : fs_(&fs), id_(id) {}
        MemoryFileSystem* fs_;
        NodeId id_;
    };

    MemoryFileSystem();
    ~MemoryFileSystem() override;

    // Building and inspecting the tree (test side).
    FolderRef AddDrive(char letter, platform::DriveType type = platform::DriveType::Fixed);
    // The folder at `path`, creating every missing folder on the way.
    FolderRef MakeFolders(const std::string& path);
    // A file at `path`, creating the folders on the way.
    FileRef MakeFile(const std::string& path, std::string contents = {});
    // The existing file at `path`; throws std::invalid_argument when there is none.
    FileRef FileAt(const std::string& path);
    void SetOwnExecutableFolder(std::string folder);
    // Whether listings other than a drive root's begin with "." and "..", as
    // NTFS does (on by default).
    void SetListsDotEntries(bool lists);
    // Called with the folder's path at the start of every ListFolder.
    void SetListingHook(std::function<void(const std::string& folder)> hook);

    // The product runs from the program file `path`, through whatever links
    // it holds (the file itself counts, not the path).
    void SetRunningProgram(std::string path);
    // The application the system names as holding a held file; none by default.
    void SetApplicationName(std::optional<std::string> name);
    void SetBuiltInPackageList(std::optional<std::string> list);
    // This PC's key for journals: a fixed one by default; none makes
    // JournalKey fail, as where it can be neither read nor made.
    void SetJournalKey(std::optional<platform::MachineKey> key);
    // The `n`-th counted operation from now (1 for the next) fails with `error`.
    void FailOperation(std::size_t n, platform::FileError error);
    // The `n`-th counted operation from now throws std::runtime_error, as
    // an unexpected failure would.
    void ThrowAtOperation(std::size_t n);
    // Every counted operation after the next `n` fails and changes nothing,
    // as if the machine had gone down, until Revive.
    void CrashAfter(std::size_t n);
    void Revive();
    std::size_t OperationCount() const;
    // The paths given to OpenFolderNoLink and OpenFolderFollowingLinks, in
    // order, but for the package's own Data folder.
    std::vector<std::string> InstallationsOpened() const;
    std::uint32_t AttributesOf(const std::string& path);
    // Path -> contents of every file in the tree, links not followed.
    std::map<std::string, std::string> Contents() const;
    std::size_t ListingCount() const;

    // platform::FileSystem
    std::uint32_t LogicalDrives() override;
    platform::DriveType GetDriveType(char letter) override;
    // Listings come from memory: the search reads none ahead unless told
    // to, so a listing hook sees folders listed as the walk enters them.
    platform::DiskKind KindOfDisk(char) override { return platform::DiskKind::Memory; }
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override;
    std::string WhyNotListed(const std::string& folder) override;
    bool IsFolder(const std::string& path) override;
    std::optional<platform::FileId> GetFolderId(const std::string& path) override;
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolderNoLink(
        const std::string& path) override;
    platform::Result<std::unique_ptr<platform::SourceFile>> OpenSourceFile(
        const std::string& path) override;
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolderFollowingLinks(
        const std::string& path) override;
    bool ProgramRunsFrom(const platform::FileId& program) override;
    std::optional<std::string> ApplicationUsing(const std::string& path) override;
    platform::Result<platform::MachineKey> JournalKey(platform::KeyUse use) override;
    std::optional<std::string> BuiltInPackageList() override;
    std::string OwnExecutableFolder() override;

  private:
    class Folder;
    class Staged;
    class Source;

    enum class Kind : std::uint8_t { Folder, File, Link };

    struct Node {
        std::string name;
        NodeId parent = 0;
        Kind kind = Kind::Folder;
        bool unlistable = false;
        std::optional<std::size_t> listingFailsAfter;
        bool readOnly = false;
        bool held = false;
        bool detached = false;  // deleted, but still open through a handle
        std::uint32_t attributes = 0;
        std::int64_t lastWrite = 0;
        NodeId linkTarget = 0;
        std::string contents;
        std::vector<NodeId> children;  // in listing order
        // Upper-cased name -> child, built on the first look-up in a big folder.
        std::unique_ptr<std::unordered_map<std::string, NodeId>> index;
    };

    static constexpr NodeId kNone = 0xFFFFFFFF;

    NodeId AddChild(NodeId folder, std::string name, Kind kind);
    void Detach(NodeId node);
    // Counts one file operation; the failure planted for it, if any.
    platform::Failure Count();
    NodeId FindChild(NodeId folder, std::string_view name);
    NodeId Follow(NodeId node) const;
    // The node `path` names, following links on the way and, when
    // `followLast`, at its end; kNone when there is none.
    NodeId Resolve(const std::string& path, bool followLast);
    std::string PathOf(NodeId node) const;
    platform::FileId IdOf(NodeId folder) const;
    void ForgetLastPath();

    mutable std::recursive_mutex mutex_;
    std::vector<Node> nodes_;
    std::map<char, std::pair<platform::DriveType, NodeId>> drives_;
    std::string ownExecutableFolder_ = "A:\\";
    bool listsDotEntries_ = true;
    std::function<void(const std::string&)> listingHook_;
    std::string runningProgram_;
    std::optional<std::string> applicationName_;
    std::optional<std::string> builtInList_;
    std::optional<platform::MachineKey> journalKey_ = platform::MachineKey{0x4b, 0x65, 0x79};
    std::size_t operations_ = 0;
    std::vector<std::string> installationsOpened_;
    std::map<std::size_t, platform::FileError> plannedFailures_;  // by operation number
    std::optional<std::size_t> crashAfter_;                       // operation number
    std::size_t throwAt_ = 0;                                     // operation number, 0 for none
    std::size_t listingCount_ = 0;

    // The last path resolved and the node after each of its components: a
    // walk resolves paths that share all but their last component, so deep
    // trees are resolved in time proportional to the path's length.
    std::string lastPath_;
    std::vector<std::size_t> lastEnds_;
    std::vector<NodeId> lastNodes_;
};

}  // namespace test_support
