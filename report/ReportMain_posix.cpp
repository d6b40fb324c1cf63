// The report from a folder of logs on this system, for the tests and the
// benchmark: Report.exe's work without Windows.
//
//   soramido_report <folder> /OUT=<folder> [/DAYS=<n>] [/NOW=<YYYY-MM-DD hh:mm:ss>]
//
// Prints the counts of each group and the bytes read.
#include <ctime>
#include <fstream>
#include <iostream>

#include "report/Pages.h"
#include "report/PosixLogFolder.h"
#include "report/ReportOptions.h"
#include "report/Verdict.h"

namespace {

std::string LocalStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    return stamp;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    return static_cast<bool>(file.flush());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    std::string now = LocalStamp();
    // The folder first: a POSIX path starts with the switches' "/".
    if (argc < 2) {
        std::cerr << report::kReportUsage << '\n';
        return 6;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.starts_with("/NOW="))
            now = argument.substr(5);
        else
            arguments.push_back(argument);
    }
    report::ReportOptions options;
    if (const auto error = report::ParseReportArguments(arguments, options)) {
        std::cerr << *error << '\n';
        return 6;
    }
    options.folder = argv[1];
    if (options.out.empty()) {
        std::cerr << report::kReportUsage << '\n';
        return 6;
    }
    try {
        report::PosixLogFolder folder(options.folder);
        const report::Survey survey =
            report::SurveyFolder(folder, {report::SecondsOf(now), options.staleDays, 4});
        const report::PageFacts facts{options.folder, now.substr(0, 16), options.staleDays};
        if (!WriteFile(options.out + "/soramido-report.html", report::HtmlPage(survey, facts)) ||
            !WriteFile(options.out + "/soramido-report.csv", report::CsvTable(survey))) {
            std::cerr << "cannot write into " << options.out << '\n';
            return 2;
        }
        for (int i = 0; i < report::kStandings; ++i) {
            std::cout << report::StandingKey(static_cast<report::Standing>(i)) << ' '
                      << survey.counts[i] << '\n';
        }
        std::cout << "bytes " << survey.bytesRead << '\n';
    } catch (const std::exception& failure) {
        std::cerr << failure.what() << '\n';
        return 1;
    }
    return 0;
}
