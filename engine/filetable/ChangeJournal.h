// NTFS's change journal as the search reads it: an answer of the journal
// parsed, every bound checked, into its records and the next read's start,
// or the named way it is malformed; and the reading of every change from a
// noted position to where the journal stands, which either gets there or
// says why it could not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/RawVolume.h"

namespace engine {

// How an answer of the journal is malformed.
enum class JournalFault : std::uint8_t {
    None,
    NoNext,       // shorter than the next read's start
    CutShort,     // a record's header runs past the answer
    BadLength,    // a record's length below its header's or past the answer
    Misaligned,   // a record's length not a multiple of eight
    Version,      // a record of another version than 2
    NameOutside,  // a record's name outside the record, or of an odd length
    OutOfOrder,   // a record's number not above the one before it
};
std::string_view Describe(JournalFault fault);

struct JournalRecord {
    std::int64_t usn = 0;
    platform::VolumeChange change;
};

struct JournalAnswer {
    std::int64_t next = 0;  // where the next read starts
    std::vector<JournalRecord> records;
    JournalFault fault = JournalFault::None;  // any but None: no records
};

JournalAnswer ParseJournalAnswer(std::span<const std::byte> answer);

// Every change with a reason among platform::change_reason::kOfEntries
// recorded from `from` up to where the journal stands now, in order, to
// `onChange` until it returns false. A failure, saying why, whenever those
// changes cannot all be read: the journal gone, made anew or wrapped, an
// answer malformed, or the answers ending short of where the journal stood.
platform::Failure ReadChangesSince(
    platform::RawVolume& volume, const platform::JournalPosition& from,
    const std::function<bool(const platform::VolumeChange&)>& onChange);

}  // namespace engine
