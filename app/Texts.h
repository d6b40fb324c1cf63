// The program's fixed texts around a run: the command line's message boxes,
// exactly as the user sees them, and the fixed words of the log file, which
// an administrator's scripts may search for. The window's texts live in
// ui/Texts.h, the worker's in engine/Texts.h.
#pragma once

#include <string_view>

#include "engine/Version.h"

namespace app::text {

// ---- the command line -------------------------------------------------------

// The /? box, and the end of every box about a bad command line.
inline constexpr std::string_view kUsage =
    "使い方：Update.exe [/SILENT | /VERYSILENT] [/LIST] [/LOG[=\"<ファイル>\"]]\n"
    "　　　　[/SUPPRESSMSGBOXES] [/NOCANCEL] [/NORESTART] [/SP-]\n"
    "\n"
    "/SILENT\n"
    "　ウィンドウを開いて自動で実行し、結果を表示して閉じます。\n"
    "/VERYSILENT\n"
    "　ウィンドウもメッセージも出さずに実行します。\n"
    "/LOG=\"<ファイル>\"\n"
    "　実行の記録をファイルにも追記します（UTF-8）。ないフォルダーは作ります。\n"
    "　共有フォルダー（\\\\server\\share\\…）のファイルも使えます。\n"
    "　書き込めなくても更新は続けます。\n"
    "　記録は毎回 %ProgramData%\\Kelmina\\Soramido\\Logs\\Update.log にも残ります\n"
    "　（/LOG だけのときはそこだけ）。\n"
    "/LIST\n"
    "　何も変更せずに、インストールごとの状態を表示します：\n"
    "　1.55B（更新済み）、old（更新前）、\n"
    "　mixed（一部だけ更新済み）、interrupted（中断された更新あり）、\n"
    "　restart（次の再起動で更新されます）、blocked（このままでは更新できません）。\n"
    "/SUPPRESSMSGBOXES\n"
    "　メッセージを表示せず、ログに書きます。\n"
    "/NOCANCEL\n"
    "　/SILENT のとき、実行中は中止できません。\n"
    "/NORESTART、/SP-\n"
    "　受け付けますが、何もしません（再起動することはありません）。\n"
    "/? または /HELP\n"
    "　この説明を表示します。\n"
    "スイッチの大文字・小文字は区別しません。「/」の代わりに「-」も使えます。\n"
    "だれも画面を見られないとき（サービスのセッションなど）は /VERYSILENT として実行します。\n"
    "\n"
    "終了コード：\n"
    "0　見つかったインストールをすべて更新しました（/LIST：すべて 1.55B です）\n"
    "1　インストールが見つかりませんでした\n"
    "2　更新できないインストールがありました（元のままです）\n"
    "3　更新ファイルが不足しているか壊れています（変更なし）\n"
    "4　結果が出る前に中止されました（ログオフ、シャットダウンを含む）\n"
    "5　別の Update.exe が実行中です（何もしていません）\n"
    "6　コマンドラインに問題があります（何もしていません）\n"
    "7　予期しないエラーが発生しました\n"
    "8　更新の途中のままのインストールがあります（もう一度実行してください）\n"
    "9　/LIST：1.55B になっていないインストールがあります\n"
    "3010　すべて更新したか、次の再起動で更新されます（再起動はしません）\n"
    "\n"
    "結果が出た実行は HKEY_LOCAL_MACHINE\\SOFTWARE\\Kelmina\\Soramido\\Update に記録されます。\n"
    "すべてのインストールが 1.55B のとき UpToDate が 1 になります（/LIST は記録しません）。";
static_assert(engine::Names(kUsage));

// Each is followed by the argument as Windows split it from the command line.
inline constexpr std::string_view kUnknownSwitch = "不明なスイッチです：";
inline constexpr std::string_view kNotASwitch = "スイッチは「/」か「-」で始めてください：";
inline constexpr std::string_view kTakesNoValue = "このスイッチには値を指定できません：";
inline constexpr std::string_view kLogNeedsFile =
    "/LOG にはファイルを指定してください（/LOG=\"<ファイル>\"）：";
inline constexpr std::string_view kLogGivenTwice = "/LOG は一度だけ指定してください：";
// The box of a second Update.exe started while one runs.
inline constexpr std::string_view kAlreadyRunningBox =
    "別の Update.exe が更新を実行中です。終わるまでお待ちください。";
// Followed by the /LOG file as given: it is Update.exe itself, a file of the
// Data folder beside it, or inside an installation, where a log must never go.
inline constexpr std::string_view kLogIsProgramOrPackage =
    "ログファイルにこのプログラムか更新ファイルが指定されています：";
// Followed by the /LOG file as given: a name of a device (CON, NUL, COM1...).
inline constexpr std::string_view kLogIsDevice = "ログファイルにデバイス名が指定されています：";

// ---- the log file (/LOG) ----------------------------------------------------
// Plain ASCII words, each line after its time stamp.

inline constexpr std::string_view kLogStart = "start Update.exe 1.55B";  // then the switches
static_assert(kLogStart.ends_with(engine::kVersion));
// After the start line: which PC wrote the log.
inline constexpr std::string_view kLogComputer = "computer ";  // <NetBIOS name>
inline constexpr std::string_view kLogUser = "user ";          // <DOMAIN\name>
inline constexpr std::string_view kLogWindows = "windows ";    // <major.minor.build> <32/64-bit>
inline constexpr std::string_view kLogPackage = "package ";    // <name> <size> <sha256>
inline constexpr std::string_view kLogNotSearched = "could not search ";  // <folder>: <why>
inline constexpr std::string_view kLogDriveSearched = "search ";          // <drive>: <how>
inline constexpr std::string_view kLogAlreadyRunning = "another update is running";
inline constexpr std::string_view kLogUnexpectedError = "unexpected error: ";  // then what failed
inline constexpr std::string_view kLogExitCode = "exit code ";
inline constexpr std::string_view kLogRecordFailed = "could not write the record: ";  // <why>
// The /LOG file could not be opened or written; the run goes on without it.
inline constexpr std::string_view kLogTargetUnavailable =
    "log target unavailable: ";  // <file>: <why>
// The PC's own log could not be used; only /LOG's file has this line.
inline constexpr std::string_view kLogLocalUnavailable = "local log unavailable: ";  // <why>
inline constexpr std::string_view kLogBadCommandLine = "bad command line: ";         // <what>
inline constexpr std::string_view kLogNoVisibleDesktop = "no visible desktop: running unattended";
// "drive <X:> could not be searched: <why>"
inline constexpr std::string_view kLogDrive = "drive ";
inline constexpr std::string_view kLogDriveNotSearched = " could not be searched: ";
// A message box that /SUPPRESSMSGBOXES kept from the screen.
inline constexpr std::string_view kLogMessageBox = "message box: ";  // <its text>
// What stood in the way of the program's own files under %ProgramData%
// and was put right.
inline constexpr std::string_view kLogTakenBack =
    "taken back: ";                                           // <folder>: <why it was not ours>
inline constexpr std::string_view kLogRemoved = "removed: ";  // <path>: <what stood there>
inline constexpr std::string_view kLogNotPutRight = "could not put right: ";  // <path>: <why>
// What was removed from our name but not yet deleted: the entry set aside
// (or the name inside it) that stopped this run's deleting, and why.
inline constexpr std::string_view kLogStillRemoving = "still removing: ";  // <path>: <why>
inline constexpr std::string_view kLogEventFailed = "could not write the event log: ";  // <why>
// What an update left of an earlier run's rather than follow or delete it:
// "journal not ours: <path>: kept as <name>", a journal this PC's key does
// not vouch for and each file it names; "kept, not the journal's bytes:
// <path>", a staged copy of a journal of ours holding other bytes.
inline constexpr std::string_view kLogJournalNotOurs = "journal not ours: ";  // <path>
inline constexpr std::string_view kLogKeptAs = ": kept as ";                  // <name>
inline constexpr std::string_view kLogNotJournalsBytes = "kept, not the journal's bytes: ";
// "journal does not match: <path>: kept as <name>", a journal of ours that
// the files no longer match (someone put it or what it names back), and each
// file it names; the update then goes forward from the package.
inline constexpr std::string_view kLogJournalMismatch = "journal does not match: ";  // <path>
// "kept: <installation>: <name>, <name>...", what earlier runs set aside
// there, on every run until an administrator removes it.
inline constexpr std::string_view kLogKeptBefore = "kept: ";
// The journal key could be read or written by others, and a new one was made.
// "<installation>: finished at the next restart: held by <program>"
inline constexpr std::string_view kLogAtRestart = ": finished at the next restart: held by ";
inline constexpr std::string_view kLogJournalKeyReplaced = "journal key replaced: ";  // <why>
// The session ended before the run had stopped: the process may be ended
// at any moment now, the installation under way, if any, for the next run
// to repair.
inline constexpr std::string_view kLogSessionEndedFirst =
    "the session ended before the run had stopped";
// Nothing could be made to hear of a log-off or shut-down: one ends the run
// where it stands, for the next run to repair. "session end not watched: <why>"
inline constexpr std::string_view kLogSessionUnwatched = "session end not watched: ";

}  // namespace app::text
