#include "platform/posix/EntryDescription.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

FolderEntry DescribeEntry(int folderFd, const RawEntry& entry) {
    FolderEntry described{entry.name};
    unsigned char type = entry.type;
    struct stat st {};
    if (type == DT_UNKNOWN &&
        ::fstatat(folderFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
    }
    if (type == DT_DIR) {
        described.isFolder = true;
    } else if (type == DT_LNK) {
        // A link to a folder is listed as a folder, as Windows lists a
        // junction; a link to nothing as a file.
        described.isLink = true;
        described.isFolder =
            ::fstatat(folderFd, entry.name.data(), &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    return described;
}

bool IsMountRoot(int folderFd, const char* name) {
    // statx says so itself, bind mounts of the same file system included,
    // where comparing device numbers would not tell. AT_NO_AUTOMOUNT: asking
    // must not mount anything.
    struct statx st {};
    if (::statx(folderFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &st) != 0)
        return false;
    return (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (st.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

}  // namespace platform
