#include <string>

#include "report/Pages.h"
#include "report/ShownText.h"
#include "report/Verdict.h"

namespace report {

namespace {

std::string Field(std::string_view text) {
    return CsvField(Shown(text, 2000));
}

}  // namespace

std::string CsvTable(const Survey& survey) {
    std::string csv = "\xEF\xBB\xBF";
    csv += "PC,最終実行,終了コード,結果,区分,インストール,理由,Windows,ログ,備考\r\n";
    for (const PcRow& row : survey.rows) {
        std::string installations;
        for (const Installation& installation : row.installations) {
            if (!installations.empty())
                installations += " / ";
            installations += installation.path + " " + std::string(StateName(installation.state));
        }
        std::string logs;
        for (const std::string& log : row.logs)
            logs += (logs.empty() ? "" : " ") + log;
        std::string notes = row.unreadable.empty() ? "" : "読めません：" + row.unreadable;
        for (const std::string& note : row.notes)
            notes += (notes.empty() ? "" : " / ") + note;
        csv +=
            Field(row.name) + ',' + Field(row.lastRun) + ',' +
            (row.exitCode ? std::to_string(*row.exitCode) : std::string()) + ',' +
            Field(row.unreadable.empty() ? VerdictOf(row.exitCode, row.list) : "ログを読めません") +
            ',' + Field(StandingName(row.standing)) + ',' + Field(installations) + ',' +
            Field(row.reason) + ',' + Field(row.windows) + ',' + Field(logs) + ',' + Field(notes) +
            "\r\n";
    }
    return csv;
}

}  // namespace report
