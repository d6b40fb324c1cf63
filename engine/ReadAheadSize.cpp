#include "engine/ReadAheadSize.h"

#include <algorithm>
#include <thread>

namespace engine {

unsigned ReadAheadThreads(platform::DiskKind kind, unsigned processors) {
    // The threads mostly wait for the disk, so they may outnumber the
    // processors; but each listing that arrives costs a processor time, and
    // more threads than a disk serves at once only wait in its queue.
    processors = std::max(processors, 1u);
    switch (kind) {
        case platform::DiskKind::Memory:
            return 0;  // nothing to wait for
        case platform::DiskKind::Spinning:
            return std::min(4 * processors, 8u);
        case platform::DiskKind::SolidState:
        case platform::DiskKind::Unknown:
            break;
    }
    return std::min(8 * processors, 16u);
}

unsigned ReadAheadThreads(platform::DiskKind kind) {
    return ReadAheadThreads(kind, std::thread::hardware_concurrency());
}

}  // namespace engine
