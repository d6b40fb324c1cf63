// The report over a folder of crafted logs, as Update.exe writes them and as
// a share may hold them: each PC's log and the row it must give, then the
// page and the table made of those rows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "engine/Utf8.h"
#include "report/Pages.h"
#include "report/PosixLogFolder.h"
#include "report/SchoolSurvey.h"
#include "tests/support/TempTree.h"

namespace {

using report::Standing;

// A log's lines, each after a time stamp of `day` and CRLF, with the
// byte order mark its creation writes.
std::string Log(const std::string& day, const std::vector<std::string>& lines) {
    std::string text = "\xEF\xBB\xBF";
    int second = 0;
    for (const std::string& line : lines) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%s 10:%02d:%02d.000 ", day.c_str(), second / 60,
                      second % 60);
        ++second;
        text += stamp + line + "\r\n";
    }
    return text;
}

std::vector<std::string> Start(const std::string& computer,
                               const std::string& switches = "/VERYSILENT") {
    return {"start Update.exe 1.55B " + switches, "computer " + computer, "user DOM\\admin",
            "windows 10.0.19045 64-bit"};
}

std::vector<std::string> Updated(const std::string& installation,
                                 const char* verb = "を更新しました") {
    std::vector<std::string> lines;
    for (const char* file : {"\\QBANK.CXT ", "\\TAVEN.DXR ", "\\mp3File ", "\\xtras"})
        lines.push_back(installation + file + verb);
    return lines;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// `times` runs stopped by the end of the session before they said anything.
std::string Stopped(const std::string& day, int times) {
    std::string runs;
    for (int i = 0; i < times; ++i) {
        runs += Log(day, Start("PC09") +
                             std::vector<std::string>{
                                 "the session ended before the run had stopped", "exit code 4"})
                    .substr(3);  // appended, after the byte order mark
    }
    return runs;
}

struct Case {
    std::string name;                                        // the PC, as the file names it
    std::vector<std::pair<std::string, std::string>> files;  // name, content
    std::optional<int> exitCode;
    Standing standing;
    std::string installations;  // "path=state;…"
    std::string reason;         // what the reason starts with
    std::string note;           // what one note or the unreadable reason holds
};

std::string Installations(const report::PcRow& row) {
    std::string text;
    for (const report::Installation& installation : row.installations)
        text += installation.path + "=" + installation.state + ";";
    return text;
}

std::vector<Case> Cases() {
    const std::string day = "2026-12-08";
    const std::string held = "E:\\VIREL.DXR を「HoldFile.exe」が使用中です";
    std::vector<Case> cases = {
        {"PC01",
         {{"PC01.log", Log(day, Start("PC01") + Updated("E:") + Updated("C:\\そらみど") +
                                    std::vector<std::string>{"exit code 0"})}},
         0,
         Standing::Current,
         "E:=updated;C:\\そらみど=updated;",
         "",
         ""},
        {"PC02",
         {{"PC02.log",
           Log(day, Start("PC02") + Updated("E:", "を更新できませんでした") +
                        std::vector<std::string>{"E: は元のままです：" + held, "exit code 2"})}},
         2,
         Standing::Left,
         "E:=left;",
         "E: は元のままです：" + held,
         ""},
        {"PC03",
         {{"PC03.log", Log(day, Start("PC03") + Updated("E:") +
                                    std::vector<std::string>{
                                        "E:: finished at the next restart: held by SKM300.EXE",
                                        "exit code 3010"})}},
         3010,
         Standing::Restart,
         "E:=restart;",
         "E:: finished at the next restart",
         ""},
        {"PC04",
         {{"PC04.log", Log(day, Start("PC04", "/VERYSILENT /list") +
                                    std::vector<std::string>{"E: restart", "D:\\a b old",
                                                             "search C: walk: x", "exit code 9"})}},
         9,
         Standing::Left,
         "E:=restart;D:\\a b=old;",
         "",
         ""},
        {"PC05",
         {{"PC05.log",
           Log(day, Start("PC05") + Updated("E:") +
                        std::vector<std::string>{
                            "E: は更新の途中のままです：E:\\ZUM.DXR：アクセスが拒否されました。",
                            "exit code 8"})}},
         8,
         Standing::Midway,
         "E:=midway;",
         "E: は更新の途中のままです",
         ""},
        {"PC06",
         {{"PC06.log",
           Log(day, Start("PC06") +
                        std::vector<std::string>{"package Zum.dxr 10 ab",
                                                 "更新ファイルが壊れています：D:\\Data\\Zum.dxr",
                                                 "exit code 3"})}},
         3,
         Standing::Attention,
         "",
         "更新ファイルが壊れています",
         ""},
        {"PC07",
         {{"PC07.log",
           Log(day,
               Start("PC07") + std::vector<std::string>{"drive F: could not be searched: locked",
                                                        "could not search D:\\Locked: denied",
                                                        "exit code 1"})}},
         1,
         Standing::NoProduct,
         "",
         "drive F: could not be searched",
         ""},
        {"PC08",
         {{"PC08.log",
           Log(day, Start("PC08") + std::vector<std::string>{"unexpected error: out of memory",
                                                             "exit code 7"})}},
         7,
         Standing::Attention,
         "",
         "unexpected error",
         ""},
        // Stopped before it could say, again and again: the installations as
        // the last run that named them left them.
        {"PC09",
         {{"PC09.log", Log("2026-12-07", Start("PC09") + Updated("E:", "を更新できませんでした") +
                                             std::vector<std::string>{"E: は元のままです：" + held,
                                                                      "exit code 2"}) +
                           Stopped(day, 6)}},
         4,
         Standing::Attention,
         "E:=left;",
         "the session ended",
         "2026-12-07"},
        {"PC10",
         {{"PC10.log", Log(day, {"start Update.exe 1.55B /NOSUCH", "computer PC10",
                                 "bad command line: /NOSUCH", "exit code 6"})}},
         6,
         Standing::Attention,
         "",
         "bad command line",
         ""},
        // Cut short: switched off in a line, the next start run into it, and
        // a last run with no end.
        {"PC11",
         {{"PC11.log", Log(day, Start("PC11")).substr(0, 120) +
                           Log(day, Start("PC11") + Updated("E:") +
                                        std::vector<std::string>{"exit code 0"} + Start("PC11")) +
                           "2026-12-08 10:59:59.000 E:\\QBA"}},
         0,
         Standing::Current,
         "E:=updated;",
         "",
         "終了コードがありません"},
        // A second Update.exe's lines among the run's.
        {"PC12",
         {{"PC12.log", Log(day, {"start Update.exe 1.55B /VERYSILENT", "computer PC12",
                                 "start Update.exe 1.55B /SILENT", "package QBank.cxt 1 a",
                                 "computer PC12", "windows 10.0.22631 64-bit",
                                 "another update is running", "E:\\QBANK.CXT を更新しました",
                                 "exit code 5", "E:\\TAVEN.DXR を更新しました", "exit code 0"})}},
         0,
         Standing::Current,
         "E:=updated;",
         "",
         ""},
        // The local log rotated: the last complete run lies in the older file.
        {"PC13",
         {{"PC13.log", Log(day, Start("PC13"))},
          {"PC13.1.log", Log("2026-12-05", Start("PC13") + Updated("E:") +
                                               std::vector<std::string>{"exit code 0"})}},
         0,
         Standing::Current,
         "E:=updated;",
         "",
         "終了コードがありません"},
        // Not heard from for longer than the limit.
        {"PC14",
         {{"PC14.log", Log("2026-11-20", Start("PC14") + std::vector<std::string>{"exit code 0"})}},
         0,
         Standing::Stale,
         "",
         "",
         ""},
        {"PC15",
         {{"PC15.log", Log(day, Start("PC99") + std::vector<std::string>{"exit code 1"})}},
         1,
         Standing::NoProduct,
         "",
         "",
         "「PC99」"},
        // A pupil's names: markup, quotes, a direction mark, bytes that are not UTF-8.
        {"=HYPERLINK(1)",
         {{"=HYPERLINK(1).log",
           Log(day, Start("=HYPERLINK(1)") +
                        Updated("E:\\<script>alert(\"x\")</script>'\xE2\x80\xAEgpj.exe\xFF") +
                        std::vector<std::string>{"exit code 0"})}},
         0,
         Standing::Current,
         "E:\\<script>alert(\"x\")</script>'\xE2\x80\xAEgpj.exe\xFF=updated;",
         "",
         ""},
        {"PC17", {}, std::nullopt, Standing::Attention, "", "", "リンク"},
    };
    // 40 MB: many runs, then one whose search alone fills more than the
    // reader's limit.
    std::string big;
    while (big.size() < 20'000'000)
        big += Log(day, Start("PC18") + Updated("E:") + std::vector<std::string>{"exit code 0"});
    std::string late = Log(day, Start("PC18"));
    for (int i = 0; i < 200'000; ++i)
        late += "2026-12-08 11:00:00.000 could not search C:\\Users\\p" + std::to_string(i) +
                ": denied\r\n";
    late += "2026-12-08 11:00:01.000 exit code 2\r\n";
    cases.push_back({"PC18",
                     {{"PC18.log", big + late}},
                     2,
                     Standing::Left,
                     "",
                     "could not search C:\\Users\\p",
                     "1 MiB"});
    return cases;
}

TEST(ReportTest, EachLogGivesItsRow) {
    test_support::TempTree tree("readme.txt = not a log\nfolder.log/\n");
    const std::vector<Case> cases = Cases();
    for (const Case& c : cases) {
        for (const auto& [name, content] : c.files)
            std::ofstream(tree.Path(name), std::ios::binary) << content;
    }
    std::ofstream(tree.Path("outside.txt")) << Log("2026-12-08", {"exit code 0"});
    ASSERT_EQ(symlink(tree.Path("outside.txt").c_str(), tree.Path("PC17.log").c_str()), 0);

    report::PosixLogFolder folder(tree.Path());
    const report::Survey survey =
        report::SurveyFolder(folder, {report::SecondsOf("2026-12-09 08:00:00"), 7, 3});
    ASSERT_EQ(survey.rows.size(), cases.size());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto row = std::find_if(survey.rows.begin(), survey.rows.end(),
                                      [&](const report::PcRow& r) { return r.name == c.name; });
        ASSERT_NE(row, survey.rows.end());
        EXPECT_EQ(row->exitCode, c.exitCode);
        EXPECT_EQ(row->standing, c.standing);
        EXPECT_EQ(Installations(*row), c.installations);
        EXPECT_TRUE(row->reason.starts_with(c.reason)) << row->reason;
        std::string notes = row->unreadable;
        for (const std::string& note : row->notes)
            notes += note + "|";
        if (c.note.empty()) {
            EXPECT_EQ(notes, "");
        } else {
            EXPECT_NE(notes.find(c.note), std::string::npos) << notes;
        }
    }
    for (std::size_t i = 1; i < survey.rows.size(); ++i)
        EXPECT_LE(survey.rows[i - 1].standing, survey.rows[i].standing) << "the order of the rows";
    // The 40 MB log was read from its end only.
    EXPECT_LT(survey.bytesRead, 30u * 1024 * 1024);

    const std::string page = report::HtmlPage(survey, {tree.Path(), "2026-12-09 08:00", 7});
    const std::string csv = report::CsvTable(survey);
    EXPECT_NE(page.find("id=\"count-current\">5<"), std::string::npos);
    EXPECT_NE(page.find("id=\"count-total\">18<"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(
        page.find(
            "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&#39;[U+202E]gpj.exe\xEF\xBF\xBD"),
        std::string::npos);
    EXPECT_TRUE(engine::IsUtf8(page));
    EXPECT_TRUE(engine::IsUtf8(csv));
    EXPECT_TRUE(
        csv.starts_with("\xEF\xBB\xBF"
                        "PC,"));
    std::size_t lines = 0;
    for (std::size_t at = csv.find('\n'); at != std::string::npos; at = csv.find('\n', at + 1)) {
        EXPECT_EQ(csv[at - 1], '\r');
        ++lines;
    }
    EXPECT_EQ(lines, cases.size() + 1);
    EXPECT_NE(csv.find("\"'=HYPERLINK(1)\""), std::string::npos);
    EXPECT_NE(csv.find("<script>alert(\"\"x\"\")"), std::string::npos);
}

}  // namespace
