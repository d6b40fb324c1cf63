// The report over a school's share: 2,000 PC logs of 1 MiB each, each ending
// in a complete run, read as Report.exe reads them (from the end, on as many
// threads), against the floor of reading each log's last 64 KiB on as many
// threads and doing nothing with it; the report's peak memory from a forked
// run; and, when the Windows build and Wine are at hand, Report.exe itself
// under Wine, with the time Wine takes to run it on an empty folder beside.
//
//   soramido_report_bench --dir <folder> [--report <Report.exe> --scripts <folder>]
//
// The logs are made once in <folder>/logs and again only when their stamp
// differs. Warm: the logs are in the page cache, as after the first look.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "bench/ChildProcess.h"
#include "report/PosixLogFolder.h"
#include "report/SchoolSurvey.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLogs = 2000;
constexpr std::size_t kLogSize = std::size_t{1024} * 1024;
constexpr unsigned kThreads = 8;  // as Report.exe
constexpr int kRounds = 3;
constexpr std::string_view kStamp = "report-bench 1: 2000 logs of 1048576 bytes\n";

// One run as Update.exe logs it, ending with `code`.
std::string RunLines(int pc, int code) {
    const char* stamp = "2026-12-08 09:00:00.000 ";
    const std::string name = "PC" + std::to_string(pc);
    std::string run;
    auto line = [&](const std::string& text) { run += stamp + text + "\r\n"; };
    line("start Update.exe 1.55B /VERYSILENT /LOG=\\\\server\\logs\\" + name + ".log");
    line("computer " + name);
    line("user SCHOOL\\deploy");
    line("windows 10.0.19045 64-bit");
    for (const char* file : {"QBank.cxt", "Taven.dxr", "Virel.dxr", "Qpn.dxr", "Zum.dxr",
                             "Belto.cxt", "q417.mp3", "PlugKit2.x32"})
        line(std::string("package ") + file + " 123456 " + std::string(64, 'a'));
    line("[ケルミナ そらみど]がｲﾝｽﾄｰﾙされているか、調べています。");
    line("search C: file table, 812345 records, 1.2 s");
    const char* verb = code == 2 ? "を更新できませんでした" : "を更新しました";
    for (const char* file : {"\\QBANK.CXT ", "\\TAVEN.DXR ", "\\VIREL.DXR ", "\\QPN.DXR ",
                             "\\ZUM.DXR ", "\\BELTO.CXT ", "\\mp3File ", "\\xtras"})
        line(std::string("C:\\教材\\そらみど") + file + verb);
    if (code == 2)
        line(
            "C:\\教材\\そらみど は元のままです：C:\\教材\\そらみど\\VIREL.DXR "
            "を「Soramido.exe」が使用中です");
    line("exit code " + std::to_string(code));
    return run;
}

void MakeLogs(const fs::path& folder) {
    const fs::path stamp = folder.parent_path() / "stamp";
    std::ifstream stamped(stamp);
    std::string written((std::istreambuf_iterator<char>(stamped)), {});
    if (written == kStamp)
        return;
    std::cout << "report bench: writing " << kLogs << " logs of 1 MiB in " << folder << '\n';
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (int pc = 1; pc <= kLogs; ++pc) {
        const int code = pc % 10 == 0 ? 2 : (pc % 17 == 0 ? 1 : 0);
        std::string text;
        text.reserve(kLogSize + 8192);
        while (text.size() < kLogSize)
            text += RunLines(pc, pc % 3 == 0 ? 2 : 0);
        text += RunLines(pc, code);
        std::ofstream(folder / ("PC" + std::to_string(pc) + ".log"), std::ios::binary)
            .write(text.data() + (text.size() - kLogSize), kLogSize);
    }
    std::ofstream(stamp) << kStamp;
}

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Reads the last 64 KiB of every log, on kThreads threads.
void ReadFloor(const fs::path& folder) {
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(folder))
        logs.push_back(entry.path());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        std::vector<char> buffer(report::kFirstLook);
        for (std::size_t i = next++; i < logs.size(); i = next++) {
            const int fd = open(logs[i].c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            const off_t size = lseek(fd, 0, SEEK_END);
            const off_t from = std::max<off_t>(0, size - static_cast<off_t>(buffer.size()));
            if (pread(fd, buffer.data(), buffer.size(), from) < 0)
                std::perror("pread");
            close(fd);
        }
    };
    std::vector<std::jthread> threads;
    for (unsigned i = 1; i < kThreads; ++i)
        threads.emplace_back(work);
    work();
}

report::Survey Survey(const fs::path& folder) {
    report::PosixLogFolder logs(folder.string());
    return report::SurveyFolder(logs, {report::SecondsOf("2026-12-09 08:00:00"), 7, kThreads});
}

}  // namespace

int main(int argc, char** argv) {
    fs::path dir = "build/bench-report";
    fs::path program;
    fs::path scripts = "scripts";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--dir")
            dir = argv[i + 1];
        else if (name == "--report")
            program = argv[i + 1];
        else if (name == "--scripts")
            scripts = argv[i + 1];
    }
    dir = fs::absolute(dir);
    const fs::path logs = dir / "logs";
    MakeLogs(logs);

    // The peak first, forked while this process is small.
    const bench::ForkedResult forked =
        bench::RunForked([&] { return Survey(logs).rows.size() == kLogs ? 0 : 1; });
    ReadFloor(logs);  // warms the cache
    std::vector<double> floor;
    std::vector<double> reading;
    std::uint64_t bytes = 0;
    for (int round = 0; round < kRounds; ++round) {
        floor.push_back(Seconds([&] { ReadFloor(logs); }));
        reading.push_back(Seconds([&] { bytes = Survey(logs).bytesRead; }));
    }
    const double floorSeconds = Median(floor);
    const double readSeconds = Median(reading);
    const double peakMiB = static_cast<double>(forked.peakResidentKiB) / 1024;
    char line[512];
    std::string figures = "\n== Report.exe: 2,000 logs of 1 MiB (warm, " +
                          std::to_string(kThreads) + " threads, medians of " +
                          std::to_string(kRounds) + ") ==\n";
    std::snprintf(line, sizeof line,
                  "native read and summary  %.3f s (target <= 5 s: %s), %.1f MiB read\n"
                  "floor (last 64 KiB each) %.3f s; ratio %.2f\n"
                  "peak memory              %.1f MiB (target <= 64 MiB: %s)\n",
                  readSeconds, readSeconds <= 5 ? "met" : "NOT MET",
                  static_cast<double>(bytes) / (1024 * 1024), floorSeconds,
                  readSeconds / floorSeconds, peakMiB,
                  forked.exitCode == 0 && peakMiB <= 64 ? "met" : "NOT MET");
    figures += line;

    if (!program.empty() && fs::exists(program) && bench::OnPath("wine")) {
        const fs::path prefix = dir / "prefix";
        const fs::path empty = dir / "empty";
        const fs::path out = dir / "out";
        fs::create_directories(empty);
        fs::create_directories(out);
        const bench::ChildResult env =
            bench::RunProgram({(scripts / "wine-env").string(), prefix.string(),
                               "L=" + logs.string(), "M=" + empty.string(), "O=" + out.string()},
                              {.captureOutput = false, .quiet = true, .environment = {}});
        fs::copy_file(program, prefix / "drive_c" / "Report.exe",
                      fs::copy_options::overwrite_existing);
        const bench::ChildOptions options{
            .captureOutput = true,
            .quiet = true,
            .environment = {"WINEPREFIX=" + prefix.string(), "WINEDEBUG=-all"}};
        auto run = [&](const char* folder) {
            return bench::RunProgram({"wine", "C:\\Report.exe", folder, "/OUT=O:\\", "/NOOPEN"},
                                     options);
        };
        std::vector<double> wine;
        std::vector<double> start;
        bool ok = env.exitCode == 0;
        run("M:\\");  // Wine's own first start
        for (int round = 0; round < kRounds && ok; ++round) {
            const bench::ChildResult empties = run("M:\\");
            const bench::ChildResult full = run("L:\\");
            ok = empties.exitCode == 0 && full.exitCode == 0;
            start.push_back(empties.seconds);
            wine.push_back(full.seconds);
        }
        if (ok) {
            std::snprintf(line, sizeof line,
                          "under Wine (Report.exe)  %.3f s (target <= 10 s: %s), of which "
                          "%.3f s Wine's start on an empty folder\n",
                          Median(wine), Median(wine) <= 10 ? "met" : "NOT MET", Median(start));
        } else {
            std::snprintf(line, sizeof line, "under Wine: skipped, Report.exe did not run\n");
        }
        figures += line;
    } else {
        figures += "under Wine: skipped (no Report.exe built for Windows, or no Wine)\n";
    }
    std::cout << figures;
    return 0;
}
