// What a volume's driver tells of the volume behind a drive letter: whether
// its disk has a moving head, and how many entries its file system holds.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/FileSystem.h"

namespace platform {

// Spinning or SolidState where the disk answers whether it pays for seeks;
// Unknown where it does not (many virtual disks, Wine, older drivers).
DiskKind KindOfDiskUnder(char letter);

// The file records in use on an NTFS volume, files and folders together;
// nullopt on any other file system or when the volume cannot be asked.
std::optional<std::uint64_t> EntriesOnVolume(char letter);

}  // namespace platform
