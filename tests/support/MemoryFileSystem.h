// A file system held in memory, for tests of the engine. Drives have types,
// folders list their entries in exactly the order they were added (or an order
// set explicitly), links may point anywhere (cycles included), and failures
// can be planted: a folder that cannot be listed, a file whose replacement
// fails, a read-only file. Every ReplaceFile call is recorded, and the final
// contents of all files can be read back whole.
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
        // Lists the entries in the order of `names`, which must name each
        // entry exactly once, as added.
        void SetOrder(const std::vector<std::string>& names) const;
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
        // Replacing this file fails with `result`, as when it is locked.
        const FileRef& FailReplacement(platform::ReplaceResult result) const;
        std::string Path() const;

      private:
        friend class MemoryFileSystem;
        FileRef(MemoryFileSystem& fs, NodeId id) : fs_(&fs), id_(id) {}
        MemoryFileSystem* fs_;
        NodeId id_;
    };

    struct ReplaceCall {
        std::string source;
        std::string installation;
        std::string relative;
        platform::ReplaceResult result;
        friend bool operator==(const ReplaceCall&, const ReplaceCall&) = default;
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

    std::vector<ReplaceCall> ReplaceCalls() const;
    // Path -> contents of every file in the tree, links not followed.
    std::map<std::string, std::string> Contents() const;
    std::size_t ListingCount() const;

    // platform::FileSystem
    std::uint32_t LogicalDrives() override;
    platform::DriveType GetDriveType(char letter) override;
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override;
    bool IsFolder(const std::string& path) override;
    std::optional<platform::FolderId> GetFolderId(const std::string& path) override;
    platform::ReplaceResult ReplaceFile(const std::string& source, const std::string& installation,
                                        const std::string& relative) override;
    std::string OwnExecutableFolder() override;

  private:
    enum class Kind : std::uint8_t { Folder, File, Link };

    struct Node {
        std::string name;
        NodeId parent = 0;
        Kind kind = Kind::Folder;
        bool unlistable = false;
        bool readOnly = false;
        platform::ReplaceResult replaceFailure = platform::ReplaceResult::Replaced;
        NodeId linkTarget = 0;
        std::string contents;
        std::vector<NodeId> children;  // in listing order
        // Upper-cased name -> child, built on the first look-up in a big folder.
        std::unique_ptr<std::unordered_map<std::string, NodeId>> index;
    };

    static constexpr NodeId kNone = 0xFFFFFFFF;

    NodeId AddChild(NodeId folder, std::string name, Kind kind);
    NodeId FindChild(NodeId folder, std::string_view name);
    NodeId Follow(NodeId node) const;
    // The node `path` names, following links on the way and, when
    // `followLast`, at its end; kNone when there is none.
    NodeId Resolve(const std::string& path, bool followLast);
    std::string PathOf(NodeId node) const;

    mutable std::recursive_mutex mutex_;
    std::vector<Node> nodes_;
    std::map<char, std::pair<platform::DriveType, NodeId>> drives_;
    std::string ownExecutableFolder_ = "A:\\";
    bool listsDotEntries_ = true;
    std::function<void(const std::string&)> listingHook_;
    std::vector<ReplaceCall> replaceCalls_;
    std::size_t listingCount_ = 0;

    // The last path resolved and the node after each of its components: a
    // walk resolves paths that share all but their last component, so deep
    // trees are resolved in time proportional to the path's length.
    std::string lastPath_;
    std::vector<std::size_t> lastEnds_;
    std::vector<NodeId> lastNodes_;
};

}  // namespace test_support
