// The file table's reader on an NTFS image, natively, for bench/ntfs-figures.
//   file_table_rate IMAGE [ROUNDS]
// reads and indexes the table from a warm cache: how many records a second,
// how much the index keeps, and the process's peak memory, on one line.
//   file_table_rate --cold IMAGE [ROUNDS]
// reads it from a cold cache, then, cold again, exactly its extents alone,
// sequentially, in the same blocks, through the same volume: the floor the
// reader is held to. The best of ROUNDS (3) of each, on one line, with their
// ratio: on a machine shared with other work the best is the least
// disturbed.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/ColdCache.h"
#include "engine/filetable/FileTable.h"
#include "platform/posix/VolumeFile.h"

namespace {

constexpr std::string_view kMarker = "SKM300.EXE";

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Drops the caches and times `read`; a negative time when it failed.
template <typename Read>
double TimedCold(const Read& read) {
    std::string why;
    if (!bench::DropCaches(why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return -1;
    }
    const auto start = std::chrono::steady_clock::now();
    return read() ? Seconds(start) : -1;
}

int Cold(platform::RawVolume& volume, int rounds) {
    engine::FileTableRead read;
    const auto table = [&] {
        read = engine::ReadFileTable(volume, kMarker, [](std::uint64_t) { return true; });
        if (!read.places)
            std::fprintf(stderr, "no index: %s\n", read.why.c_str());
        return read.places.has_value();
    };
    // The same reads, one after another, into one aligned buffer, parsing
    // nothing.
    const std::size_t alignment = volume.SectorSize();
    std::vector<std::byte> storage(engine::kTableBlockBytes + 4 * alignment + (8U << 20));
    const auto floor = [&] {
        for (const engine::TableRead& part : read.plan) {
            const std::uint64_t from = part.offset & ~std::uint64_t{alignment - 1};
            const std::size_t length =
                (part.offset - from + part.length + alignment - 1) & ~std::size_t{alignment - 1};
            void* at = storage.data();
            std::size_t room = storage.size();
            if (std::align(alignment, length, at, room) == nullptr) {
                std::fputs("a block larger than the floor's buffer\n", stderr);
                return false;
            }
            if (const platform::Failure failed =
                    volume.Read(from, {static_cast<std::byte*>(at), length})) {
                std::fprintf(stderr, "the floor's read failed: %s\n", failed->description.c_str());
                return false;
            }
        }
        return true;
    };
    double bestTable = 0;
    double bestFloor = 0;
    for (int round = 0; round < rounds; ++round) {
        const double tableSeconds = TimedCold(table);
        const double floorSeconds = TimedCold(floor);
        if (tableSeconds < 0 || floorSeconds < 0)
            return 1;
        if (round == 0 || tableSeconds < bestTable)
            bestTable = tableSeconds;
        if (round == 0 || floorSeconds < bestFloor)
            bestFloor = floorSeconds;
    }
    std::printf("records %llu table_cold %.3f floor_cold %.3f ratio %.2f\n",
                static_cast<unsigned long long>(read.records), bestTable, bestFloor,
                bestFloor > 0 ? bestTable / bestFloor : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool cold = argc > 1 && std::strcmp(argv[1], "--cold") == 0;
    if (argc < 2 + (cold ? 1 : 0)) {
        std::fputs("usage: file_table_rate IMAGE [ROUNDS] | --cold IMAGE [ROUNDS]\n", stderr);
        return 2;
    }
    const char* image = argv[cold ? 2 : 1];
    auto volume = platform::OpenVolumeFile(image);
    if (!volume) {
        std::fprintf(stderr, "%s: %s\n", image, volume.Error().description.c_str());
        return 1;
    }
    if (cold)
        return Cold(**volume, argc > 3 ? std::atoi(argv[3]) : 3);
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    double best = 0;
    std::uint64_t records = 0;
    std::size_t indexBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const engine::FileTableRead read =
            engine::ReadFileTable(**volume, kMarker, [](std::uint64_t) { return true; });
        const double took = Seconds(start);
        if (!read.places) {
            std::fprintf(stderr, "no index: %s\n", read.why.c_str());
            return 1;
        }
        records = read.records;
        indexBytes = read.places->Bytes();
        if (round == 0 || took < best)
            best = took;
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("records %llu seconds %.3f records_per_second %.0f index_bytes %zu peak_kib %ld\n",
                static_cast<unsigned long long>(records), best, static_cast<double>(records) / best,
                indexBytes, usage.ru_maxrss);
    return 0;
}
