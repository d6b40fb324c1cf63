#include "engine/update/UpdateJournal.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <random>
#include <span>

#include "engine/ReplacementTable.h"
#include "platform/AsciiCase.h"

namespace engine {
namespace {

// What every journal of this program begins with, whatever its form; the
// first line is that and the form's number.
constexpr std::string_view kFamily = "Soramido update journal ";
constexpr std::string_view kFirstLine = "Soramido update journal 2";
constexpr std::string_view kRunPrefix = "run ";
constexpr std::string_view kTargetPrefix = "target ";
constexpr std::string_view kMacPrefix = "mac ";
constexpr std::string_view kDraftPrefix = "~upd-";
constexpr std::string_view kDraftSuffix = ".journal";

std::string Hex64(std::uint64_t value) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
    return digits;
}

bool IsRunIdentity(std::string_view run) {
    return run.size() == 16 && run.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string MacOf(const platform::MachineKey& key, std::string_view text) {
    return platform::ToHex(platform::HmacSha256(key, text));
}

// The first two lines, the second keyed: "run <id> <mac of what precedes it>".
std::string Header(std::string_view run, const platform::MachineKey& key) {
    std::string header(kFirstLine);
    header.append("\n").append(kRunPrefix).append(run);
    const std::string mac = MacOf(key, header);
    return header.append(" ").append(mac).append("\n");
}

// Whether `text` is the start of a header, cut before its keyed digest was
// whole: nothing in it a key could vouch for yet.
bool IsHeaderBegun(std::string_view text) {
    const std::string start = std::string(kFirstLine).append("\n").append(kRunPrefix);
    if (text.size() <= start.size())
        return start.starts_with(text);
    const std::string_view rest = text.substr(start.size());
    return text.starts_with(start) && rest.size() < 16 + 1 + 64 + 1 &&
           rest.find_first_not_of("0123456789abcdef ") == std::string_view::npos;
}

// Where the header ends when `text` begins with a header this PC's key made;
// nullopt otherwise. `run` receives its run identity.
std::optional<std::size_t> VerifiedHeader(std::string_view text, const platform::MachineKey& key,
                                          std::string& run) {
    const std::string start = std::string(kFirstLine).append("\n").append(kRunPrefix);
    if (!text.starts_with(start) || text.size() < start.size() + 16)
        return std::nullopt;
    run = std::string(text.substr(start.size(), 16));
    if (!IsRunIdentity(run))
        return std::nullopt;
    const std::string header = Header(run, key);
    if (!platform::EqualInConstantTime(text.substr(0, header.size()), header))
        return std::nullopt;
    return header.size();
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

JournalUnvouched Unverified(std::string_view text) {
    Journal journal;
    std::vector<bool> rowSeen(kReplacements.size(), false);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.starts_with(kRunPrefix) && journal.run.empty()) {
            line.remove_prefix(kRunPrefix.size());
            const std::string_view run = Word(line);
            if (IsRunIdentity(run))
                journal.run = std::string(run);
        } else if (line.starts_with(kTargetPrefix) && !journal.run.empty()) {
            std::optional<JournalTarget> target =
                ParseTarget(line.substr(kTargetPrefix.size()), journal.run);
            if (target && !rowSeen[target->row]) {
                rowSeen[target->row] = true;
                journal.targets.push_back(std::move(*target));
            }
        }
    }
    if (journal.run.empty())
        return {};
    return {std::move(journal)};
}

platform::MachineKey InstallationKey(const platform::MachineKey& machine,
                                     const platform::FileId& folder) {
    const std::string bound = "installation " + Hex64(folder.volume) + ' ' +
                              Hex64(folder.fileHigh) + ' ' + Hex64(folder.file);
    return platform::HmacSha256(machine, bound);
}

std::string Journal::CommitRecord() const {
    return "~upd-" + run + ".committed";
}

std::string Journal::RestartRecord() const {
    return "~upd-" + run + ".restart";
}

std::string NewRunIdentity() {
    std::random_device device;
    const auto now = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::uint64_t random = (std::uint64_t{device()} << 32) ^ device();
    return Hex64(random ^ (now * 0x9E3779B97F4A7C15ull));
}

namespace {

std::string RunKeyHalf(std::string_view first, const platform::MachineKey& key) {
    return MacOf(key, std::string("run identity ").append(first)).substr(0, 8);
}

}  // namespace

std::string KeyedRunIdentity(const platform::MachineKey& key) {
    const std::string first = NewRunIdentity().substr(0, 8);
    return first + RunKeyHalf(first, key);
}

bool IsKeyedRunIdentity(std::string_view run, const platform::MachineKey& key) {
    return IsRunIdentity(run) &&
           platform::EqualInConstantTime(run.substr(8), RunKeyHalf(run.substr(0, 8), key));
}

std::string StagedName(std::string_view destination, std::string_view run) {
    return std::string(destination).append(".~upd-").append(run).append("-new");
}

std::string BackupName(std::string_view destination, std::string_view run) {
    return std::string(destination).append(".~upd-").append(run).append("-old");
}

std::string JournalDraftName(std::string_view run) {
    return std::string(kDraftPrefix).append(run).append(kDraftSuffix);
}

bool IsJournalDraftName(std::string_view name) {
    if (name.size() != kDraftPrefix.size() + 16 + kDraftSuffix.size())
        return false;
    return name.starts_with(kDraftPrefix) && name.ends_with(kDraftSuffix) &&
           IsRunIdentity(name.substr(kDraftPrefix.size(), 16));
}

std::string_view RunOfDraft(std::string_view name) {
    return name.substr(kDraftPrefix.size(), 16);
}

std::string JournalText(const Journal& journal, const platform::MachineKey& key) {
    std::string text = Header(journal.run, key);
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
    const std::string mac = MacOf(key, text);
    return text.append(kMacPrefix).append(mac).append("\n");
}

ReadJournal ParseJournal(std::string_view text, const platform::MachineKey& key) {
    std::string run;
    // A power loss while the file was written can leave its size on disk
    // but not all its bytes: NUL bytes where they were to be.
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        if (text.find_first_not_of('\0', nul) != std::string_view::npos)
            return NotAJournal{};
        const std::string_view begun = text.substr(0, nul);
        if (IsHeaderBegun(begun) || VerifiedHeader(begun, key, run))
            return JournalCutShort{};
        return begun.starts_with(kFamily) ? ReadJournal(Unverified(begun)) : NotAJournal{};
    }
    // One that looks like a journal of this program, of whatever form, but
    // is not vouched for by this PC's key, is a journal that does not match.
    if (!text.starts_with(kFamily))
        return NotAJournal{};
    const std::optional<std::size_t> headerEnd = VerifiedHeader(text, key, run);
    if (!headerEnd)
        return Unverified(text);
    // The keyed last line closes a whole journal; short of it, the journal
    // was cut short.
    const std::size_t macAt = text.rfind(std::string("\n").append(kMacPrefix));
    if (macAt == std::string_view::npos || macAt + 1 < *headerEnd || !text.ends_with("\n"))
        return JournalCutShort{};
    const std::string_view body = text.substr(0, macAt + 1);
    const std::string_view mac =
        text.substr(macAt + 1 + kMacPrefix.size(), text.size() - macAt - 2 - kMacPrefix.size());
    // A whole journal that no longer adds up was changed after it was
    // written, and is not followed.
    if (!platform::EqualInConstantTime(mac, MacOf(key, body)))
        return Unverified(text);

    Journal journal;
    journal.run = run;
    std::string_view rest = body.substr(*headerEnd);
    std::vector<bool> rowSeen(kReplacements.size(), false);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = rest.substr(end + 1);
        if (line.starts_with(kTargetPrefix)) {
            std::optional<JournalTarget> target =
                ParseTarget(line.substr(kTargetPrefix.size()), journal.run);
            if (!target || rowSeen[target->row])
                return JournalUnvouched{};
            rowSeen[target->row] = true;
            journal.targets.push_back(std::move(*target));
        } else {
            return JournalUnvouched{};
        }
    }
    if (journal.targets.empty())
        return JournalUnvouched{};
    return journal;
}

}  // namespace engine
