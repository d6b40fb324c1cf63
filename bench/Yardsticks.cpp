#include "bench/Yardsticks.h"

#include <unistd.h>

#include "bench/ChildProcess.h"

namespace bench {

namespace {

constexpr const char* kFd = "fdfind";

}  // namespace

std::vector<std::string> FindCommand(const std::filesystem::path& tree) {
    return {"find", tree.string(), "-xdev", "-type", "d"};
}

std::vector<std::string> FdCommand(const std::filesystem::path& tree, std::string& why) {
    if (!OnPath(kFd) && ::geteuid() == 0 && OnPath("apt-get")) {
        RunProgram({"apt-get", "install", "-y", "--no-install-recommends", "fd-find"},
                   {.captureOutput = false,
                    .quiet = true,
                    .environment = {"DEBIAN_FRONTEND=noninteractive"}});
    }
    if (!OnPath(kFd)) {
        why = "fd (Debian package fd-find) is not installed and could not be";
        return {};
    }
    // -u: hidden folders and ignore files count as everything else does.
    return {kFd, "-u", "--one-file-system", "-t", "d", ".", tree.string()};
}

}  // namespace bench
