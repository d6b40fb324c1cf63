// A new file being written beside the file it is to replace (FolderHandle.h).
#pragma once

#include <memory>

#include "platform/FolderHandle.h"
#include "platform/posix/ScopedFd.h"

namespace platform {

class PosixStagedFile final : public StagedFile {
  public:
    // `file` is the new file open for writing; `folder` the folder holding
    // it, where its predecessor is looked up.
    PosixStagedFile(ScopedFd file, std::shared_ptr<const ScopedFd> folder);

    Failure Write(std::span<const std::byte> bytes) override;
    // The file is closed whether this succeeds or not; it stays on disk
    // either way, for the caller to rename or delete.
    Failure Finish(FileTime lastWrite, std::string_view predecessor) override;

  private:
    ScopedFd file_;
    std::shared_ptr<const ScopedFd> folder_;
};

}  // namespace platform
