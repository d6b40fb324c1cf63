// Reads a folder's entries straight from the kernel (getdents64) through a
// descriptor the caller opened. A directory stream (opendir, readdir) would
// check the descriptor with two fcntl calls and an fstat first, which costs
// as much again as the listing of a small folder; the search lists every
// folder of a drive, most of them small.
#pragma once

#include <dirent.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace platform {

// One entry as listed: its name and the type the file system told, which is
// DT_UNKNOWN where it tells none.
struct RawEntry {
    std::string_view name;
    unsigned char type;
};

// Calls `onEntry(const RawEntry&)` for every entry of the folder open as
// `folderFd`, "." and ".." included, in the kernel's order, until it returns
// false. False, with errno telling why, when the kernel failed to give the
// rest of the folder; the entries given before that stay valid.
template <typename OnEntry>
bool ReadFolder(int folderFd, OnEntry&& onEntry) {
    // Large enough for a thousand typical entries a call, small enough for
    // any thread's stack.
    alignas(dirent64) char buffer[32 * 1024];
    for (;;) {
        const ssize_t filled = ::getdents64(folderFd, buffer, sizeof buffer);
        if (filled == 0)
            return true;
        if (filled < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (std::size_t offset = 0; offset < static_cast<std::size_t>(filled);) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            if (!onEntry(RawEntry{entry->d_name, entry->d_type}))
                return true;
            offset += entry->d_reclen;
        }
    }
}

}  // namespace platform
