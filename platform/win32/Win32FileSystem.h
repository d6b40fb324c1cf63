// The file and drive services on Windows, through the wide APIs and "\\?\"
// paths, so that names outside the ANSI code page and paths longer than 260
// characters work alike.
#pragma once

// First, so that <windows.h> cannot rename the methods of FileSystem.
#include "platform/win32/WinApi.h"

#include <optional>
#include <string>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/win32/Win32RestartReplacements.h"

namespace platform {

class Win32FileSystem final : public FileSystem {
  public:
    std::uint32_t LogicalDrives() override;
    DriveType GetDriveType(char letter) override;
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override;
    // From the volume's disk (IOCTL_STORAGE_QUERY_PROPERTY, seek penalty).
    DiskKind KindOfDisk(char letter) override;
    // NTFS only: the file records in use (FSCTL_GET_NTFS_VOLUME_DATA).
    std::optional<std::uint64_t> EntriesOnDrive(char letter) override;
    // NTFS only, "\\.\D:" read unbuffered (Win32RawVolume.h).
    Result<std::unique_ptr<RawVolume>> OpenRawVolume(char letter) override;
    std::string WhyNotListed(const std::string& folder) override;
    bool IsFolder(const std::string& path) override;
    std::optional<FileId> GetFolderId(const std::string& path) override;
    Result<std::unique_ptr<FolderHandle>> OpenFolderNoLink(const std::string& path) override;
    Result<std::unique_ptr<SourceFile>> OpenSourceFile(const std::string& path) override;
    Result<std::unique_ptr<FolderHandle>> OpenFolderFollowingLinks(
        const std::string& path) override;
    bool ProgramRunsFrom(const FileId& program) override;
    std::optional<std::string> ApplicationUsing(const std::string& path) override;
    // The RCDATA resource PACKAGELIST of the program's own executable; a
    // UTF-8 byte order mark before the text is left out.
    std::optional<std::string> BuiltInPackageList() override;
    // A Wow64View: a 32-bit build sees System32 as it is, not SysWOW64.
    std::unique_ptr<ThreadView> SeeFoldersAsTheyAre() override;
    std::string OwnExecutableFolder() override;
    // From the registry (MachineKeyStore.h), read once.
    Result<MachineKey> JournalKey(KeyUse use) override;
    std::optional<std::string> JournalKeyReplaced() override {
        return std::exchange(journalKeyReplaced_, std::nullopt);
    }

    // MoveFileExW's replacements at the next restart.
    RestartReplacements* AtRestart() override { return &atRestart_; }

  private:
    Win32RestartReplacements atRestart_;
    std::optional<Result<MachineKey>> journalKey_;
    std::optional<std::string> journalKeyReplaced_;
};

}  // namespace platform
