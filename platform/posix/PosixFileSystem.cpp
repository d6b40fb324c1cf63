#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixMachineKey.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/AsciiCase.h"
#include "platform/posix/CaseInsensitiveLookup.h"
#include "platform/posix/DiskKind.h"
#include "platform/posix/DrivePath.h"
#include "platform/posix/EntryDescription.h"
#include "platform/posix/FolderReader.h"
#include "platform/posix/PosixFileError.h"
#include "platform/posix/PosixFolderHandle.h"
#include "platform/posix/PosixSourceFile.h"
#include "platform/posix/RunningPrograms.h"
#include "platform/posix/ScopedFd.h"

namespace platform {
namespace {

// A folder's path without a trailing '/', and through no links, so that it
// compares equal with the paths of the mount table and of /proc/self/exe.
std::string CanonicalFolder(const std::string& folder) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(folder.c_str(), nullptr),
                                                         &std::free);
    std::string path = resolved ? std::string(resolved.get()) : folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string JoinHost(std::string folder, std::string_view name) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    folder += name;
    return folder;
}

std::vector<std::string> MountPointsOf(const std::vector<MountEntry>& mounts) {
    std::vector<std::string> points;
    points.reserve(mounts.size());
    for (const MountEntry& mount : mounts)
        points.push_back(mount.mountPoint);
    return points;
}

}  // namespace

PosixFileSystem::PosixFileSystem() {
    // One reading of the table for both, so that they agree.
    const std::vector<MountEntry> mounts = ReadOwnMountTable();
    Init(AssignDriveLetters(mounts, IsLocalFixedDisk), MountPointsOf(mounts));
}

PosixFileSystem::PosixFileSystem(const DriveMap& drives) {
    Init(drives, MountPointsOf(ReadOwnMountTable()));
}

PosixFileSystem::PosixFileSystem(const DriveMap& drives,
                                 const std::vector<std::string>& mountPoints) {
    Init(drives, mountPoints);
}

void PosixFileSystem::Init(const DriveMap& drives, const std::vector<std::string>& mountPoints) {
    for (const auto& [letter, folder] : drives) {
        const char upper = AsciiUpper(letter);
        if (upper >= 'A' && upper <= 'Z' && !folder.empty()) {
            roots_[upper - 'A'] = CanonicalFolder(folder);
        }
    }
    for (const std::string& point : mountPoints) {
        std::string path = point;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos || path == "/")
            continue;
        mountPointsByFolder_[slash == 0 ? "/" : path.substr(0, slash)].insert(
            path.substr(slash + 1));
    }
}

std::uint32_t PosixFileSystem::LogicalDrives() {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < roots_.size(); ++i) {
        if (!roots_[i].empty())
            mask |= std::uint32_t{1} << i;
    }
    return mask;
}

const std::string* PosixFileSystem::RootOf(char letter) const {
    letter = AsciiUpper(letter);
    if (letter < 'A' || letter > 'Z' || roots_[letter - 'A'].empty())
        return nullptr;
    return &roots_[letter - 'A'];
}

DriveType PosixFileSystem::GetDriveType(char letter) {
    return RootOf(letter) ? DriveType::Fixed : DriveType::NoRootDir;
}

DiskKind PosixFileSystem::KindOfDisk(char letter) {
    const std::string* root = RootOf(letter);
    return root ? KindOfDiskHolding(*root) : DiskKind::Unknown;
}

std::optional<std::string> PosixFileSystem::HostPath(const std::string& path) const {
    const std::optional<DrivePath> parsed = ParseDrivePath(path);
    if (!parsed)
        return std::nullopt;
    std::string host = "/";
    if (parsed->letter != 0) {
        host = roots_[parsed->letter - 'A'];
        if (host.empty())
            return std::nullopt;
    }
    for (std::string_view name : parsed->names)
        host = JoinHost(std::move(host), name);
    return host;
}

std::optional<std::string> PosixFileSystem::ExistingHostPath(const std::string& path) const {
    std::optional<std::string> exact = HostPath(path);
    struct stat st {};
    if (!exact || ::lstat(exact->c_str(), &st) == 0)
        return exact;

    const std::optional<DrivePath> parsed = ParseDrivePath(path);
    std::string host = parsed->letter != 0 ? roots_[parsed->letter - 'A'] : "/";
    ScopedFd folder(::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t i = 0; folder && i < parsed->names.size(); ++i) {
        const std::optional<std::string> name =
            FindEntryIgnoringCase(folder.Get(), parsed->names[i]);
        if (!name)
            return std::nullopt;
        host = JoinHost(std::move(host), *name);
        if (i + 1 == parsed->names.size())
            return host;
        folder =
            ScopedFd(::openat(folder.Get(), name->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    return std::nullopt;
}

bool PosixFileSystem::ListFolder(const std::string& folder, const EntrySink& onEntry) {
    // The path as written is tried first: the search lists folders by the
    // names their own listings gave, so it is nearly always right, and one
    // open is all it costs. Only where it names nothing is letter case
    // ignored, name by name.
    std::optional<std::string> host = HostPath(folder);
    if (!host)
        return false;
    ScopedFd fd(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd && (errno == ENOENT || errno == ENOTDIR)) {
        host = ExistingHostPath(folder);
        if (host)
            fd = ScopedFd(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!fd)
        return false;

    const auto mounted = mountPointsByFolder_.find(*host);
    const std::set<std::string, std::less<>>* hidden =
        mounted != mountPointsByFolder_.end() ? &mounted->second : nullptr;
    return ReadFolder(fd.Get(), [&](const RawEntry& entry) {
        // A '\' would split the name when the caller joins it into a path.
        if (entry.name.find('\\') != std::string_view::npos)
            return true;
        if (hidden && hidden->contains(entry.name))
            return true;
        return onEntry(DescribeEntry(fd.Get(), entry));
    });
}

std::string PosixFileSystem::WhyNotListed(const std::string& folder) {
    const std::optional<std::string> host = ExistingHostPath(folder);
    if (!host)
        return FileErrorOf(ENOENT).description;
    const ScopedFd fd(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd || !ReadFolder(fd.Get(), [](const RawEntry&) { return true; }))
        return LastFileError().description;
    return {};
}

bool PosixFileSystem::IsFolder(const std::string& path) {
    const std::optional<std::string> host = ExistingHostPath(path);
    struct stat st {};
    return host && ::stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<FileId> PosixFileSystem::GetFolderId(const std::string& path) {
    const std::optional<std::string> host = ExistingHostPath(path);
    struct stat st {};
    if (!host || ::stat(host->c_str(), &st) != 0)
        return std::nullopt;
    return FileId{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
}

Result<std::unique_ptr<FolderHandle>> PosixFileSystem::OpenFolderNoLink(const std::string& path) {
    const std::optional<DrivePath> parsed = ParseDrivePath(path);
    if (!parsed)
        return FileErrorOf(EINVAL);
    const std::optional<std::string> host = ExistingHostPath(path);
    if (!host)
        return FileErrorOf(ENOENT);
    if (parsed->names.empty()) {
        // The root of a drive: the folder it was mapped to, through no link
        // (Init resolved them all).
        ScopedFd root(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!root)
            return LastFileError();
        return std::unique_ptr<FolderHandle>(std::make_unique<PosixFolderHandle>(std::move(root)));
    }
    // The folders above may be links; the installation folder itself is
    // opened without following one.
    const std::size_t slash = host->rfind('/');
    const std::string parentPath = slash == 0 ? "/" : host->substr(0, slash);
    const ScopedFd parent(::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent)
        return LastFileError();
    return OpenFolderIn(parent.Get(), host->substr(slash + 1));
}

Result<std::unique_ptr<SourceFile>> PosixFileSystem::OpenSourceFile(const std::string& path) {
    if (!ParseDrivePath(path))
        return FileErrorOf(EINVAL);
    const std::optional<std::string> host = ExistingHostPath(path);
    if (!host)
        return FileErrorOf(ENOENT);
    return OpenRegularFile(*host);
}

Result<std::unique_ptr<FolderHandle>> PosixFileSystem::OpenFolderFollowingLinks(
    const std::string& path) {
    if (!ParseDrivePath(path))
        return FileErrorOf(EINVAL);
    const std::optional<std::string> host = ExistingHostPath(path);
    if (!host)
        return FileErrorOf(ENOENT);
    ScopedFd folder(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return LastFileError();
    return std::unique_ptr<FolderHandle>(std::make_unique<PosixFolderHandle>(std::move(folder)));
}

bool PosixFileSystem::ProgramRunsFrom(const FileId& program) {
    return AnyProcessRunsFrom(program);
}

std::optional<std::string> PosixFileSystem::ApplicationUsing(const std::string&) {
    return std::nullopt;
}

std::optional<std::string> PosixFileSystem::BuiltInPackageList() {
    return builtInPackageList_;
}

std::string PosixFileSystem::OwnExecutableFolder() {
    std::string executable(PATH_MAX, '\0');
    while (true) {
        const ssize_t length = ::readlink("/proc/self/exe", executable.data(), executable.size());
        if (length < 0)
            return {};
        if (std::size_t(length) < executable.size()) {
            executable.resize(std::size_t(length));
            break;
        }
        executable.resize(executable.size() * 2);
    }
    const std::string folder = executable.substr(0, executable.rfind('/'));

    // The drive whose folder holds the program most closely names it;
    // outside every drive, the host path itself, from its root.
    std::string prefix = "\\";
    std::size_t longestRoot = 0;
    std::string_view below = folder;
    for (std::size_t i = 0; i < roots_.size(); ++i) {
        const std::string& root = roots_[i];
        if (root.empty())
            continue;
        const bool holds = root == "/" || folder == root ||
                           (folder.starts_with(root) && folder[root.size()] == '/');
        if (holds && root.size() > longestRoot) {
            prefix = std::string{char('A' + i), ':', '\\'};
            longestRoot = root.size();
            below = std::string_view(folder).substr(root == "/" ? 0 : root.size());
        }
    }
    std::string result = prefix;
    for (char c : below) {
        if (c == '/' && result.back() == '\\')
            continue;
        result += c == '/' ? '\\' : c;
    }
    if (result.back() != '\\')
        result += '\\';
    return result;
}

Result<MachineKey> PosixFileSystem::JournalKey(KeyUse use) {
    if (journalKey_ && *journalKey_)
        return *journalKey_;
    Result<MachineKey> key =
        MachineKeyFromFile(journalKeyFile_.empty() ? kDefaultMachineKeyFile : journalKeyFile_, use);
    if (use == KeyUse::ReadOrMake)
        journalKey_ = key;
    return key;
}

}  // namespace platform
