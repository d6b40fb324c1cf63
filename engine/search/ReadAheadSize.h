// How many threads list folders ahead of the search (ListingReadAhead.h), by
// the kind of disk and the number of processors. The figures behind the
// choice are the benchmark's (bench/README.md).
#pragma once

#include "platform/FileSystem.h"

namespace engine {

// For a drive on a disk of `kind`, on a machine of `processors` processors
// (0 when unknown).
unsigned ReadAheadThreads(platform::DiskKind kind, unsigned processors);

// The same for this machine's processors.
unsigned ReadAheadThreads(platform::DiskKind kind);

}  // namespace engine
