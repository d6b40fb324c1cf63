#include "tests/support/MemoryFileSystem.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "platform/AsciiCase.h"

namespace test_support {

using platform::DriveType;
using platform::Failure;
using platform::FileError;

namespace {

// Splits a relative path at '\'; empty components are kept so that the
// caller can refuse them.
std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('\\', start);
        parts.push_back(path.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (platform::AsciiUpper(a[i]) != platform::AsciiUpper(b[i]))
            return false;
    }
    return true;
}

// Folders with more entries than this get a name index on their first look-up.
constexpr std::size_t kIndexFrom = 32;

// Link chains longer than this count as broken, as a system's loop limit does.
constexpr int kMaxLinkHops = 40;

}  // namespace

// ---- building --------------------------------------------------------------

MemoryFileSystem::MemoryFileSystem() = default;
MemoryFileSystem::~MemoryFileSystem() = default;

MemoryFileSystem::NodeId MemoryFileSystem::AddChild(NodeId folder, std::string name, Kind kind) {
    const auto id = static_cast<NodeId>(nodes_.size());
    nodes_.emplace_back();
    Node& node = nodes_.back();
    node.name = std::move(name);
    node.parent = folder;
    node.kind = kind;
    Node& parent = nodes_[folder];
    parent.children.push_back(id);
    if (parent.index)
        parent.index->emplace(platform::AsciiUpper(node.name), id);
    return id;
}

MemoryFileSystem::FolderRef MemoryFileSystem::AddDrive(char letter, DriveType type) {
    std::lock_guard lock(mutex_);
    letter = platform::AsciiUpper(letter);
    if (letter < 'A' || letter > 'Z' || drives_.count(letter)) {
        throw std::invalid_argument("AddDrive: bad or repeated letter");
    }
    const auto id = static_cast<NodeId>(nodes_.size());
    nodes_.emplace_back();
    nodes_.back().name = std::string{letter, ':'};
    nodes_.back().parent = kNone;
    drives_[letter] = {type, id};
    return FolderRef(*this, id);
}

MemoryFileSystem::FolderRef MemoryFileSystem::FolderRef::AddFolder(std::string name) const {
    std::lock_guard lock(fs_->mutex_);
    return FolderRef(*fs_, fs_->AddChild(id_, std::move(name), Kind::Folder));
}

MemoryFileSystem::FileRef MemoryFileSystem::FolderRef::AddFile(std::string name,
                                                               std::string contents) const {
    std::lock_guard lock(fs_->mutex_);
    const NodeId id = fs_->AddChild(id_, std::move(name), Kind::File);
    fs_->nodes_[id].contents = std::move(contents);
    return FileRef(*fs_, id);
}

void MemoryFileSystem::FolderRef::AddLink(std::string name, const FolderRef& target) const {
    std::lock_guard lock(fs_->mutex_);
    const NodeId id = fs_->AddChild(id_, std::move(name), Kind::Link);
    fs_->nodes_[id].linkTarget = target.id_;
}

void MemoryFileSystem::FolderRef::AddLink(std::string name, const FileRef& target) const {
    std::lock_guard lock(fs_->mutex_);
    const NodeId id = fs_->AddChild(id_, std::move(name), Kind::Link);
    fs_->nodes_[id].linkTarget = target.id_;
}

const MemoryFileSystem::FolderRef& MemoryFileSystem::FolderRef::MakeUnlistable() const {
    std::lock_guard lock(fs_->mutex_);
    fs_->nodes_[id_].unlistable = true;
    return *this;
}

const MemoryFileSystem::FolderRef& MemoryFileSystem::FolderRef::FailListingAfter(
    std::size_t entries) const {
    std::lock_guard lock(fs_->mutex_);
    fs_->nodes_[id_].listingFailsAfter = entries;
    return *this;
}

void MemoryFileSystem::FolderRef::SetOrder(const std::vector<std::string>& names) const {
    std::lock_guard lock(fs_->mutex_);
    std::vector<NodeId>& children = fs_->nodes_[id_].children;
    if (names.size() != children.size())
        throw std::invalid_argument("SetOrder: wrong count");
    std::vector<NodeId> ordered;
    ordered.reserve(children.size());
    for (const std::string& name : names) {
        const auto found = std::find_if(children.begin(), children.end(), [&](NodeId child) {
            return fs_->nodes_[child].name == name &&
                   std::find(ordered.begin(), ordered.end(), child) == ordered.end();
        });
        if (found == children.end())
            throw std::invalid_argument("SetOrder: unknown " + name);
        ordered.push_back(*found);
    }
    children = std::move(ordered);
}

void MemoryFileSystem::FolderRef::Rename(std::string name) const {
    std::lock_guard lock(fs_->mutex_);
    fs_->nodes_[id_].name = std::move(name);
    fs_->nodes_[fs_->nodes_[id_].parent].index.reset();
    fs_->ForgetLastPath();
}

std::string MemoryFileSystem::FolderRef::Path() const {
    std::lock_guard lock(fs_->mutex_);
    return fs_->PathOf(id_);
}

const MemoryFileSystem::FileRef& MemoryFileSystem::FileRef::MakeReadOnly() const {
    std::lock_guard lock(fs_->mutex_);
    fs_->nodes_[id_].readOnly = true;
    return *this;
}

const MemoryFileSystem::FileRef& MemoryFileSystem::FileRef::SetContents(
    std::string contents) const {
    std::lock_guard lock(fs_->mutex_);
    fs_->nodes_[id_].contents = std::move(contents);
    return *this;
}

const MemoryFileSystem::FileRef& MemoryFileSystem::FileRef::Hold(bool held) const {
    std::lock_guard lock(fs_->mutex_);
    fs_->nodes_[id_].held = held;
    return *this;
}

const MemoryFileSystem::FileRef& MemoryFileSystem::FileRef::SetAttributes(
    std::uint32_t attributes) const {
    std::lock_guard lock(fs_->mutex_);
    fs_->nodes_[id_].attributes = attributes;
    return *this;
}

std::string MemoryFileSystem::FileRef::Path() const {
    std::lock_guard lock(fs_->mutex_);
    return fs_->PathOf(id_);
}

MemoryFileSystem::FolderRef MemoryFileSystem::MakeFolders(const std::string& path) {
    std::lock_guard lock(mutex_);
    const std::vector<std::string_view> parts = Components(path);
    const auto drive = drives_.find(
        parts[0].size() == 2 && parts[0][1] == ':' ? platform::AsciiUpper(parts[0][0]) : '?');
    if (drive == drives_.end())
        throw std::invalid_argument("MakeFolders: no drive in " + path);
    NodeId folder = drive->second.second;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty())
            throw std::invalid_argument("MakeFolders: empty name in " + path);
        NodeId child = FindChild(folder, parts[i]);
        if (child == kNone) {
            child = AddChild(folder, std::string(parts[i]), Kind::Folder);
        } else {
            child = Follow(child);
            if (child == kNone || nodes_[child].kind != Kind::Folder) {
                throw std::invalid_argument("MakeFolders: not a folder on the way to " + path);
            }
        }
        folder = child;
    }
    return FolderRef(*this, folder);
}

MemoryFileSystem::FileRef MemoryFileSystem::MakeFile(const std::string& path,
                                                     std::string contents) {
    std::lock_guard lock(mutex_);
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos)
        throw std::invalid_argument("MakeFile: no folder in " + path);
    return MakeFolders(path.substr(0, slash)).AddFile(path.substr(slash + 1), std::move(contents));
}

MemoryFileSystem::FileRef MemoryFileSystem::FileAt(const std::string& path) {
    std::lock_guard lock(mutex_);
    const NodeId node = Resolve(path, false);
    if (node == kNone || nodes_[node].kind != Kind::File) {
        throw std::invalid_argument("FileAt: no file at " + path);
    }
    return FileRef(*this, node);
}

void MemoryFileSystem::SetOwnExecutableFolder(std::string folder) {
    std::lock_guard lock(mutex_);
    ownExecutableFolder_ = std::move(folder);
}

void MemoryFileSystem::SetListsDotEntries(bool lists) {
    std::lock_guard lock(mutex_);
    listsDotEntries_ = lists;
}

void MemoryFileSystem::SetListingHook(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(mutex_);
    listingHook_ = std::move(hook);
}

// ---- inspecting ------------------------------------------------------------

void MemoryFileSystem::SetRunningProgram(std::string path) {
    std::lock_guard lock(mutex_);
    runningProgram_ = std::move(path);
}

void MemoryFileSystem::SetJournalKey(std::optional<platform::MachineKey> key) {
    const std::lock_guard lock(mutex_);
    journalKey_ = key;
}

platform::Result<platform::MachineKey> MemoryFileSystem::JournalKey(platform::KeyUse) {
    const std::lock_guard lock(mutex_);
    if (!journalKey_)
        return platform::FileError{platform::FileError::Kind::Other, "access denied"};
    return *journalKey_;
}

void MemoryFileSystem::SetApplicationName(std::optional<std::string> name) {
    std::lock_guard lock(mutex_);
    applicationName_ = std::move(name);
}

void MemoryFileSystem::SetBuiltInPackageList(std::optional<std::string> list) {
    std::lock_guard lock(mutex_);
    builtInList_ = std::move(list);
}

void MemoryFileSystem::FailOperation(std::size_t n, FileError error) {
    std::lock_guard lock(mutex_);
    plannedFailures_[operations_ + n] = std::move(error);
}

void MemoryFileSystem::ThrowAtOperation(std::size_t n) {
    std::lock_guard lock(mutex_);
    throwAt_ = operations_ + n;
}

void MemoryFileSystem::CrashAfter(std::size_t n) {
    std::lock_guard lock(mutex_);
    crashAfter_ = operations_ + n;
}

void MemoryFileSystem::Revive() {
    std::lock_guard lock(mutex_);
    crashAfter_.reset();
}

std::size_t MemoryFileSystem::OperationCount() const {
    std::lock_guard lock(mutex_);
    return operations_;
}

std::vector<std::string> MemoryFileSystem::InstallationsOpened() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> opened;
    for (const std::string& path : installationsOpened_) {
        if (!SameNameIgnoringCase(path, ownExecutableFolder_ + "Data"))
            opened.push_back(path);
    }
    return opened;
}

std::uint32_t MemoryFileSystem::AttributesOf(const std::string& path) {
    std::lock_guard lock(mutex_);
    return nodes_[FileAt(path).id_].attributes;
}

Failure MemoryFileSystem::Count() {
    ++operations_;
    if (throwAt_ == operations_)
        throw std::runtime_error("thrown by operation " + std::to_string(operations_));
    if (crashAfter_ && operations_ > *crashAfter_)
        return FileError{FileError::Kind::Other, "the machine is down"};
    const auto planned = plannedFailures_.find(operations_);
    if (planned == plannedFailures_.end())
        return std::nullopt;
    FileError error = std::move(planned->second);
    plannedFailures_.erase(planned);
    return error;
}

std::size_t MemoryFileSystem::ListingCount() const {
    std::lock_guard lock(mutex_);
    return listingCount_;
}

std::map<std::string, std::string> MemoryFileSystem::Contents() const {
    std::lock_guard lock(mutex_);
    std::map<std::string, std::string> contents;
    // An explicit stack: tests build trees deeper than a thread's stack allows.
    std::vector<std::pair<NodeId, std::string>> pending;
    for (const auto& [letter, drive] : drives_)
        pending.emplace_back(drive.second, nodes_[drive.second].name);
    while (!pending.empty()) {
        auto [folder, path] = std::move(pending.back());
        pending.pop_back();
        for (const NodeId child : nodes_[folder].children) {
            const Node& node = nodes_[child];
            std::string childPath = path + '\\' + node.name;
            if (node.kind == Kind::File) {
                contents.emplace(std::move(childPath), node.contents);
            } else if (node.kind == Kind::Folder) {
                pending.emplace_back(child, std::move(childPath));
            }
        }
    }
    return contents;
}

void MemoryFileSystem::Detach(NodeId node) {
    Node& parent = nodes_[nodes_[node].parent];
    parent.children.erase(std::find(parent.children.begin(), parent.children.end(), node));
    parent.index.reset();
    nodes_[node].detached = true;
    ForgetLastPath();
}

void MemoryFileSystem::ForgetLastPath() {
    lastPath_.clear();
    lastEnds_.clear();
    lastNodes_.clear();
}

platform::FileId MemoryFileSystem::IdOf(NodeId folder) const {
    NodeId root = folder;
    while (nodes_[root].parent != kNone)
        root = nodes_[root].parent;
    return platform::FileId{static_cast<std::uint64_t>(nodes_[root].name[0]), folder};
}

// ---- resolving -------------------------------------------------------------

MemoryFileSystem::NodeId MemoryFileSystem::FindChild(NodeId folder, std::string_view name) {
    Node& node = nodes_[folder];
    if (node.children.size() >= kIndexFrom) {
        if (!node.index) {
            node.index = std::make_unique<std::unordered_map<std::string, NodeId>>();
            for (const NodeId child : node.children) {
                node.index->emplace(platform::AsciiUpper(nodes_[child].name), child);
            }
        }
        const auto found = node.index->find(platform::AsciiUpper(name));
        return found == node.index->end() ? kNone : found->second;
    }
    for (const NodeId child : node.children) {
        if (SameNameIgnoringCase(nodes_[child].name, name))
            return child;
    }
    return kNone;
}

MemoryFileSystem::NodeId MemoryFileSystem::Follow(NodeId node) const {
    for (int hops = 0; node != kNone && nodes_[node].kind == Kind::Link; ++hops) {
        if (hops == kMaxLinkHops)
            return kNone;
        node = nodes_[node].linkTarget;
    }
    return node;
}

MemoryFileSystem::NodeId MemoryFileSystem::Resolve(const std::string& path, bool followLast) {
    // Reuse the components this path shares with the last one resolved.
    std::size_t common = 0;
    const std::size_t limit = std::min(path.size(), lastPath_.size());
    while (common < limit && path[common] == lastPath_[common])
        ++common;
    std::size_t reused = 0;
    while (reused < lastEnds_.size() && lastEnds_[reused] <= common &&
           (lastEnds_[reused] == path.size() || path[lastEnds_[reused]] == '\\')) {
        ++reused;
    }
    lastEnds_.resize(reused);
    lastNodes_.resize(reused);
    lastPath_ = path;

    if (reused == 0) {
        if (path.size() < 2 || path[1] != ':' || (path.size() > 2 && path[2] != '\\')) {
            return kNone;
        }
        const auto drive = drives_.find(platform::AsciiUpper(path[0]));
        if (drive == drives_.end())
            return kNone;
        lastEnds_.push_back(2);
        lastNodes_.push_back(drive->second.second);
    }
    while (lastEnds_.back() < path.size()) {
        const std::size_t start = lastEnds_.back() + 1;
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        const NodeId folder = Follow(lastNodes_.back());
        if (end == start || folder == kNone || nodes_[folder].kind != Kind::Folder)
            return kNone;
        const NodeId child = FindChild(folder, std::string_view(path).substr(start, end - start));
        if (child == kNone)
            return kNone;
        lastEnds_.push_back(end);
        lastNodes_.push_back(child);
    }
    return followLast ? Follow(lastNodes_.back()) : lastNodes_.back();
}

std::string MemoryFileSystem::PathOf(NodeId node) const {
    std::vector<NodeId> chain;
    for (NodeId at = node; at != kNone; at = nodes_[at].parent)
        chain.push_back(at);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += '\\';
        path += nodes_[*it].name;
    }
    return path;
}

// ---- platform::FileSystem --------------------------------------------------

std::uint32_t MemoryFileSystem::LogicalDrives() {
    std::lock_guard lock(mutex_);
    std::uint32_t mask = 0;
    for (const auto& [letter, drive] : drives_)
        mask |= 1u << (letter - 'A');
    return mask;
}

DriveType MemoryFileSystem::GetDriveType(char letter) {
    std::lock_guard lock(mutex_);
    const auto drive = drives_.find(platform::AsciiUpper(letter));
    return drive == drives_.end() ? DriveType::NoRootDir : drive->second.first;
}

bool MemoryFileSystem::ListFolder(const std::string& folder, const EntrySink& onEntry) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(mutex_);
        hook = listingHook_;
    }
    if (hook)
        hook(folder);

    std::lock_guard lock(mutex_);
    ++listingCount_;
    const NodeId node = Resolve(folder, true);
    if (node == kNone || nodes_[node].kind != Kind::Folder || nodes_[node].unlistable) {
        return false;
    }
    if (listsDotEntries_ && nodes_[node].parent != kNone) {
        if (!onEntry({".", true, false}) || !onEntry({"..", true, false}))
            return true;
    }
    std::size_t given = 0;
    for (const NodeId child : nodes_[node].children) {
        if (nodes_[node].listingFailsAfter == given++)
            return false;
        const Node& entry = nodes_[child];
        const NodeId target = Follow(child);
        if (!onEntry({entry.name, target != kNone && nodes_[target].kind == Kind::Folder,
                      entry.kind == Kind::Link})) {
            return true;
        }
    }
    return nodes_[node].listingFailsAfter != given;
}

std::string MemoryFileSystem::WhyNotListed(const std::string& folder) {
    std::lock_guard lock(mutex_);
    const NodeId node = Resolve(folder, true);
    if (node == kNone)
        return "no such folder";
    if (nodes_[node].kind != Kind::Folder)
        return "not a folder";
    if (nodes_[node].listingFailsAfter)
        return "the listing broke off";
    return nodes_[node].unlistable ? "access denied" : "";
}

bool MemoryFileSystem::IsFolder(const std::string& path) {
    std::lock_guard lock(mutex_);
    const NodeId node = Resolve(path, true);
    return node != kNone && nodes_[node].kind == Kind::Folder;
}

std::optional<platform::FileId> MemoryFileSystem::GetFolderId(const std::string& path) {
    std::lock_guard lock(mutex_);
    const NodeId node = Resolve(path, true);
    if (node == kNone || nodes_[node].kind != Kind::Folder)
        return std::nullopt;
    return IdOf(node);
}

// ---- changing an installation through handles -------------------------------

namespace {

FileError NotFound() {
    return {FileError::Kind::NotFound, "no such file or folder"};
}

}  // namespace

// A package file being read; it reads the file as it is at each read, so a
// test can change it half way.
class MemoryFileSystem::Source : public platform::SourceFile {
  public:
    Source(MemoryFileSystem& fs, NodeId node) : fs_(fs), node_(node) {}

    platform::Result<std::size_t> Read(std::span<std::byte> buffer) override {
        std::lock_guard lock(fs_.mutex_);
        if (Failure failure = fs_.Count())
            return *failure;
        const std::string& contents = fs_.nodes_[node_].contents;
        const std::size_t count =
            std::min(buffer.size(), contents.size() - std::min(offset_, contents.size()));
        std::memcpy(buffer.data(), contents.data() + offset_, count);
        offset_ += count;
        return count;
    }

    platform::FileTime LastWriteTime() override {
        std::lock_guard lock(fs_.mutex_);
        return {fs_.nodes_[node_].lastWrite};
    }

    std::optional<platform::FileId> Id() override {
        std::lock_guard lock(fs_.mutex_);
        return fs_.IdOf(node_);
    }

  private:
    MemoryFileSystem& fs_;
    NodeId node_;
    std::size_t offset_ = 0;
};

class MemoryFileSystem::Staged : public platform::StagedFile {
  public:
    Staged(MemoryFileSystem& fs, NodeId folder, NodeId node)
        : fs_(fs), folder_(folder), node_(node) {}

    Failure Write(std::span<const std::byte> bytes) override {
        std::lock_guard lock(fs_.mutex_);
        if (Failure failure = fs_.Count())
            return failure;
        fs_.nodes_[node_].contents.append(reinterpret_cast<const char*>(bytes.data()),
                                          bytes.size());
        return std::nullopt;
    }

    Failure Finish(platform::FileTime lastWrite, std::string_view predecessor) override {
        std::lock_guard lock(fs_.mutex_);
        if (Failure failure = fs_.Count())
            return failure;
        fs_.nodes_[node_].lastWrite = lastWrite.ticks;
        if (!predecessor.empty()) {
            const NodeId old = fs_.FindChild(folder_, predecessor);
            if (old != kNone && fs_.nodes_[old].kind == Kind::File) {
                fs_.nodes_[node_].attributes = fs_.nodes_[old].attributes;
                fs_.nodes_[node_].readOnly = fs_.nodes_[old].readOnly;
            }
        }
        return std::nullopt;
    }

  private:
    MemoryFileSystem& fs_;
    NodeId folder_;
    NodeId node_;
};

class MemoryFileSystem::Folder : public platform::FolderHandle {
  public:
    Folder(MemoryFileSystem& fs, NodeId node) : fs_(fs), node_(node) {}

    bool List(const EntrySink& onEntry) override {
        std::lock_guard lock(fs_.mutex_);
        if (fs_.Count() || fs_.nodes_[node_].unlistable)
            return false;
        for (const NodeId child : fs_.nodes_[node_].children) {
            const NodeId target = fs_.Follow(child);
            if (!onEntry({fs_.nodes_[child].name,
                          target != kNone && fs_.nodes_[target].kind == Kind::Folder,
                          fs_.nodes_[child].kind == Kind::Link})) {
                break;
            }
        }
        return true;
    }

    std::optional<platform::FileId> Id() override {
        std::lock_guard lock(fs_.mutex_);
        return fs_.IdOf(node_);
    }

    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolder(
        std::string_view name) override {
        std::lock_guard lock(fs_.mutex_);
        auto child = ChildOfKind(name, Kind::Folder);
        if (!child)
            return child.Error();
        return std::unique_ptr<platform::FolderHandle>(std::make_unique<Folder>(fs_, *child));
    }

    platform::Result<std::unique_ptr<platform::SourceFile>> OpenFile(
        std::string_view name) override {
        std::lock_guard lock(fs_.mutex_);
        auto child = ChildOfKind(name, Kind::File);
        if (!child)
            return child.Error();
        return std::unique_ptr<platform::SourceFile>(std::make_unique<Source>(fs_, *child));
    }

    platform::Result<Entry> Inspect(std::string_view name) override {
        std::lock_guard lock(fs_.mutex_);
        if (Failure failure = fs_.Count())
            return *failure;
        const NodeId child = fs_.FindChild(node_, name);
        if (child == kNone)
            return Entry{};
        const Node& node = fs_.nodes_[child];
        switch (node.kind) {
            case Kind::Link:
                return Entry{platform::EntryKind::Link};
            case Kind::Folder:
                return Entry{platform::EntryKind::Folder};
            case Kind::File:
                break;
        }
        return Entry{platform::EntryKind::File, node.readOnly};
    }

    Failure CheckNotInUse(std::string_view name) override {
        std::lock_guard lock(fs_.mutex_);
        if (Failure failure = fs_.Count())
            return failure;
        const NodeId child = fs_.FindChild(node_, name);
        if (child == kNone)
            return NotFound();
        if (fs_.nodes_[child].held)
            return FileError{FileError::Kind::InUse, "held by another program"};
        return std::nullopt;
    }

    platform::Result<std::unique_ptr<platform::StagedFile>> CreateFile(
        std::string_view name) override {
        std::lock_guard lock(fs_.mutex_);
        if (Failure failure = fs_.Count())
            return *failure;
        if (fs_.FindChild(node_, name) != kNone)
            return FileError{FileError::Kind::Other, "the name exists"};
        const NodeId created = fs_.AddChild(node_, std::string(name), Kind::File);
        return std::unique_ptr<platform::StagedFile>(std::make_unique<Staged>(fs_, node_, created));
    }

    Failure Rename(std::string_view from, std::string_view to) override {
        std::lock_guard lock(fs_.mutex_);
        if (Failure failure = fs_.Count())
            return failure;
        const NodeId node = fs_.FindChild(node_, from);
        if (node == kNone)
            return NotFound();
        if (fs_.nodes_[node].held)
            return FileError{FileError::Kind::InUse, "held by another program"};
        if (fs_.FindChild(node_, to) != kNone)
            return FileError{FileError::Kind::Other, "the name exists"};
        fs_.nodes_[node].name = std::string(to);
        fs_.nodes_[node_].index.reset();
        fs_.ForgetLastPath();
        return std::nullopt;
    }

    Failure Delete(std::string_view name) override {
        std::lock_guard lock(fs_.mutex_);
        if (Failure failure = fs_.Count())
            return failure;
        const NodeId node = fs_.FindChild(node_, name);
        if (node == kNone)
            return NotFound();
        if (fs_.nodes_[node].kind == Kind::Folder)
            return FileError{FileError::Kind::Other, "a folder"};
        if (fs_.nodes_[node].held)
            return FileError{FileError::Kind::InUse, "held by another program"};
        fs_.Detach(node);
        return std::nullopt;
    }

  private:
    // Opening the child `name`, counted; it must be of kind `wanted`, and a
    // link there is refused.
    platform::Result<NodeId> ChildOfKind(std::string_view name, Kind wanted) {
        if (Failure failure = fs_.Count())
            return *failure;
        const NodeId child = fs_.FindChild(node_, name);
        if (child == kNone)
            return NotFound();
        if (fs_.nodes_[child].kind == Kind::Link)
            return FileError{FileError::Kind::Link, "a link"};
        if (fs_.nodes_[child].kind != wanted)
            return FileError{FileError::Kind::Other,
                             wanted == Kind::Folder ? "not a folder" : "not a file"};
        return child;
    }

    MemoryFileSystem& fs_;
    NodeId node_;
};

platform::Result<std::unique_ptr<platform::FolderHandle>> MemoryFileSystem::OpenFolderNoLink(
    const std::string& path) {
    std::lock_guard lock(mutex_);
    installationsOpened_.push_back(path);
    if (Failure failure = Count())
        return *failure;
    // The folders above may be links; the installation folder itself not.
    const NodeId node = Resolve(path, false);
    if (node == kNone)
        return NotFound();
    if (nodes_[node].kind == Kind::Link)
        return FileError{FileError::Kind::Link, "a link"};
    if (nodes_[node].kind != Kind::Folder)
        return FileError{FileError::Kind::Other, "not a folder"};
    return std::unique_ptr<platform::FolderHandle>(std::make_unique<Folder>(*this, node));
}

platform::Result<std::unique_ptr<platform::SourceFile>> MemoryFileSystem::OpenSourceFile(
    const std::string& path) {
    std::lock_guard lock(mutex_);
    if (Failure failure = Count())
        return *failure;
    const NodeId node = Resolve(path, true);
    if (node == kNone)
        return NotFound();
    if (nodes_[node].kind != Kind::File)
        return FileError{FileError::Kind::Other, "not a file"};
    return std::unique_ptr<platform::SourceFile>(std::make_unique<Source>(*this, node));
}

platform::Result<std::unique_ptr<platform::FolderHandle>>
MemoryFileSystem::OpenFolderFollowingLinks(const std::string& path) {
    std::lock_guard lock(mutex_);
    installationsOpened_.push_back(path);
    if (Failure failure = Count())
        return *failure;
    const NodeId node = Resolve(path, true);
    if (node == kNone)
        return NotFound();
    if (nodes_[node].kind != Kind::Folder)
        return FileError{FileError::Kind::Other, "not a folder"};
    return std::unique_ptr<platform::FolderHandle>(std::make_unique<Folder>(*this, node));
}

bool MemoryFileSystem::ProgramRunsFrom(const platform::FileId& program) {
    std::lock_guard lock(mutex_);
    if (runningProgram_.empty())
        return false;
    const NodeId running = Resolve(runningProgram_, true);
    return running != kNone && IdOf(running) == program;
}

std::optional<std::string> MemoryFileSystem::ApplicationUsing(const std::string&) {
    std::lock_guard lock(mutex_);
    return applicationName_;
}

std::optional<std::string> MemoryFileSystem::BuiltInPackageList() {
    std::lock_guard lock(mutex_);
    return builtInList_;
}

std::string MemoryFileSystem::OwnExecutableFolder() {
    std::lock_guard lock(mutex_);
    return ownExecutableFolder_;
}

}  // namespace test_support
