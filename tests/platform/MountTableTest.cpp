// Reading the mount table and choosing the default drive letters from it.
#include <gtest/gtest.h>

#include "platform/posix/DriveLetters.h"
#include "platform/posix/MountTable.h"

namespace {

using platform::AssignDriveLetters;
using platform::DriveMap;
using platform::MountEntry;

MountEntry Mount(std::string point, std::string type, std::string source, std::string root = "/") {
    return MountEntry{std::move(root), std::move(point), std::move(type), std::move(source)};
}

bool SameMount(const MountEntry& a, const MountEntry& b) {
    return a.root == b.root && a.mountPoint == b.mountPoint && a.type == b.type &&
           a.source == b.source;
}

TEST(MountTable, FieldsAreReadAroundTheOptionalOnesAndUnescaped) {
    const auto mounts = platform::ParseMountInfo(
        "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
        "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
        "40 27 8:17 / /media/My\\040Disk rw,nosuid shared:5 master:2 - vfat /dev/sdb1 rw\n"
        "41 27 0:44 /@home /home rw - btrfs /dev/sda2 rw,subvol=/@home\n"
        "42 27 0:45 / /back\\134slash rw - tmpfs tmp\\011fs rw\n"
        "a line that is not a mount\n"
        "43 27 0:46 / /no/type rw -\n"
        "\n");

    ASSERT_EQ(mounts.size(), 5u);
    EXPECT_TRUE(SameMount(mounts[0], Mount("/proc", "proc", "proc")));
    EXPECT_TRUE(SameMount(mounts[1], Mount("/", "ext4", "/dev/vda")));
    EXPECT_TRUE(SameMount(mounts[2], Mount("/media/My Disk", "vfat", "/dev/sdb1")));
    EXPECT_TRUE(SameMount(mounts[3], Mount("/home", "btrfs", "/dev/sda2", "/@home")));
    EXPECT_TRUE(SameMount(mounts[4], Mount("/back\\slash", "tmpfs", "tmp\tfs")));
}

TEST(DriveLetters, CIsTheRootAndTheOtherDisksFollowInMountOrder) {
    const std::vector<MountEntry> mounts = {
        Mount("/", "ext4", "/dev/sda1"),
        Mount("/proc", "proc", "proc"),
        Mount("/home", "btrfs", "/dev/sda2", "/@home"),
        Mount("/media/usb", "vfat", "/dev/sdb1"),
        Mount("/data", "ext4", "/dev/sda3"),
        Mount("/data", "xfs", "/dev/sda4"),                  // hides the mount before it
        Mount("/srv/home", "btrfs", "/dev/sda2", "/@home"),  // the same place again
        Mount("/srv/snapshots", "btrfs", "/dev/sda2", "/@snapshots"),
    };
    const DriveMap drives = AssignDriveLetters(mounts, [](const MountEntry& mount) {
        return mount.source.starts_with("/dev/sda");  // sdb is removable here
    });

    EXPECT_EQ(drives,
              (DriveMap{{'C', "/"}, {'D', "/home"}, {'E', "/data"}, {'F', "/srv/snapshots"}}));
}

TEST(DriveLetters, TheLettersEndAtZ) {
    std::vector<MountEntry> mounts;
    mounts.reserve(40);
    for (int i = 0; i < 40; ++i) {
        mounts.push_back(Mount("/d" + std::to_string(i), "ext4", "/dev/disk" + std::to_string(i)));
    }
    const DriveMap drives = AssignDriveLetters(mounts, [](const MountEntry&) { return true; });

    EXPECT_EQ(drives.size(), 24u);
    EXPECT_EQ(drives.at('D'), "/d0");
    EXPECT_EQ(drives.at('Z'), "/d22");
}

TEST(DriveLetters, PseudoNetworkAndDiscFileSystemsAreNoFixedDisks) {
    for (const MountEntry& mount : {
             Mount("/proc", "proc", "proc"), Mount("/tmp", "tmpfs", "tmpfs"),
             Mount("/net", "nfs4", "server:/export"), Mount("/share", "cifs", "//server/share"),
             Mount("/remote", "fuse.sshfs", "me@host:/"), Mount("/", "overlay", "overlay"),
             Mount("/cdrom", "iso9660", "/dev/null"),
             Mount("/dev/null", "ext4", "/dev/null"),  // not a block device
         }) {
        EXPECT_FALSE(platform::IsLocalFixedDisk(mount)) << mount.mountPoint;
    }
}

}  // namespace
