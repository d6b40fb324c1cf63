// A small NTFS volume in an image file, made by mkntfs and mounted by
// ntfs-3g, with a seeded random tree of the shapes the search meets on a
// real drive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_ntfs {

class NtfsImage {
  public:
    // Makes and mounts an image of `megabytes` in a new temporary folder,
    // with clusters of `clusterBytes` (mkntfs's choice when 0); `Usable()` is
    // false, with `Why()`, where that cannot be done.
    explicit NtfsImage(unsigned megabytes, unsigned clusterBytes = 0);
    ~NtfsImage();
    NtfsImage(const NtfsImage&) = delete;
    NtfsImage& operator=(const NtfsImage&) = delete;

    bool Usable() const { return why_.empty(); }
    const std::string& Why() const { return why_; }
    const std::string& Image() const { return image_; }
    const std::string& Mount() const { return mount_; }
    bool Mounted() const { return mounted_; }
    bool Unmount();
    bool Remount();

    // Fills the mounted volume from `seed` (fill-ntfs-tree); on failure
    // `Usable()` turns false.
    void FillRandomly(std::uint64_t seed);

    // The record number of a file or folder on the mounted volume (ntfs-3g
    // gives it as the inode number).
    std::uint64_t RecordOf(const std::string& relative) const;

  private:
    std::string folder_, image_, mount_, why_;
    bool mounted_ = false;
};

}  // namespace testing_ntfs
