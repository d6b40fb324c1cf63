// Real file services that show only the chosen drive letters, so that a run
// searches those drives and no other: under Wine the prefix's own C: would
// otherwise be searched along with the drive being measured. Every other
// service, the package's folder included, is the real one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ForwardingFileSystem.h"

namespace bench {

class ChosenDrives : public platform::ForwardingFileSystem {
  public:
    // `letters` are capitals, "T" or "CD".
    ChosenDrives(platform::FileSystem& files, std::string_view letters)
        : ForwardingFileSystem(files) {
        for (char letter : letters) {
            if (letter >= 'A' && letter <= 'Z')
                chosen_ |= std::uint32_t{1} << (letter - 'A');
        }
    }

    std::uint32_t LogicalDrives() override { return files_.LogicalDrives() & chosen_; }
    platform::DriveType GetDriveType(char letter) override {
        const bool isChosen =
            letter >= 'A' && letter <= 'Z' && (chosen_ & (std::uint32_t{1} << (letter - 'A')));
        return isChosen ? files_.GetDriveType(letter) : platform::DriveType::NoRootDir;
    }

  private:
    std::uint32_t chosen_ = 0;
};

}  // namespace bench
