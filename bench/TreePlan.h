// The shape of the synthetic drive the benchmark searches, planned in memory
// before anything is written: which folders exist below which, how many empty
// files each holds, and where the product's installations lie.
//
// It is meant to look like a real system drive to a depth-first search: a
// dozen top-level folders, skewed fan-out (most folders hold a handful of
// entries, a few hold hundreds), most folders 3 to 12 deep, a few long chains
// of nested folders, one folder with a huge number of entries, and a few
// installations of the product deep inside.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Changes whenever the same shape would plan a different tree, so that a tree
// made by an older generator is made again.
inline constexpr int kTreeGeneratorVersion = 1;

struct TreeShape {
    std::uint64_t seed = 0x50'4A'31'D0'20'24'0B'E7ULL;
    // Every folder below the root and every file, of whatever kind.
    std::uint32_t folders = 100'000;
    std::uint32_t files = 500'000;
    // The one huge folder: its entries, of which `wideSubfolders` are folders.
    std::uint32_t wideEntries = 200'000;
    std::uint32_t wideSubfolders = 10;
    std::uint32_t installations = 4;
    std::vector<std::uint32_t> chainLengths = {24, 40, 64};
    // No folder of the ordinary growth lies deeper than this.
    std::uint16_t deepestGrowth = 13;

    // One line naming every parameter: what the stamp of a made tree records.
    std::string Describe() const;
};

struct PlannedFolder {
    std::uint32_t parent = 0;  // the index of the folder holding it; the root holds itself
    std::uint16_t depth = 0;   // 0 for the root
    std::uint32_t files = 0;   // empty files named by GeneratedFileName
    std::string name;          // empty for the root
};

// A file with a fixed name and contents: those of the installations.
struct PlannedFile {
    std::uint32_t folder = 0;
    std::string name;
    std::string contents;
};

struct TreePlan {
    // [0] is the root; every folder comes after the one holding it.
    std::vector<PlannedFolder> folders;
    std::vector<PlannedFile> namedFiles;
    std::vector<std::uint32_t> installations;  // the folders holding SKM300.EXE
    std::vector<std::uint32_t> withXtras;      // those of them with an xtras folder
    std::uint32_t wideFolder = 0;

    std::uint64_t FileCount() const;
    // The folder's path below the root, components joined with `separator`.
    std::string RelativePath(std::uint32_t folder, char separator) const;
};

TreePlan PlanTree(const TreeShape& shape);

// The name of the `index`-th generated file of `folder`: distinct within the
// folder, and never the name of a product file.
std::string GeneratedFileName(std::uint32_t folder, std::uint32_t index);

}  // namespace bench
