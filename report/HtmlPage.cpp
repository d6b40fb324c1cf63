#include <initializer_list>
#include <string>

#include "engine/Version.h"
#include "report/Pages.h"
#include "report/ShownText.h"
#include "report/Verdict.h"

namespace report {

namespace {

// The page's only style. Each group has its colour in light and dark; with
// forced colours (Windows' high contrast) the system's colours take over and
// the words and numbers carry the meaning alone.
constexpr std::string_view kStyle = R"(
:root{color-scheme:light dark;--bg:#fff;--fg:#1c1d21;--muted:#5c5f69;--line:#d8dae0;--head:#f2f3f6;
--midway:#b3261e;--attention:#c04f00;--left:#9a6a00;--stale:#5f6672;--restart:#6247aa;
--noproduct:#8b919c;--current:#1e7a3c}
@media (prefers-color-scheme:dark){:root{--bg:#141518;--fg:#e7e8ec;--muted:#a3a7b1;--line:#34363d;
--head:#1e2025;--midway:#ff7b72;--attention:#ff9a4d;--left:#e3b341;--stale:#9aa3b0;--restart:#b39dff;
--noproduct:#6e7681;--current:#3fb950}}
*{box-sizing:border-box}
body{margin:0;padding:24px 28px;background:var(--bg);color:var(--fg);line-height:1.5;
font-family:"Yu Gothic UI","Meiryo UI","Meiryo","Hiragino Sans","Noto Sans CJK JP","IPAGothic",sans-serif;font-size:14px}
h1{font-size:22px;margin:0 0 4px}
.facts{color:var(--muted);margin:0 0 20px;overflow-wrap:anywhere}
.glance{display:flex;gap:28px;align-items:center;flex-wrap:wrap;margin-bottom:22px}
.big{font-size:40px;font-weight:700;line-height:1}.big small{font-size:16px;font-weight:400;color:var(--muted)}
.bar{display:flex;height:30px;border-radius:6px;overflow:hidden;min-width:280px;flex:1;border:1px solid var(--line)}
.seg{display:flex;align-items:center;justify-content:center;color:#fff;font-weight:700;font-size:13px;min-width:1.6em;
-webkit-print-color-adjust:exact;print-color-adjust:exact}
.legend{list-style:none;display:flex;flex-wrap:wrap;gap:6px 18px;padding:0;margin:0 0 24px}
.legend li{display:flex;align-items:center;gap:6px}
.swatch{width:12px;height:12px;border-radius:3px;display:inline-block;-webkit-print-color-adjust:exact;print-color-adjust:exact}
.count{font-size:16px}
.midway{--c:var(--midway)}.attention{--c:var(--attention)}.left{--c:var(--left)}.stale{--c:var(--stale)}
.restart{--c:var(--restart)}.noproduct{--c:var(--noproduct)}.current{--c:var(--current)}
.seg,.swatch{background:var(--c)}
@media (prefers-color-scheme:dark){.seg{color:#141518}}
table{border-collapse:collapse;width:100%}
th{background:var(--head);text-align:left;font-weight:600;white-space:nowrap}
th,td{border-bottom:1px solid var(--line);padding:6px 8px;vertical-align:top}
td{overflow-wrap:anywhere}
td.pc{border-left:6px solid var(--c);font-weight:600;min-width:8em}
.tag{display:block;font-weight:400;font-size:12px;color:var(--c)}
td.when,td.win{white-space:nowrap}
.code{color:var(--muted);font-size:12px}
ul.inst{list-style:none;margin:0;padding:0}
.state{font-size:12px;padding:0 5px;border:1px solid var(--line);border-radius:4px;white-space:nowrap}
.note{color:var(--muted);font-size:12px;margin:2px 0 0}
.empty{color:var(--muted)}
@media (forced-colors:active){.seg,.swatch{forced-color-adjust:none;background:Canvas;color:CanvasText;
border:1px solid CanvasText}.current .swatch,.seg.current{background:Highlight;color:HighlightText}
td.pc{border-left-color:CanvasText}.tag{color:CanvasText}}
@page{size:A4;margin:12mm}
@media print{body{padding:0;font-size:9pt;background:#fff;color:#000}h1{font-size:15pt}
thead{display:table-header-group}tr{break-inside:avoid}.bar{min-width:0}th,td{padding:3px 5px}}
)";

void Append(std::string& to, std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces)
        to.append(piece);
}

std::string Text(std::string_view text, std::size_t limit = 300) {
    return HtmlEscaped(Shown(text, limit));
}

// A name or path from a log, kept apart from the text around it in either
// direction.
std::string Isolated(std::string_view text, std::size_t limit = 300) {
    return "<bdi>" + Text(text, limit) + "</bdi>";
}

void Summary(std::string& page, const Survey& survey) {
    const std::size_t total = survey.rows.size();
    const std::size_t current = survey.counts[static_cast<int>(Standing::Current)];
    std::string label = "PC " + std::to_string(total) + " 台：";
    std::string segments;
    std::string legend;
    for (int i = kStandings - 1; i >= 0; --i) {
        const auto standing = static_cast<Standing>(i);
        const std::string key(StandingKey(standing));
        const std::string name(StandingName(standing));
        const std::size_t count = survey.counts[i];
        const std::string number = std::to_string(count);
        if (count > 0) {
            Append(segments, {"<span class=\"seg ", key, "\" style=\"flex-grow:", number,
                              "\" title=\"", name, " ", number, " 台\">", number, "</span>"});
            Append(label, {name, " ", number, " 台、"});
        }
        Append(legend, {"<li class=\"", key, "\"><span class=\"swatch\"></span>", name,
                        " <b class=\"count\" id=\"count-", key, "\">", number, "</b> 台</li>"});
    }
    page += "<section class=\"glance\"><div class=\"big\"><span id=\"count-total-current\">" +
            std::to_string(current) + "</span><small> / <span id=\"count-total\">" +
            std::to_string(total) + "</span> 台が最新</small></div>";
    page += "<div class=\"bar\" role=\"img\" aria-label=\"" + HtmlEscaped(label) + "\">" +
            segments + "</div></section>";
    page += "<ul class=\"legend\">" + legend + "</ul>";
}

void Row(std::string& page, const PcRow& row) {
    const std::string key(StandingKey(row.standing));
    page += "<tr class=\"" + key + "\"><td class=\"pc\">" + Isolated(row.name, 80) +
            "<span class=\"tag\">" + std::string(StandingName(row.standing)) + "</span></td>";
    page += "<td class=\"when\">" + Text(row.lastRun) + "</td><td>";
    if (!row.unreadable.empty()) {
        page += "ログを読めません";
    } else {
        page += HtmlEscaped(VerdictOf(row.exitCode, row.list));
        if (row.exitCode)
            page += "<div class=\"code\">終了コード " + std::to_string(*row.exitCode) + "</div>";
    }
    page += "</td><td><ul class=\"inst\">";
    for (const Installation& installation : row.installations) {
        page += "<li>" + Isolated(installation.path) + " <span class=\"state\">" +
                std::string(StateName(installation.state)) + "</span></li>";
    }
    page += "</ul></td><td>";
    if (!row.unreadable.empty()) {
        for (const std::string& log : row.logs)
            page += Isolated(log, 120) + " ";
        page += "：" + Text(row.unreadable);
    } else {
        page += Text(row.reason, 400);
    }
    for (const std::string& note : row.notes)
        page += "<p class=\"note\">" + Text(note, 400) + "</p>";
    page += "</td><td class=\"win\">" + Text(row.windows, 60) + "</td></tr>\n";
}

}  // namespace

std::string HtmlPage(const Survey& survey, const PageFacts& facts) {
    std::string page;
    page.reserve(4096 + survey.rows.size() * 700);
    page +=
        "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<meta name=\"color-scheme\" content=\"light dark\">"
        "<title>「ケルミナ そらみど」アップデートの状況</title><style>";
    page += kStyle;
    page += "</style></head><body>\n<h1>「ケルミナ そらみど」";
    page += engine::kVersion;
    page += " アップデートの状況</h1>";
    page += "<p class=\"facts\">ログのフォルダー：" + Isolated(facts.folder, 400) + "　作成：" +
            Text(facts.madeAt) + "　「連絡なし」は最終実行から " + std::to_string(facts.staleDays) +
            " 日を超えた PC です</p>\n";
    Summary(page, survey);
    if (survey.rows.empty()) {
        page += "<p class=\"empty\">このフォルダーには PC のログ（*.log）がありません。</p>";
    } else {
        page +=
            "<table><thead><tr><th>PC</th><th>最終実行</th><th>結果</th><th>インストール</th>"
            "<th>理由・備考</th><th>Windows</th></tr></thead><tbody>\n";
        for (const PcRow& row : survey.rows)
            Row(page, row);
        page += "</tbody></table>";
    }
    page += "\n</body></html>\n";
    return page;
}

}  // namespace report
