// A POSIX time stamp as the engine's FileTime: nanoseconds since 1970.
#pragma once

#include <ctime>

#include "platform/FolderHandle.h"

namespace platform {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

constexpr FileTime FileTimeOf(const timespec& time) {
    return {std::int64_t(time.tv_sec) * kNanosecondsPerSecond + time.tv_nsec};
}

// Times before 1970 are negative: the seconds are rounded down, so that the
// nanoseconds stay within 0..999999999 as futimens demands.
constexpr timespec TimespecOf(FileTime time) {
    std::int64_t seconds = time.ticks / kNanosecondsPerSecond;
    std::int64_t nanoseconds = time.ticks % kNanosecondsPerSecond;
    if (nanoseconds < 0) {
        --seconds;
        nanoseconds += kNanosecondsPerSecond;
    }
    return {time_t(seconds), long(nanoseconds)};
}

}  // namespace platform
