// The file table's reader on an NTFS image, natively, for bench/ntfs-figures.
//   file_table_rate IMAGE [ROUNDS]
// reads and indexes the table from a warm cache: how many records a second,
// how much the index keeps, and the process's peak memory, on one line.
//   file_table_rate --cold IMAGE
// reads it from a cold cache, then, cold again, exactly its extents alone,
// sequentially, in the same blocks, through the same volume: the floor the
// reader is held to. One line: the two times and their ratio.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/ColdCache.h"
#include "engine/FileTable.h"
#include "platform/posix/VolumeFile.h"

namespace {

constexpr std::string_view kMarker = "SKM300.EXE";

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Cold(platform::RawVolume& volume) {
    std::string why;
    if (!bench::DropCaches(why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    const engine::FileTableRead read =
        engine::ReadFileTable(volume, kMarker, [](std::uint64_t) { return true; });
    const double table = Seconds(start);
    if (!read.places) {
        std::fprintf(stderr, "no index: %s\n", read.why.c_str());
        return 1;
    }
    if (!bench::DropCaches(why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    // The same reads, one after another, into one aligned buffer, parsing
    // nothing.
    const std::size_t alignment = volume.SectorSize();
    std::size_t largest = 0;
    for (const engine::TableRead& part : read.plan)
        largest = std::max(largest, part.length);
    std::vector<std::byte> storage(largest + 2 * alignment);
    void* at = storage.data();
    std::size_t room = storage.size();
    std::align(alignment, largest + alignment, at, room);
    start = std::chrono::steady_clock::now();
    for (const engine::TableRead& part : read.plan) {
        const std::uint64_t from = part.offset & ~std::uint64_t{alignment - 1};
        const std::size_t length =
            (part.offset - from + part.length + alignment - 1) & ~std::size_t{alignment - 1};
        if (const platform::Failure failed =
                volume.Read(from, {static_cast<std::byte*>(at), length})) {
            std::fprintf(stderr, "the floor's read failed: %s\n", failed->description.c_str());
            return 1;
        }
    }
    const double floor = Seconds(start);
    std::printf("records %llu table_cold %.3f floor_cold %.3f ratio %.2f\n",
                static_cast<unsigned long long>(read.records), table, floor,
                floor > 0 ? table / floor : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool cold = argc > 1 && std::strcmp(argv[1], "--cold") == 0;
    if (argc < 2 + (cold ? 1 : 0)) {
        std::fputs("usage: file_table_rate IMAGE [ROUNDS] | --cold IMAGE\n", stderr);
        return 2;
    }
    const char* image = argv[cold ? 2 : 1];
    auto volume = platform::OpenVolumeFile(image);
    if (!volume) {
        std::fprintf(stderr, "%s: %s\n", image, volume.Error().description.c_str());
        return 1;
    }
    if (cold)
        return Cold(**volume);
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
