#include "engine/filetable/ChangeJournal.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "engine/filetable/NtfsLayout.h"

namespace engine {
namespace {

namespace answer_layout = ntfs::journal_answer;
namespace record_layout = ntfs::journal_record;

// Each answer is this large at most; NTFS fills what it can of it.
constexpr std::size_t kAnswerBytes = std::size_t{64} << 10;
// More answers than this (64 MiB of records) to reach where the journal
// stood, and the drive is walked instead: that costs less.
constexpr std::size_t kMostAnswers = 1024;

platform::FileReference ReferenceOf(std::uint64_t reference) {
    return {reference & ntfs::kRecordMask,
            static_cast<std::uint16_t>(reference >> ntfs::kSequenceShift)};
}

JournalAnswer Malformed(JournalFault fault) {
    JournalAnswer answer;
    answer.fault = fault;
    return answer;
}

platform::FileError Lost(std::string why) {
    return platform::FileError{platform::FileError::Kind::Changed, std::move(why)};
}

}  // namespace

std::string_view Describe(JournalFault fault) {
    switch (fault) {
        case JournalFault::None:
            return "well formed";
        case JournalFault::NoNext:
            return "shorter than its next read's start";
        case JournalFault::CutShort:
            return "a record cut short";
        case JournalFault::BadLength:
            return "a record whose length does not fit";
        case JournalFault::Misaligned:
            return "a record whose length is not a multiple of 8";
        case JournalFault::Version:
            return "a record of another version than 2";
        case JournalFault::NameOutside:
            return "a record whose name does not fit";
        case JournalFault::OutOfOrder:
            return "records out of order";
    }
    return "malformed";
}

JournalAnswer ParseJournalAnswer(std::span<const std::byte> answer) {
    if (answer.size() < answer_layout::kFirstRecord)
        return Malformed(JournalFault::NoNext);
    JournalAnswer parsed;
    parsed.next = ntfs::Read(answer, answer_layout::kNext);
    for (std::size_t at = answer_layout::kFirstRecord; at < answer.size();) {
        const std::size_t left = answer.size() - at;
        if (left < record_layout::kHeaderBytes)
            return Malformed(JournalFault::CutShort);
        const std::uint32_t length = ntfs::Read(answer, at, record_layout::kLength);
        if (length < record_layout::kHeaderBytes || length > left)
            return Malformed(JournalFault::BadLength);
        if (length % record_layout::kAlignment != 0)
            return Malformed(JournalFault::Misaligned);
        if (ntfs::Read(answer, at, record_layout::kMajorVersion) != record_layout::kVersion)
            return Malformed(JournalFault::Version);
        const std::size_t nameOffset = ntfs::Read(answer, at, record_layout::kNameOffset);
        const std::size_t nameLength = ntfs::Read(answer, at, record_layout::kNameLength);
        if (nameOffset < record_layout::kHeaderBytes || nameOffset > length ||
            nameLength > length - nameOffset || nameLength % 2 != 0)
            return Malformed(JournalFault::NameOutside);
        JournalRecord record;
        record.usn = ntfs::Read(answer, at, record_layout::kUsn);
        if (!parsed.records.empty() && record.usn <= parsed.records.back().usn)
            return Malformed(JournalFault::OutOfOrder);
        record.change.file = ReferenceOf(ntfs::Read(answer, at, record_layout::kFile));
        record.change.folder = ReferenceOf(ntfs::Read(answer, at, record_layout::kParent));
        record.change.isFolder = (ntfs::Read(answer, at, record_layout::kFileAttributes) &
                                  record_layout::kDirectory) != 0;
        record.change.reasons = ntfs::Read(answer, at, record_layout::kReason);
        parsed.records.push_back(record);
        at += length;
    }
    return parsed;
}

platform::Failure ReadChangesSince(
    platform::RawVolume& volume, const platform::JournalPosition& from,
    const std::function<bool(const platform::VolumeChange&)>& onChange) {
    // Read to where the journal stands now: changes made while this reads
    // are for the next run.
    platform::Result<std::optional<platform::JournalPosition>> now = volume.JournalNow();
    if (!now)
        return now.Error();
    if (!*now)
        return Lost("the change journal was deleted");
    const platform::JournalPosition target = **now;
    if (target.journal != from.journal)
        return Lost("the change journal was made anew");
    if (target.first > from.next)
        return Lost("the change journal wrapped");
    if (target.next < from.next)
        return Lost("the change journal stands before where it was noted");
    std::vector<std::byte> buffer(kAnswerBytes);
    platform::JournalPosition at = from;
    for (std::size_t answers = 0; at.next < target.next; ++answers) {
        if (answers == kMostAnswers) {
            return Lost("more than " + std::to_string((kMostAnswers * kAnswerBytes) >> 20) +
                        " MiB of changes since the file table was read");
        }
        platform::Result<std::size_t> got =
            volume.ReadJournal(at, platform::change_reason::kOfEntries, buffer);
        if (!got)
            return got.Error();
        const JournalAnswer answer = ParseJournalAnswer(
            std::span<const std::byte>(buffer).first(std::min(*got, buffer.size())));
        if (answer.fault != JournalFault::None)
            return Lost("the change journal's answer is malformed: " +
                        std::string(Describe(answer.fault)));
        for (const JournalRecord& record : answer.records) {
            if (record.usn >= target.next)
                return std::nullopt;
            if (!onChange(record.change))
                return std::nullopt;
        }
        // An answer that does not move on would be asked again for ever;
        // its records are all there is, and they stop short.
        if (answer.next <= at.next) {
            return Lost("the change journal's answers end at " + std::to_string(at.next) +
                        ", short of " + std::to_string(target.next));
        }
        at.next = answer.next;
    }
    return std::nullopt;
}

}  // namespace engine
