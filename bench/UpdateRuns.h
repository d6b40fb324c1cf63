// What one installation's update costs on a real disk: the stage, the
// verification, the commit by renames and the flushes that make each step
// durable; and how long a stop takes when it falls while an installation is
// being changed, which the worker finishes first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace bench {

struct UpdateFigures {
    std::vector<double> seconds;      // one update each, of an installation at its old bytes
    std::vector<double> stopSeconds;  // RequestStop as an update begins, until WaitForEnd returns
    // The same update where the product runs from the installation, in a run
    // nobody watches: staged whole and its replacements asked for at the
    // restart (a recorder of the requests stands in for the registry).
    std::vector<double> heldSeconds;
    bool allWaiting = true;
    std::uint64_t packageBytes = 0;
    bool allReplaced = true;
};

// Makes a package and one installation under `folder` and updates the
// installation `rounds` times, its old bytes put back before each, then stops
// `rounds` runs each just as their update has begun.
UpdateFigures MeasureUpdates(const std::filesystem::path& folder, int rounds);

}  // namespace bench
