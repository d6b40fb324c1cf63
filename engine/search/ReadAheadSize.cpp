#include "engine/search/ReadAheadSize.h"

#include <algorithm>
#include <thread>

namespace engine {

unsigned ReadAheadThreads(platform::DiskKind kind, unsigned processors) {
    // The threads mostly wait for the disk, so they may far outnumber the
    // processors: on a cold cache a disk that serves many requests at once
    // answers the more listings in a given time the more it is asked (here
    // up to 64 threads). But each thread costs the warm walk a little,
    // processor time and switches, so their number grows with the
    // processors: 16 each stayed well within a warm walk's gain here.
    processors = std::max(processors, 1u);
    switch (kind) {
        case platform::DiskKind::Memory:
            return 0;  // nothing to wait for
        case platform::DiskKind::Spinning:
            // One head: a few requests let the disk sort them by place, many
            // only make the walk wait behind folders it needs later.
            return std::min(4 * processors, 8u);
        case platform::DiskKind::SolidState:
        case platform::DiskKind::Unknown:
            break;
    }
    return std::min(16 * processors, 64u);
}

unsigned ReadAheadThreads(platform::DiskKind kind) {
    return ReadAheadThreads(kind, std::thread::hardware_concurrency());
}

}  // namespace engine
