// What one installation's update costs on a real disk: the stage, the
// verification, the commit by renames and the flushes that make each step
// durable; and how long a stop takes when it falls while an installation is
// being changed, which the worker finishes first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace bench {

struct RefreshFigures {
    std::vector<double> seconds;      // one refresh each, of an installation already current
    std::vector<double> stopSeconds;  // RequestStop as a refresh begins, until WaitForEnd returns
    std::uint64_t packageBytes = 0;
    bool allReplaced = true;
};

// Makes a package and one installation under `folder` (remade each time) and
// refreshes the installation `rounds` times, then stops `rounds` runs each
// just as their refresh has begun.
RefreshFigures MeasureRefreshes(const std::filesystem::path& folder, int rounds);

}  // namespace bench
