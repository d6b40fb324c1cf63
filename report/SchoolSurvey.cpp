#include "report/SchoolSurvey.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <stdexcept>
#include <thread>

#include "report/LogReading.h"
#include "report/Verdict.h"

namespace report {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
    return lowered;
}

// A PC's logs: "<PC>.log" and the older "<PC>.1.log".
struct PcLogs {
    std::string name;
    FolderEntry current;
    FolderEntry rotated;
};

std::vector<PcLogs> PcsOf(std::vector<FolderEntry> entries) {
    std::map<std::string, PcLogs> byName;
    for (FolderEntry& entry : entries) {
        if (entry.name.size() <= 4 || Lowered(entry.name).ends_with(".log") == false)
            continue;
        std::string stem = entry.name.substr(0, entry.name.size() - 4);
        const bool rotated = stem.size() > 2 && stem.ends_with(".1");
        if (rotated)
            stem.resize(stem.size() - 2);
        PcLogs& pc = byName[Lowered(stem)];
        if (pc.name.empty() || !rotated)
            pc.name = stem;
        (rotated ? pc.rotated : pc.current) = std::move(entry);
    }
    std::vector<PcLogs> pcs;
    pcs.reserve(byName.size());
    for (auto& [key, pc] : byName)
        pcs.push_back(std::move(pc));
    return pcs;
}

// The last `size` bytes of a log (all of it when it is shorter), before
// what has been read of it already.
class TailReader {
  public:
    TailReader(LogFolder& folder, const FolderEntry& entry) : name_(entry.name) {
        if (!entry.refused.empty())
            throw std::runtime_error(entry.refused);
        std::string why;
        file_ = folder.Open(entry.name, why);
        if (!file_)
            throw std::runtime_error(why);
        size_ = file_->Size();
    }
    // Reads back to `size` bytes from the end; false when that is no more
    // than was read.
    bool ReadBackTo(std::size_t size, std::string& text) {
        const std::uint64_t want = std::min<std::uint64_t>(size, size_);
        if (want <= read_)
            return false;
        std::string more;
        std::string why;
        if (!file_->ReadAt(size_ - want, static_cast<std::size_t>(want - read_), more, why))
            throw std::runtime_error(why);
        text.insert(0, more);
        read_ = want;
        return true;
    }
    bool Whole() const { return read_ >= size_; }
    std::uint64_t Read() const { return read_; }

  private:
    std::string name_;
    std::unique_ptr<OpenedLog> file_;
    std::uint64_t size_ = 0;
    std::uint64_t read_ = 0;
};

bool SameComputer(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Lowered(a) == Lowered(b);
}

PcRow ReadPc(LogFolder& folder, const PcLogs& pc, std::atomic<std::uint64_t>& bytesRead) {
    PcRow row;
    const FolderEntry& newest = pc.current.name.empty() ? pc.rotated : pc.current;
    const FolderEntry* older =
        pc.current.name.empty() || pc.rotated.name.empty() ? nullptr : &pc.rotated;
    std::string text;
    LogReading reading;
    try {
        TailReader reader(folder, newest);
        for (const std::size_t size : {kFirstLook, kLogReadLimit}) {
            if (!reader.ReadBackTo(size, text))
                break;
            reading = ReadLog(text, reader.Whole());
            if (reading.completeRunFound)
                break;
        }
        bytesRead += reader.Read();
        row.logs.push_back(newest.name);
        if (!reading.completeRunFound && reader.Whole() && older) {
            // The run may have begun before the log was moved aside.
            TailReader rotated(folder, *older);
            std::string before;
            for (const std::size_t size : {kFirstLook, kLogReadLimit}) {
                if (!rotated.ReadBackTo(size, before))
                    break;
                reading = ReadLog(before + text, rotated.Whole());
                if (reading.completeRunFound)
                    break;
            }
            bytesRead += rotated.Read();
            row.logs.push_back(older->name);
        }
        const std::vector<std::string> logs = std::move(row.logs);
        row = std::move(reading.row);
        row.logs = logs;
        if (!reading.completeRunFound && !reader.Whole())
            row.notes.push_back(
                "ログの最後の 1 MiB に、始めから終わりまでそろった実行がありません");
    } catch (const std::exception& failure) {
        row.logs = {newest.name};
        row.unreadable = failure.what();
    }
    row.name = pc.name;
    if (!row.computer.empty() && !SameComputer(row.computer, pc.name))
        row.notes.push_back("ログの computer 行は「" + row.computer +
                            "」です（ファイル名と違います）");
    return row;
}

}  // namespace

std::int64_t SecondsOf(std::string_view stamp) {
    if (stamp.size() < 19)
        return -1;
    int field[6] = {};
    static constexpr std::size_t kAt[6] = {0, 5, 8, 11, 14, 17};
    static constexpr std::size_t kWidth[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i) {
        for (std::size_t k = 0; k < kWidth[i]; ++k) {
            const char c = stamp[kAt[i] + k];
            if (c < '0' || c > '9')
                return -1;
            field[i] = field[i] * 10 + (c - '0');
        }
    }
    // Days from the civil date (Howard Hinnant's algorithm).
    const int y = field[1] <= 2 ? field[0] - 1 : field[0];
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int mp = (field[1] + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + field[2] - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
    return days * 86400 + std::int64_t{field[3]} * 3600 + std::int64_t{field[4]} * 60 + field[5];
}

Survey SurveyFolder(LogFolder& folder, const SurveyOptions& options) {
    const std::vector<PcLogs> pcs = PcsOf(folder.Logs());
    Survey survey;
    survey.rows.resize(pcs.size());
    std::atomic<std::size_t> next{0};
    std::atomic<std::uint64_t> bytesRead{0};
    auto work = [&] {
        for (std::size_t i = next++; i < pcs.size(); i = next++) {
            try {
                survey.rows[i] = ReadPc(folder, pcs[i], bytesRead);
            } catch (...) {
                survey.rows[i].name = pcs[i].name;
                survey.rows[i].unreadable = "メモリーが足りません";
            }
        }
    };
    {
        std::vector<std::jthread> threads;
        const unsigned count = std::clamp<unsigned>(options.threads, 1, 16);
        for (unsigned i = 1; i < count && i < pcs.size(); ++i)
            threads.emplace_back(work);
        work();
    }
    survey.bytesRead = bytesRead;
    const std::int64_t oldest = options.now - std::int64_t{options.staleDays} * 86400;
    for (PcRow& row : survey.rows) {
        row.standing = StandingOf(row);
        const std::int64_t when = SecondsOf(row.lastRun);
        if (row.standing > Standing::Stale && when >= 0 && when < oldest)
            row.standing = Standing::Stale;
        ++survey.counts[static_cast<int>(row.standing)];
    }
    std::stable_sort(survey.rows.begin(), survey.rows.end(),
                     [](const PcRow& a, const PcRow& b) { return a.standing < b.standing; });
    return survey;
}

}  // namespace report
