// A file being written beside its destination on Windows (StagedFile in
// FolderHandle.h), created relative to its held folder.
#pragma once

#include <memory>

#include "platform/FolderHandle.h"
#include "platform/win32/RelativeFile.h"

namespace platform {

class Win32StagedFile final : public StagedFile {
  public:
    // `file` was created in `folder` with write, attribute and DACL access.
    Win32StagedFile(std::shared_ptr<const HeldFolder> folder, ScopedHandle file)
        : folder_(std::move(folder)), file_(std::move(file)) {}

    Failure Write(std::span<const std::byte> bytes) override;
    // A time of 0 leaves the system's own. The predecessor's read-only
    // attribute comes along as well: Windows renames a read-only file, so the
    // copy still takes its place, and Delete takes the attribute away first
    // when a copy has to go again.
    Failure Finish(FileTime lastWrite, std::string_view predecessor) override;

  private:
    std::shared_ptr<const HeldFolder> folder_;  // kept open for the predecessor
    ScopedHandle file_;
};

}  // namespace platform
