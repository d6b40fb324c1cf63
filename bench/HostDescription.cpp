#include "bench/HostDescription.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>

#include "platform/posix/MountTable.h"

namespace bench {

namespace {

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const std::size_t start = line.find_first_not_of(" \t", line.find(':') + 1);
            return start == std::string::npos ? "unknown" : line.substr(start);
        }
    }
    return "unknown";
}

// The last-mounted of the longest mount points above `folder`.
std::string FileSystemType(const std::filesystem::path& folder) {
    std::error_code error;
    const std::string path = std::filesystem::weakly_canonical(folder, error).string();
    std::string type = "unknown";
    std::size_t longest = 0;
    for (const platform::MountEntry& mount : platform::ReadOwnMountTable()) {
        const std::string& point = mount.mountPoint;
        const bool above =
            path.rfind(point, 0) == 0 &&
            (point == "/" || path.size() == point.size() || path[point.size()] == '/');
        if (above && point.size() >= longest) {
            longest = point.size();
            type = mount.type;
        }
    }
    return type;
}

}  // namespace

HostDescription DescribeHost(const std::filesystem::path& folder) {
    HostDescription host;
    host.processors = static_cast<unsigned>(sysconf(_SC_NPROCESSORS_ONLN));
    utsname name{};
    host.kernel = uname(&name) == 0 ? name.release : "unknown";
    host.cpuModel = CpuModel();
    host.fileSystem = FileSystemType(folder);
    return host;
}

}  // namespace bench
