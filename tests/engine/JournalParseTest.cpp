// What ParseJournal makes of a journal the writer made, cut short, changed,
// or written with names a repair must never touch.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "engine/ReplacementTable.h"
#include "engine/update/UpdateJournal.h"

namespace engine_test {
namespace {

using engine::Journal;
using engine::JournalCutShort;
using engine::JournalUnvouched;
using engine::NotAJournal;

constexpr char kRun[] = "0123456789abcdef";

platform::MachineKey Key(std::uint8_t seed) {
    platform::MachineKey key{};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(seed + 7 * i);
    return key;
}

engine::JournalTarget Target(std::size_t row, const std::string& destination, bool existed = true) {
    engine::JournalTarget target{row,
                                 destination,
                                 engine::StagedName(destination, kRun),
                                 engine::BackupName(destination, kRun),
                                 existed,
                                 engine::Bytes{row + 100, {static_cast<std::uint8_t>(row)}},
                                 engine::Bytes{row + 200, {0xff, static_cast<std::uint8_t>(row)}}};
    return target;
}

// Two rows, the second as a file system that keeps names as typed would
// show it: lower case is still the row's file.
Journal Whole() {
    return {kRun, {Target(0, "QBANK.CXT"), Target(1, "taven.dxr", false)}};
}

const char* Kind(const engine::ReadJournal& read) {
    constexpr const char* kKinds[] = {"whole", "cut short", "not ours", "unvouched"};
    return kKinds[read.index()];
}

TEST(JournalParse, EveryCaseReadsAsItMust) {
    const platform::MachineKey key = Key(1);
    const std::size_t past = engine::kReplacements.size();
    struct Case {
        const char* name;
        std::function<void(Journal&)> change;
        const char* read;
    };
    const Case cases[] = {
        {"as written", [](Journal&) {}, "whole"},
        {"a name from another row", [](Journal& j) { j.targets[0] = Target(0, "TAVEN.DXR"); },
         "unvouched"},
        {"a name outside the table", [](Journal& j) { j.targets[1] = Target(1, "EVIL.DLL"); },
         "unvouched"},
        {"a path instead of a name", [](Journal& j) { j.targets[0] = Target(0, "..\\QBANK.CXT"); },
         "unvouched"},
        {"a row twice", [](Journal& j) { j.targets[1] = Target(0, "QBANK.CXT"); }, "unvouched"},
        {"a row past the table", [&](Journal& j) { j.targets[1] = Target(past, "TAVEN.DXR"); },
         "unvouched"},
        {"a staged name of another run",
         [](Journal& j) {
             j.targets[0].staged = engine::StagedName("QBANK.CXT", "fedcba9876543210");
         },
         "unvouched"},
        {"the backup named as the staged file",
         [](Journal& j) { j.targets[0].backup = j.targets[0].staged; }, "unvouched"},
        {"no rows at all", [](Journal& j) { j.targets.clear(); }, "unvouched"},
    };
    for (const Case& c : cases) {
        Journal journal = Whole();
        c.change(journal);
        const std::string text = engine::JournalText(journal, key);
        const engine::ReadJournal read = engine::ParseJournal(text, key);
        EXPECT_STREQ(Kind(read), c.read) << c.name;
        if (const Journal* parsed = std::get_if<Journal>(&read)) {
            EXPECT_EQ(engine::JournalText(*parsed, key), text) << c.name;
        }
        // Under any other PC's key, nothing is ever followed.
        EXPECT_STREQ(Kind(engine::ParseJournal(text, Key(2))), "unvouched") << c.name;
    }
}

// Written straight to its name and cut at every byte, as it stands or with
// the NUL bytes a power loss leaves where the rest was to be: never read as
// whole; cut short once the keyed header is there, and always when what
// follows the bytes written is NUL.
TEST(JournalParse, CutAtEveryByteIsNeverWhole) {
    const platform::MachineKey key = Key(1);
    const std::string text = engine::JournalText(Whole(), key);
    const std::size_t family = std::string_view("Soramido update journal ").size();
    const std::size_t header = text.find('\n', text.find('\n') + 1) + 1;
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
        const std::string bare = text.substr(0, cut);
        const char* expected = cut < family ? "not ours" : cut < header ? "unvouched" : "cut short";
        EXPECT_STREQ(Kind(engine::ParseJournal(bare, key)), expected) << cut;
        const std::string padded = bare + std::string(text.size() - cut, '\0');
        EXPECT_STREQ(Kind(engine::ParseJournal(padded, key)), "cut short") << cut;
        // A byte after the NUL bytes: not what a power loss leaves.
        EXPECT_STREQ(Kind(engine::ParseJournal(padded + "x", key)), "not ours") << cut;
    }
}

// Every hex digit of either keyed digest changed, one at a time.
TEST(JournalParse, AChangedDigestIsNeverFollowed) {
    const platform::MachineKey key = Key(1);
    const std::string text = engine::JournalText(Whole(), key);
    const std::size_t header = text.find('\n', text.find('\n') + 1);
    const std::size_t closing = text.size() - 1;
    for (const std::size_t end : {header, closing}) {
        for (std::size_t at = end - 64; at < end; ++at) {
            for (const char flip : {char(0x01), char(0x20)}) {
                std::string changed = text;
                changed[at] = static_cast<char>(changed[at] ^ flip);
                EXPECT_STREQ(Kind(engine::ParseJournal(changed, key)), "unvouched")
                    << at << " ^ " << int(flip);
            }
        }
    }
}

}  // namespace
}  // namespace engine_test
