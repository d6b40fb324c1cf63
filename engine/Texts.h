// Every text the worker shows, exactly as the user sees it. The half-width
// katakana (ｲﾝｽﾄｰﾙ, ｱｯﾌﾟﾃﾞｰﾄ) and the full-width spaces in the captions are
// the product's own spelling and must stay as they are.
#pragma once

#include <string_view>

namespace engine::text {

inline constexpr std::string_view kRunCaption = "実　行";   // U+3000 between the two
inline constexpr std::string_view kStopCaption = "中　止";  // U+3000 between the two

inline constexpr std::string_view kOpening =
    "[ケルミナ そらみど]がｲﾝｽﾄｰﾙされているか、調べています。";
inline constexpr std::string_view kStopped = "アップデートを中止しました。";
inline constexpr std::string_view kNotInstalled =
    "[ケルミナ そらみど]がｲﾝｽﾄｰﾙされていません。"
    "[ケルミナ そらみど]をｲﾝｽﾄｰﾙしてからｱｯﾌﾟﾃﾞｰﾄを実行してください。";

inline constexpr std::string_view kCompletedLine = ">>>>> アップデートを完了しました。";
inline constexpr std::string_view kCompletedAdvice =
    ">>>>> このプログラムを終了させ、「ケルミナ そらみど」を起動してください。";
inline constexpr std::string_view kCompletedStatus = "アップデートを完了しました。";

inline constexpr std::string_view kIncompleteLine = ">>>>> 一部のファイルを更新できませんでした。";
inline constexpr std::string_view kIncompleteAdvice =
    ">>>>> 「ケルミナ そらみど」を終了させてから、もう一度アップデートを実行してください。";
inline constexpr std::string_view kIncompleteStatus = "アップデートを完了できませんでした。";

inline constexpr std::string_view kPackageFileMissing = "更新ファイルが見つかりません：";
inline constexpr std::string_view kPackageIncomplete =
    "更新ファイルが不足しているため、アップデートを実行できません。";

inline constexpr std::string_view kUnexpectedError = "アップデート中にエラーが発生しました：";
// Follows kUnexpectedError when the failure carries no description of its own.
inline constexpr std::string_view kUnknownFailure = "不明なエラー";

// A refresh line is the installation's path, a file's name and one of these.
inline constexpr std::string_view kReplaced = "を更新しました";
inline constexpr std::string_view kNotReplaced = "を更新できませんでした";

}  // namespace engine::text
