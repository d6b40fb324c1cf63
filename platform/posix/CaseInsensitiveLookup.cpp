#include "platform/posix/CaseInsensitiveLookup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/AsciiCase.h"
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

    // The listing needs a descriptor of its own: closedir closes it.
    ScopedFd listingFd(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listingFd)
        return std::nullopt;
    ScopedDir listing(::fdopendir(listingFd.Get()));
    if (!listing)
        return std::nullopt;
    listingFd.Release();

    const std::string capitals = AsciiUpper(name);
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(listing.Get())) {
        const std::string_view candidate = entry->d_name;
        if (UpperCaseEquals(candidate, capitals) && (!best || candidate < *best)) {
            best = std::string(candidate);
        }
    }
    return best;
}

}  // namespace platform
