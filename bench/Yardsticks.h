// The walkers the engine's search is compared with, each listing every
// folder of the tree and nothing across a mount point: find, which reads one
// folder at a time, and fd, which reads several at once (Debian's fd-find,
// whose program is fdfind).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

std::vector<std::string> FindCommand(const std::filesystem::path& tree);

// fd's command, with as many threads as fd chooses (one per processor).
// Installed with apt when it is missing and this process may install
// packages; empty, with the reason, when it cannot be had.
std::vector<std::string> FdCommand(const std::filesystem::path& tree, std::string& why);

}  // namespace bench
