// What the figures were measured on: processors, kernel, CPU model and the
// file system holding the tree.
#pragma once

#include <filesystem>
#include <string>

namespace bench {

struct HostDescription {
    unsigned processors = 0;
    std::string kernel;      // uname -r
    std::string cpuModel;    // /proc/cpuinfo's first "model name"
    std::string fileSystem;  // the type of the mount holding `folder`, "ext4"
};

HostDescription DescribeHost(const std::filesystem::path& folder);

}  // namespace bench
