// The file and drive services on Linux, where drive letters stand for
// folders: by default C: is "/" and D:, E:, ... are the other local disks.
// Paths are found as Windows finds them, without regard to the letter case
// of ASCII letters, when no entry of exactly the given name exists.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/posix/DriveLetters.h"

namespace platform {

class PosixFileSystem final : public FileSystem {
  public:
    // The system's own drives (DefaultDriveMap) and mount points.
    PosixFileSystem();
    // The given drives, all of them fixed, and the system's mount points.
    explicit PosixFileSystem(const DriveMap& drives);
    // The given drives and mount points (host folders): a listing never shows
    // a mount point, since the file system mounted there is a drive of its
    // own or none (/proc, /sys).
    PosixFileSystem(const DriveMap& drives, const std::vector<std::string>& mountPoints);

    std::uint32_t LogicalDrives() override;
    DriveType GetDriveType(char letter) override;
    DiskKind KindOfDisk(char letter) override;
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override;
    std::string WhyNotListed(const std::string& folder) override;
    bool IsFolder(const std::string& path) override;
    std::optional<FileId> GetFolderId(const std::string& path) override;
    Result<std::unique_ptr<FolderHandle>> OpenFolderNoLink(const std::string& path) override;
    Result<std::unique_ptr<SourceFile>> OpenSourceFile(const std::string& path) override;
    Result<std::unique_ptr<FolderHandle>> OpenFolderFollowingLinks(
        const std::string& path) override;
    bool ProgramRunsFrom(const FileId& program) override;
    // Nothing on Linux tells which application holds a file: nullopt.
    std::optional<std::string> ApplicationUsing(const std::string& path) override;
    std::optional<std::string> BuiltInPackageList() override;
    std::string OwnExecutableFolder() override;
    // From the file set below (PosixMachineKey.h), read once.
    Result<MachineKey> JournalKey(KeyUse use) override;

    // Where the key is kept; tests give a file of their own.
    void SetJournalKeyFile(std::string path) {
        journalKeyFile_ = std::move(path);
        journalKey_.reset();
    }

    // A program built for Linux carries no package list; tests give one here.
    void SetBuiltInPackageList(std::optional<std::string> list) {
        builtInPackageList_ = std::move(list);
    }

  private:
    void Init(const DriveMap& drives, const std::vector<std::string>& mountPoints);
    // The host path of `path` as written, or nullopt when it is malformed or
    // on a drive that is not mapped.
    std::optional<std::string> HostPath(const std::string& path) const;
    // The folder that drive `letter` (either case) stands for; null when unmapped.
    const std::string* RootOf(char letter) const;
    // The host path of an existing `path`: as written when that exists, else
    // found name by name without regard to letter case; nullopt when neither.
    std::optional<std::string> ExistingHostPath(const std::string& path) const;

    std::array<std::string, 26> roots_;  // by letter; empty when unmapped
    // The mount points, as names by the folder holding them.
    std::map<std::string, std::set<std::string, std::less<>>, std::less<>> mountPointsByFolder_;
    std::optional<std::string> builtInPackageList_;
    std::string journalKeyFile_;
    std::optional<Result<MachineKey>> journalKey_;
};

}  // namespace platform
