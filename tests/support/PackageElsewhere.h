// Real file services with the update package taken from a folder of the
// caller's choice instead of beside the running program, so that tests and
// benchmarks can run whole updates over temporary folders.
#pragma once

#include <string>
#include <utility>

#include "platform/ForwardingFileSystem.h"

namespace test_support {

class PackageElsewhere : public platform::ForwardingFileSystem {
  public:
    // `package` is in the engine's form and ends in '\' ("D:\", "C:\Temp\Updater\").
    PackageElsewhere(platform::FileSystem& files, std::string package)
        : ForwardingFileSystem(files), package_(std::move(package)) {}

    std::string OwnExecutableFolder() override { return package_; }

  private:
    std::string package_;
};

}  // namespace test_support
