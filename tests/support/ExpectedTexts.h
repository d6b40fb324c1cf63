// What the window must show, written out once more for the tests on purpose:
// a slip in the program's own copy of a text must show up as a difference.
#pragma once

#include <string>
#include <vector>

namespace test_support {

inline const std::string kRun = "実　行";   // U+3000 between the two
inline const std::string kStop = "中　止";  // U+3000 between the two
inline const std::string kOpening = "[ケルミナ そらみど]がｲﾝｽﾄｰﾙされているか、調べています。";
inline const std::string kNotInstalled =
    "[ケルミナ そらみど]がｲﾝｽﾄｰﾙされていません。"
    "[ケルミナ そらみど]をｲﾝｽﾄｰﾙしてからｱｯﾌﾟﾃﾞｰﾄを実行してください。";
inline const std::string kStopped = "アップデートを中止しました。";
inline const std::vector<std::string> kCompletion = {
    "", ">>>>> アップデートを完了しました。",
    ">>>>> このプログラムを終了させ、「ケルミナ そらみど」を起動してください。"};
inline const std::string kCompletedStatus = "アップデートを完了しました。";
inline const std::vector<std::string> kIncompletion = {
    "", ">>>>> 一部のファイルを更新できませんでした。",
    ">>>>> 「ケルミナ そらみど」を終了させてから、もう一度アップデートを実行してください。"};
inline const std::string kIncompleteStatus = "アップデートを完了できませんでした。";

}  // namespace test_support
