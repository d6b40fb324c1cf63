// The folder of logs on a POSIX system, for the tests and the benchmark.
#pragma once

#include <string>

#include "report/LogFolder.h"

namespace report {

class PosixLogFolder final : public LogFolder {
  public:
    // Throws std::runtime_error when the folder cannot be opened.
    explicit PosixLogFolder(const std::string& path);
    ~PosixLogFolder() override;
    PosixLogFolder(const PosixLogFolder&) = delete;
    PosixLogFolder& operator=(const PosixLogFolder&) = delete;

    std::vector<FolderEntry> Logs() override;
    std::unique_ptr<OpenedLog> Open(const std::string& name, std::string& why) override;

  private:
    int folder_ = -1;
};

}  // namespace report
