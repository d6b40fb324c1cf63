// The update package: the files of the Data folder beside the program, each
// read whole once before any installation is touched, so that its size and
// SHA-256 are known. Every copy staged into an installation later must hash
// to the same value; a package file that changes during a run is therefore
// never installed.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ReplacementTable.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"

namespace engine {

struct PackageFile {
    std::string path;  // as the program names it: "D:\Updater\Data\QBank.cxt"
    std::uint64_t size = 0;
    platform::Sha256Digest digest{};
};

struct PackageCheck;

// Reads the file `file.path` whole, setting its size and SHA-256; false when
// it cannot be read to its end.
bool MeasureFile(platform::FileSystem& files, PackageFile& file);

class UpdatePackage {
  public:
    // Reads every file of the package in the Data folder of `programFolder`,
    // through one handle of that folder; a link, as the folder itself or as
    // one of its files, makes the package damaged. With a list built into the program, every file
    // must match its name, size and SHA-256 there; without one, only emptiness gives a damaged file
    // away.
    static PackageCheck Check(platform::FileSystem& files, const std::string& programFolder);

    // The package file of row `row` of kReplacements.
    const PackageFile& File(std::size_t row) const { return files_[row]; }

    // Opens the package file of row `row` again, for copying, through the
    // handle of the Data folder that the check read it through.
    platform::Result<std::unique_ptr<platform::SourceFile>> Open(std::size_t row) const {
        return folder_->OpenFile(names_[row]);
    }

  private:
    std::shared_ptr<platform::FolderHandle> folder_;
    std::array<std::string, kReplacements.size()> names_;  // as they stand in Data
    std::array<PackageFile, kReplacements.size()> files_;
};

// What the check found: the package, or the log lines that say what is
// missing or damaged.
struct PackageCheck {
    std::optional<UpdatePackage> package;
    std::vector<std::string> problems;
    std::vector<PackageFile> read;  // every file read to its end, sound or not
};

}  // namespace engine
