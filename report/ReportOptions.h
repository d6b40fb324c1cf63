// The switches of Report.exe:
//   Report.exe [<folder>] [/OUT=<folder>] [/DAYS=<n>] [/OPEN | /NOOPEN]
// <folder> holds the PCs' logs (the folder the program lies in when none is
// given); /OUT where the page and the table go; /DAYS after how many days a
// PC that has not been heard from stands apart (7); /OPEN and /NOOPEN say
// whether the page is opened in the browser, which otherwise happens only
// when the program was started by a double-click. Case does not matter, and
// "-" does for "/".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace report {

struct ReportOptions {
    std::string folder;
    std::string out;
    int staleDays = 7;
    std::optional<bool> open;
    bool help = false;
};

inline constexpr std::string_view kReportUsage =
    "使い方：Report.exe [<ログのフォルダー>] [/OUT=<フォルダー>] [/DAYS=<日数>] [/OPEN | /NOOPEN]\n"
    "\n"
    "Update.exe が書いた PC ごとのログ（*.log）を読み、PC ごとの状況を\n"
    "ページ（soramido-report.html）と表（soramido-report.csv）に書きます。\n"
    "<ログのフォルダー>　省略するとこのプログラムのあるフォルダー\n"
    "/OUT　ページと表を書くフォルダー（省略するとドキュメント）\n"
    "/DAYS　この日数を超えて実行のない PC を「連絡なし」とします（既定 7）\n"
    "/OPEN、/NOOPEN　ページをブラウザーで開く／開かない\n"
    "　（既定では、ダブルクリックで起動したときだけ開きます）\n"
    "\n"
    "終了コード：0　書きました　1　ログのフォルダーを読めません\n"
    "　　　　　　2　ページか表を書けません　6　コマンドラインに問題があります";

// The error's text for a command line that cannot be followed.
std::optional<std::string> ParseReportArguments(const std::vector<std::string>& arguments,
                                                ReportOptions& options);

}  // namespace report
