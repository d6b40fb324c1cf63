#include "tests/filetable/NtfsImage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace testing_ntfs {
namespace {

bool Run(const std::string& command) {
    return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

NtfsImage::NtfsImage(unsigned megabytes, unsigned clusterBytes) {
    char pattern[] = "/tmp/ntfs-image-XXXXXX";
    if (!::mkdtemp(pattern)) {
        why_ = "no temporary folder";
        return;
    }
    folder_ = pattern;
    image_ = folder_ + "/volume.img";
    mount_ = folder_ + "/mnt";
    std::filesystem::create_directory(mount_);
    if (!Run("command -v mkntfs && command -v ntfs-3g")) {
        why_ = "mkntfs and ntfs-3g are not installed (Debian package ntfs-3g)";
        return;
    }
    if (!Run("truncate -s " + std::to_string(megabytes) + "M " + image_) ||
        !Run("mkntfs -F -Q -q " +
             (clusterBytes ? "-c " + std::to_string(clusterBytes) + " " : std::string()) +
             image_)) {
        why_ = "mkntfs could not make an image";
        return;
    }
    if (!Remount())
        why_ = "ntfs-3g could not mount the image (no FUSE here?)";
}

NtfsImage::~NtfsImage() {
    Unmount();
    std::error_code ignored;
    if (!folder_.empty())
        std::filesystem::remove_all(folder_, ignored);
}

bool NtfsImage::Unmount() {
    if (mounted_ && (Run("umount " + mount_) || Run("fusermount -u " + mount_)))
        mounted_ = false;
    return !mounted_;
}

bool NtfsImage::Remount() {
    if (!mounted_)
        mounted_ = Run("ntfs-3g " + image_ + " " + mount_);
    return mounted_;
}

std::uint64_t NtfsImage::RecordOf(const std::string& relative) const {
    struct stat facts {};
    if (::lstat((mount_ + "/" + relative).c_str(), &facts) != 0)
        return 0;
    return facts.st_ino;
}

void NtfsImage::FillRandomly(std::uint64_t seed) {
    // One generator for these tests and the Windows build's under Wine.
    if (!Run(std::string(NTFS_TREE_FILLER) + " " + std::to_string(seed) + " " + mount_))
        why_ = "fill-ntfs-tree failed";
}

}  // namespace testing_ntfs
