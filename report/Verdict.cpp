#include "report/Verdict.h"

#include "report/LogWords.h"

namespace report {

namespace code = app::exit_code;

std::string_view VerdictOf(std::optional<int> exitCode, bool list) {
    if (!exitCode)
        return "記録が途中で終わっています";
    switch (*exitCode) {
        case code::kUpdated:
            return list ? "すべて 1.55B です（/LIST）" : "更新しました";
        case code::kNothingFound:
            return "インストールが見つかりません";
        case code::kSomeLeft:
            return "更新できないインストールがあります（元のまま）";
        case code::kPackageDamaged:
            return "更新ファイルが不足しているか壊れています";
        case code::kStopped:
            return "中止されました";
        case code::kAlreadyRunning:
            return "別の Update.exe が実行中でした";
        case code::kBadCommandLine:
            return "コマンドラインに問題があります";
        case code::kUnexpected:
            return "予期しないエラーが発生しました";
        case code::kLeftMidway:
            return "更新の途中のままです（もう一度実行してください）";
        case code::kNotAllCurrent:
            return "1.55B になっていないインストールがあります（/LIST）";
        case code::kRestartNeeded:
            return "再起動待ち（次の再起動で更新が完了します）";
        default:
            return "不明な終了コードです";
    }
}

Standing StandingOf(const PcRow& row) {
    if (!row.unreadable.empty() || !row.exitCode)
        return Standing::Attention;
    switch (*row.exitCode) {
        case code::kUpdated:
            return Standing::Current;
        case code::kRestartNeeded:
            return Standing::Restart;
        case code::kSomeLeft:
        case code::kNotAllCurrent:
            return Standing::Left;
        case code::kLeftMidway:
            return Standing::Midway;
        case code::kNothingFound:
            return Standing::NoProduct;
        default:
            return Standing::Attention;
    }
}

std::string_view StandingName(Standing standing) {
    switch (standing) {
        case Standing::Midway:
            return "更新の途中";
        case Standing::Attention:
            return "要確認";
        case Standing::Left:
            return "元のまま";
        case Standing::Stale:
            return "連絡なし";
        case Standing::Restart:
            return "再起動待ち";
        case Standing::NoProduct:
            return "製品なし";
        case Standing::Current:
            return "最新（1.55B）";
    }
    return "?";
}

std::string_view StandingKey(Standing standing) {
    switch (standing) {
        case Standing::Midway:
            return "midway";
        case Standing::Attention:
            return "attention";
        case Standing::Left:
            return "left";
        case Standing::Stale:
            return "stale";
        case Standing::Restart:
            return "restart";
        case Standing::NoProduct:
            return "noproduct";
        case Standing::Current:
            return "current";
    }
    return "?";
}

std::string_view StateName(std::string_view state) {
    if (state == engine::kVersion || state == "updated")
        return engine::kVersion;
    if (state == "old")
        return "更新前";
    if (state == "mixed")
        return "一部だけ更新済み";
    if (state == "interrupted")
        return "中断された更新あり";
    if (state == "blocked")
        return "更新できない状態";
    if (state == "restart")
        return "再起動で完了";
    if (state == "left")
        return "元のまま";
    if (state == "midway")
        return "更新の途中";
    return "不明";
}

}  // namespace report
