// A folder of an installation held open as a descriptor, and every change
// made relative to it (FolderHandle.h). Nothing is looked up by path: each
// name is resolved by the kernel relative to the descriptor, and links are
// never followed.
#pragma once

#include <memory>
#include <string>

#include "platform/FolderHandle.h"
#include "platform/posix/ScopedFd.h"

namespace platform {

class PosixFolderHandle final : public FolderHandle {
  public:
    // `folder` is a descriptor of the folder, opened O_DIRECTORY.
    explicit PosixFolderHandle(ScopedFd folder);

    bool List(const EntrySink& onEntry) override;
    std::optional<FileId> Id() override;
    Result<std::unique_ptr<FolderHandle>> OpenFolder(std::string_view name) override;
    Result<std::unique_ptr<SourceFile>> OpenFile(std::string_view name) override;
    Result<Entry> Inspect(std::string_view name) override;
    Failure CheckNotInUse(std::string_view name) override;
    Result<std::unique_ptr<StagedFile>> CreateFile(std::string_view name) override;
    Failure Rename(std::string_view from, std::string_view to) override;
    Failure Delete(std::string_view name) override;

  private:
    // Shared with the files staged here, which look at their predecessors
    // through it, and may outlive this handle.
    std::shared_ptr<const ScopedFd> folder_;
};

// Opens the folder `name` of the folder open as `parentFd`, which must not
// be a link (Kind::Link) nor a file (Kind::NotFound: no folder of that name).
Result<std::unique_ptr<FolderHandle>> OpenFolderIn(int parentFd, const std::string& name);

}  // namespace platform
