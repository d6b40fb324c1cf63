// The change journal's answers as crafted here, well formed and damaged: each
// is read into its records or refused by name; and a reading that cannot get
// to where the journal stood says so, whatever the answers on the way.
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "engine/filetable/ChangeJournal.h"
#include "tests/filetable/JournalAnswer.h"

namespace {

using engine::JournalFault;
using testing_ntfs::AnsweringVolume;
using testing_ntfs::CraftedRecord;
using testing_ntfs::JournalAnswerOf;
using testing_ntfs::PutLittle;

const platform::VolumeChange kFolderMade{{0x1234'5678'9ABC, 3}, {5, 5}, true, 0x100};
const platform::VolumeChange kFileRenamed{{77, 0xFFFF}, {0xFFFF'FFFF'FFFF, 1}, false, 0x2000};

// Two records, at 8 and 8 + 0x50.
std::vector<std::byte> Clean() {
    return JournalAnswerOf(900, {{100, kFolderMade}, {180, kFileRenamed}});
}

std::vector<std::byte> With(std::size_t at, std::uint64_t value, std::size_t width) {
    std::vector<std::byte> bytes = Clean();
    PutLittle(bytes, at, value, width);
    return bytes;
}

std::vector<std::byte> Cut(std::size_t size) {
    std::vector<std::byte> bytes = Clean();
    bytes.resize(size);
    return bytes;
}

TEST(ChangeJournal, AnAnswerIsReadOrRefusedByName) {
    constexpr std::size_t kSecond = 8 + 0x50;
    struct Case {
        const char* what;
        std::vector<std::byte> answer;
        JournalFault fault;
        std::size_t records;
    };
    const std::vector<Case> cases = {
        {"two records", Clean(), JournalFault::None, 2},
        {"no records", JournalAnswerOf(100, {}), JournalFault::None, 0},
        {"shorter than its next read's start", Cut(7), JournalFault::NoNext, 0},
        {"a header cut short", Cut(kSecond + 0x3B), JournalFault::CutShort, 0},
        {"a record cut short", Cut(kSecond + 0x4F), JournalFault::BadLength, 0},
        {"a length of 0", With(kSecond, 0, 4), JournalFault::BadLength, 0},
        {"a length below the header's", With(kSecond, 0x38, 4), JournalFault::BadLength, 0},
        {"a length past the answer", With(kSecond, 0x58, 4), JournalFault::BadLength, 0},
        {"a length past 4 GiB's worth", With(8, 0xFFFF'FFF8, 4), JournalFault::BadLength, 0},
        {"a length not a multiple of 8", With(8, 0x4C, 4), JournalFault::Misaligned, 0},
        {"version 3", With(kSecond + 4, 3, 2), JournalFault::Version, 0},
        {"version 4", With(8 + 4, 4, 2), JournalFault::Version, 0},
        {"a minor version", With(8 + 6, 1, 2), JournalFault::None, 2},
        {"a name past its record", With(kSecond + 0x38, 22, 2), JournalFault::NameOutside, 0},
        {"a name beginning past its record", With(8 + 0x3A, 0x52, 2), JournalFault::NameOutside, 0},
        {"a name within the header", With(8 + 0x3A, 0x30, 2), JournalFault::NameOutside, 0},
        {"a name of an odd length", With(8 + 0x38, 19, 2), JournalFault::NameOutside, 0},
        {"records out of order", With(kSecond + 0x18, 100, 8), JournalFault::OutOfOrder, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const engine::JournalAnswer read = engine::ParseJournalAnswer(c.answer);
        EXPECT_EQ(read.fault, c.fault) << engine::Describe(read.fault);
        EXPECT_EQ(read.records.size(), c.records);
    }
    const engine::JournalAnswer read = engine::ParseJournalAnswer(Clean());
    const auto facts = [](const engine::JournalRecord& r) {
        const platform::VolumeChange& c = r.change;
        return std::tuple(r.usn, c.file.record, c.file.sequence, c.folder.record, c.folder.sequence,
                          c.isFolder, c.reasons);
    };
    EXPECT_EQ(read.next, 900);
    ASSERT_EQ(read.records.size(), 2U);
    EXPECT_EQ(facts(read.records[0]), facts({100, kFolderMade}));
    EXPECT_EQ(facts(read.records[1]), facts({180, kFileRenamed}));
}

TEST(ChangeJournal, AReadingGetsToWhereTheJournalStoodOrSaysWhyNot) {
    const platform::JournalPosition from{7, 100, 40};
    const std::optional<platform::JournalPosition> now{{7, 500, 40}};
    // An answer whose next read starts at `next`, with records numbered `usns`.
    const auto answer = [](std::int64_t next, const std::vector<std::int64_t>& usns) {
        std::vector<CraftedRecord> records;
        records.reserve(usns.size());
        for (std::int64_t usn : usns)
            records.push_back({usn, kFileRenamed});
        return JournalAnswerOf(next, records);
    };
    struct Case {
        const char* what;
        std::optional<platform::JournalPosition> now;
        std::vector<std::vector<std::byte>> answers;
        std::size_t changes;
        const char* why;  // part of the failure's description; null for none
    };
    std::vector<Case> cases = {
        {"reaching it exactly",
         now,
         {answer(300, {100, 200}), answer(500, {300, 400})},
         4,
         nullptr},
        {"an answer past it", now, {answer(700, {100, 500, 600})}, 1, nullptr},
        {"nothing since", from, {}, 0, nullptr},
        {"an empty answer", now, {answer(100, {})}, 0, "end at 100, short of 500"},
        {"not moving on", now, {answer(300, {100}), answer(300, {300})}, 2, "end at 300, short"},
        {"going back", now, {answer(50, {100})}, 1, "end at 100, short of 500"},
        {"a malformed answer", now, {Cut(8 + 0x40)}, 0, "a record whose length does not fit"},
        {"the answers running out", now, {answer(300, {100})}, 1, "asked amiss"},
        {"the journal made anew", platform::JournalPosition{8, 500, 40}, {}, 0, "made anew"},
        {"the journal wrapped", platform::JournalPosition{7, 500, 101}, {}, 0, "wrapped"},
        {"the journal deleted", std::nullopt, {}, 0, "deleted"},
        {"the journal behind", platform::JournalPosition{7, 99, 40}, {}, 0, "before where"},
        // Far ahead, answers creeping: the reading gives up before it costs
        // more than the walk.
        {"creeping", platform::JournalPosition{7, 1 << 20, 40}, {}, 0, "64 MiB of changes"},
    };
    for (std::int64_t next = 101; next < 1200; ++next)
        cases.back().answers.push_back(answer(next, {}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AnsweringVolume volume(c.now, c.answers);
        std::size_t changes = 0;
        const platform::Failure failed =
            engine::ReadChangesSince(volume, from, [&](const platform::VolumeChange&) {
                ++changes;
                return true;
            });
        EXPECT_EQ(changes, c.changes);
        if (c.why == nullptr) {
            EXPECT_FALSE(failed) << failed->description;
            continue;
        }
        ASSERT_TRUE(failed);
        EXPECT_NE(failed->description.find(c.why), std::string::npos) << failed->description;
    }
}

}  // namespace
