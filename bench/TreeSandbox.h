// The benchmark's folder in the build tree: the synthetic drive, the update
// package beside it, and a stamp naming the generator and shape that made the
// drive, so that the drive is made once and again only when either changes.
//
//   <root>/drive/      what C: stands for (walked, searched, refreshed)
//   <root>/package/    what D: stands for: Data/ with the eight package files
//   <root>/stamp       written last: a drive without it is incomplete
#pragma once

#include <filesystem>
#include <string>

#include "bench/TreePlan.h"

namespace bench {

class TreeSandbox {
  public:
    explicit TreeSandbox(std::filesystem::path root) : root_(std::move(root)) {}

    std::filesystem::path Drive() const { return root_ / "drive"; }
    std::filesystem::path PackageParent() const { return root_ / "package"; }
    std::filesystem::path Stamp() const { return root_ / "stamp"; }

    // What the stamp of a drive of `shape` says.
    static std::string StampText(const TreeShape& shape);

    // True when the drive was made, completely, by this generator for `shape`.
    bool IsCurrent(const TreeShape& shape) const;

    enum class Outcome { Reused, Made, Failed };
    // Makes the drive unless it is current, and writes the package afresh.
    // `message` says what was done or what failed.
    Outcome Ensure(const TreeShape& shape, std::string& message) const;

  private:
    std::filesystem::path root_;
};

}  // namespace bench
