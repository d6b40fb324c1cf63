// A drive's volume read as bytes, below its file system: what the search
// reads a file table from. Offsets and lengths of reads are multiples of the
// sector size, as unbuffered reads of a Windows volume must be; so is the
// buffer's address, for the same reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/FolderHandle.h"

namespace platform {

class RawVolume {
  public:
    virtual ~RawVolume() = default;
    // The unit every read is aligned to, a power of two no smaller than 512.
    virtual std::uint32_t SectorSize() const = 0;
    // Fills `buffer` from `offset`; a read cut short by the volume's end is a
    // failure.
    virtual Failure Read(std::uint64_t offset, std::span<std::byte> buffer) = 0;
};

}  // namespace platform
