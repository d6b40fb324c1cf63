// The folder of logs on Windows, a share's as well as a drive's: its files
// listed and opened by name, never through a junction or symbolic link, and
// read while the PCs may still be appending to them.
#pragma once

#include <string>

#include "report/LogFolder.h"

namespace report {

// The system's words for a Win32 error code.
std::string SystemErrorText(unsigned long code);

class Win32LogFolder final : public LogFolder {
  public:
    // Throws std::runtime_error when `path` is not a folder that can be read.
    explicit Win32LogFolder(const std::string& path);

    std::vector<FolderEntry> Logs() override;
    std::unique_ptr<OpenedLog> Open(const std::string& name, std::string& why) override;

  private:
    std::wstring folder_;  // in its long form
};

}  // namespace report
