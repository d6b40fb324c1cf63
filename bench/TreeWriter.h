// Writes a planned tree, and the update package, to disk.
#pragma once

#include <filesystem>
#include <string>

#include "bench/TreePlan.h"

namespace bench {

// Makes every folder and file of `plan` below `root`, which must not exist
// yet. Returns an empty text on success, else what could not be made.
std::string WriteTree(const TreePlan& plan, const std::filesystem::path& root);

// Makes `parent`/Data holding the eight package files, writing each afresh.
// Returns an empty text on success.
std::string WritePackage(const std::filesystem::path& parent);

// What a package file holds.
std::string PackageContents(const std::string& name);

}  // namespace bench
