#include "platform/posix/CaseInsensitiveLookup.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/AsciiCase.h"
#include "platform/posix/FolderReader.h"
#include "platform/posix/ScopedFd.h"

namespace platform {

std::optional<std::string> FindEntryIgnoringCase(int folderFd, std::string_view name) {
    if (name.empty() || name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string exact(name);
    struct stat st {};
    if (::fstatat(folderFd, exact.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return exact;

    // A descriptor of its own: reading moves a descriptor's position, and
    // the caller may look up more names through `folderFd`.
    const ScopedFd listing(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing)
        return std::nullopt;
    const std::string capitals = AsciiUpper(name);
    std::optional<std::string> best;
    ReadFolder(listing.Get(), [&](const RawEntry& entry) {
        if (UpperCaseEquals(entry.name, capitals) && (!best || entry.name < *best))
            best = std::string(entry.name);
        return true;
    });
    return best;
}

}  // namespace platform
