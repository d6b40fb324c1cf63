#include "engine/UpdateJournal.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <random>
#include <span>

#include "engine/ReplacementTable.h"
#include "platform/AsciiCase.h"

namespace engine {
namespace {

constexpr std::string_view kFirstLine = "Soramido update journal 1";
constexpr std::string_view kRunPrefix = "run ";
constexpr std::string_view kTargetPrefix = "target ";
constexpr std::string_view kSumPrefix = "sha256 ";

std::string Hex64(std::uint64_t value) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
    return digits;
}

bool IsRunIdentity(std::string_view run) {
    return run.size() == 16 && run.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

platform::Sha256Digest DigestOf(std::string_view text) {
    platform::Sha256 hash;
    hash.Update(std::as_bytes(std::span(text.data(), text.size())));
    return hash.Finish();
}

// Splits off the next space-separated word of `line`.
std::string_view Word(std::string_view& line) {
    const std::size_t end = line.find(' ');
    const std::string_view word = line.substr(0, end);
    line = end == std::string_view::npos ? std::string_view{} : line.substr(end + 1);
    return word;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& number) {
    const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc{} && at == text.data() + text.size() && !text.empty();
}

bool ParseDigest(std::string_view text, platform::Sha256Digest& digest) {
    if (text.size() != 64)
        return false;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        unsigned value = 0;
        const auto [at, error] =
            std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, value, 16);
        if (error != std::errc{} || at != text.data() + 2 * i + 2)
            return false;
        digest[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

std::string BytesText(const Bytes& bytes) {
    return std::to_string(bytes.size) + ' ' + platform::ToHex(bytes.digest);
}

std::optional<JournalTarget> ParseTarget(std::string_view line, std::string_view run) {
    JournalTarget target;
    int existed = -1;
    if (!ParseNumber(Word(line), target.row) || target.row >= kReplacements.size())
        return std::nullopt;
    target.destination = std::string(Word(line));
    target.staged = std::string(Word(line));
    target.backup = std::string(Word(line));
    if (!ParseNumber(Word(line), existed) || existed < 0 || existed > 1)
        return std::nullopt;
    target.existed = existed == 1;
    if (!ParseNumber(Word(line), target.before.size) ||
        !ParseDigest(Word(line), target.before.digest) ||
        !ParseNumber(Word(line), target.after.size) ||
        !ParseDigest(Word(line), target.after.digest) || !line.empty()) {
        return std::nullopt;
    }
    // Only names this program chooses for this row: whoever wrote the
    // journal, a repair that follows it touches nothing else.
    if (!platform::UpperCaseEquals(target.destination,
                                   platform::AsciiUpper(kReplacements[target.row].file)) ||
        target.staged != StagedName(target.destination, run) ||
        target.backup != BackupName(target.destination, run)) {
        return std::nullopt;
    }
    return target;
}

}  // namespace

std::string Journal::CommitRecord() const {
    return "~upd-" + run + ".committed";
}

std::string NewRunIdentity() {
    std::random_device device;
    const auto now = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::uint64_t random = (std::uint64_t{device()} << 32) ^ device();
    return Hex64(random ^ (now * 0x9E3779B97F4A7C15ull));
}

std::string StagedName(std::string_view destination, std::string_view run) {
    return std::string(destination).append(".~upd-").append(run).append("-new");
}

std::string BackupName(std::string_view destination, std::string_view run) {
    return std::string(destination).append(".~upd-").append(run).append("-old");
}

std::string JournalText(const Journal& journal) {
    std::string text(kFirstLine);
    text.append("\n").append(kRunPrefix).append(journal.run).append("\n");
    for (const JournalTarget& target : journal.targets) {
        text.append(kTargetPrefix)
            .append(std::to_string(target.row))
            .append(" ")
            .append(target.destination)
            .append(" ")
            .append(target.staged)
            .append(" ")
            .append(target.backup)
            .append(target.existed ? " 1 " : " 0 ")
            .append(BytesText(target.before))
            .append(" ")
            .append(BytesText(target.after))
            .append("\n");
    }
    const std::string sum = platform::ToHex(DigestOf(text));
    return text.append(kSumPrefix).append(sum).append("\n");
}

ReadJournal ParseJournal(std::string_view text) {
    const std::string firstLine = std::string(kFirstLine) + '\n';
    // Created but cut short before its first line was whole: empty, or a
    // part of that line.
    if (text.size() < firstLine.size() && firstLine.starts_with(text))
        return JournalCutShort{};
    if (!text.starts_with(firstLine))
        return NotAJournal{};
    // The sum line is the last; anything short of it is a journal cut short.
    const std::size_t sumAt = text.rfind(std::string("\n").append(kSumPrefix));
    if (sumAt == std::string_view::npos || !text.ends_with("\n"))
        return JournalCutShort{};
    const std::string_view body = text.substr(0, sumAt + 1);
    const std::string_view sum =
        text.substr(sumAt + 1 + kSumPrefix.size(), text.size() - sumAt - 2 - kSumPrefix.size());
    // A whole journal that no longer adds up was changed after it was
    // written, and is not followed.
    if (sum != platform::ToHex(DigestOf(body)))
        return NotAJournal{};

    Journal journal;
    std::string_view rest = body.substr(kFirstLine.size() + 1);
    std::vector<bool> rowSeen(kReplacements.size(), false);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = rest.substr(end + 1);
        if (line.starts_with(kRunPrefix) && journal.run.empty()) {
            journal.run = std::string(line.substr(kRunPrefix.size()));
            if (!IsRunIdentity(journal.run))
                return NotAJournal{};
        } else if (line.starts_with(kTargetPrefix) && !journal.run.empty()) {
            std::optional<JournalTarget> target =
                ParseTarget(line.substr(kTargetPrefix.size()), journal.run);
            if (!target || rowSeen[target->row])
                return NotAJournal{};
            rowSeen[target->row] = true;
            journal.targets.push_back(std::move(*target));
        } else {
            return NotAJournal{};
        }
    }
    if (journal.run.empty() || journal.targets.empty())
        return NotAJournal{};
    return journal;
}

}  // namespace engine
