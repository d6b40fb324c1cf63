// Every text the worker shows, exactly as the user sees it. The half-width
// katakana (ｲﾝｽﾄｰﾙ, ｱｯﾌﾟﾃﾞｰﾄ) and the full-width spaces in the captions are
// the product's own spelling and must stay as they are.
#pragma once

#include <string>
#include <string_view>

namespace engine {

namespace text {

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
// Follows the path of a package file that is empty or whose size or SHA-256
// differs from the list the program carries.
inline constexpr std::string_view kPackageFileDamaged = "更新ファイルが壊れています：";
inline constexpr std::string_view kPackageIncomplete =
    "更新ファイルが不足しているため、アップデートを実行できません。";

inline constexpr std::string_view kUnexpectedError = "アップデート中にエラーが発生しました：";
// Follows kUnexpectedError when the failure carries no description of its own.
inline constexpr std::string_view kUnknownFailure = "不明なエラー";

// An update line is the installation's path, a file's name and one of these.
// An installation is changed as a whole: either every line of it says it was
// replaced, or every line says it was not and one line tells why.
inline constexpr std::string_view kReplaced = "を更新しました";
inline constexpr std::string_view kNotReplaced = "を更新できませんでした";

// "<installation> は元のままです：<reason>", after the lines of an installation
// that was left as it was.
inline constexpr std::string_view kLeftAsItWas = " は元のままです：";
inline constexpr std::string_view kProductRunning = "「ケルミナ そらみど」が実行中です";
// "<file> を「<application>」が使用中です"
inline constexpr std::string_view kUsedByBefore = " を「";
inline constexpr std::string_view kUsedByAfter = "」が使用中です";
inline constexpr std::string_view kUsedByAnother = " をほかのプログラムが使用中です";
inline constexpr std::string_view kIsALink = " はリンクのため変更しません";
inline constexpr std::string_view kPackageChanged = "：更新ファイルが途中で変わりました";
// Joins a path and the system's description of what went wrong with it.
inline constexpr std::string_view kPathAndError = "：";
// What the updater itself finds in the way, where no system call failed.
inline constexpr std::string_view kIsReadOnly = "読み取り専用に設定されています";
inline constexpr std::string_view kIsAFolder = "同じ名前のフォルダーがあります";
inline constexpr std::string_view kCannotList = "フォルダーの内容を読み取れません";
inline constexpr std::string_view kFolderReplaced = "検索の後でフォルダーが入れ替えられました";

// "<installation> は更新の途中のままです：<reason>", after the lines of an
// installation that could neither be updated nor put back as it was; the
// next run finishes or undoes it first.
inline constexpr std::string_view kLeftMidway = " は更新の途中のままです：";
// "<path>：…", where a name of the update matches two entries of a folder.
inline constexpr std::string_view kNamesDifferOnlyInCase =
    "大文字と小文字だけが違う名前がほかにもあります";
// "<installation>\~upd-journal：…", for a file of that name that this
// program did not write, and for a journal whose files are not as it says.
inline constexpr std::string_view kNotAJournalFile = "更新の記録と同じ名前のファイルがあります";
inline constexpr std::string_view kJournalMismatch =
    "中断されていた更新の記録とファイルが合いません";
// "<installation>\~upd-journal：…：<the system's words>", where this PC's key,
// which vouches for a journal, can be neither read nor made: no journal is
// followed or written without it.
inline constexpr std::string_view kNoJournalKey = "更新の記録を確かめる鍵を用意できません";
// "<path> を削除できませんでした", after the lines of an installation that is
// new but where a file of the update's own could not be deleted (a scanner
// holding a backup); a later run deletes it.
inline constexpr std::string_view kNotDeleted = " を削除できませんでした";

// "<installation> は次の再起動で更新されます：<reason>", after the lines of an
// installation that a running program holds, staged whole for the restart.
inline constexpr std::string_view kAtRestart = " は次の再起動で更新されます：";
// Who holds an installation's files where the system does not name a program.
inline constexpr std::string_view kAnotherProgram = "another program";
inline constexpr std::string_view kProductProgram = "ケルミナ そらみど";
// "cannot wait for the restart: <folder> can be changed by users", where a
// folder on the way to an installation held by a program could be changed by
// users, so no rename at the restart may go through it.
inline constexpr std::string_view kCannotWaitBefore = "cannot wait for the restart: ";
inline constexpr std::string_view kCannotWaitAfter = " can be changed by users";
// The verdict of a run whose every installation is new or waits for the restart.
inline constexpr std::string_view kAtRestartLine =
    ">>>>> 使用中のファイルは、次の再起動で更新されます。";
inline constexpr std::string_view kAtRestartStatus = "次の再起動でアップデートを完了します。";

// "<installation> の中断されていた更新を…", before the lines of an installation
// whose earlier update was cut short (the program killed, the power lost).
inline constexpr std::string_view kInterruptedCompleted = " の中断されていた更新を仕上げました";
inline constexpr std::string_view kInterruptedUndone = " の中断されていた更新を元に戻しました";

}  // namespace text

}  // namespace engine
