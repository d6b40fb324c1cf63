// Pieces of the program's entry that its end-to-end runs cannot reach at
// will: the log file's reason for exit code 7, however the program came to
// it, the exit code the runs of one process leave, and the one-update-at-a-
// time mutex; and the judgement of an owner and list that decides whether a
// folder under %ProgramData% is ours, which Wine cannot show on real files
// (it makes every file's owner the running user and its list from the Unix
// permissions).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/LogFile.h"
#include "app/LogTarget.h"
#include "app/ProtectedFolder.h"
#include "app/RunLog.h"
#include "app/RunRecord.h"
#include "app/SingleInstance.h"
#include "engine/Texts.h"
#include "platform/win32/OwnerAndList.h"
#include "platform/win32/WinApi.h"

#include <sddl.h>
#include "tests/engine/RecordingReport.h"

namespace {

struct NoEvents final : engine::RunEvents {};

// The file's lines after the byte order mark, without their time stamps.
std::string LinesOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string lines;
    for (std::size_t start = 3, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        lines += text.substr(start + 24, end - start - 24) + '|';
    }
    return lines;
}

TEST(EntryPieces, ExitCodeSevenIsAlwaysPrecededByItsReason) {
    const std::string failed = std::string(engine::text::kUnexpectedError) + "disk gone";
    const struct {
        std::string runShowed;  // the one line of a run, if any, which then ends
        const char* boxShowed;
        int exitCode;
        std::string expected;
    } cases[] = {
        {failed, nullptr, 7, failed + "|unexpected error: disk gone|exit code 7|"},
        {"x", nullptr, 7, "x|unexpected error: 不明なエラー|exit code 7|"},
        {"", "スレッド作成エラー：no memory", 7,
         "unexpected error: スレッド作成エラー：no memory|exit code 7|"},
        {"", "box", 0, "exit code 0|"},
    };
    char temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathA(MAX_PATH + 1, temp), 0u);
    // Opened as /LOG's file is, folder by folder; a name too long to be kept
    // inside its std::string.
    const std::string path = std::string(temp) + "soramido-entry.log";
    for (const auto& each : cases) {
        {
            app::LogFile log;
            log.OpenTarget(path);
            ASSERT_FALSE(log.TargetError()) << *log.TargetError();
            engine_test::RecordingReport shown;
            NoEvents events;
            app::RunLog run(&log, shown, events);
            if (!each.runShowed.empty()) {
                run.AppendLogLine(each.runShowed);
                run.RunEnded(engine::RunOutcome::Failed);
            }
            if (each.boxShowed)
                log.NoteFailure(each.boxShowed);
            log.WriteExitCode(each.exitCode);
        }
        EXPECT_EQ(LinesOf(path), each.expected);
        DeleteFileA(path.c_str());
    }
}

// Passes each end on as its outcome's number, so that the order can be seen.
struct EndsHeard final : engine::RunEvents {
    void FolderNotSearched(const std::string& folder, const std::string&) override {
        seen += folder + ' ';
    }
    void RunEnded(engine::RunOutcome outcome) override {
        seen += std::to_string(static_cast<int>(outcome)) + ' ';
    }
    std::string seen;
};

TEST(EntryPieces, ExitCodeIsTheLastVerdictAndCountsDoNotOutliveTheirRun) {
    using O = engine::RunOutcome;
    const engine::InstallationCount midway{1, 0, 0, 0};
    const engine::InstallationCount none{};
    // Each run: its counts (if it got that far) and its end.
    struct Run {
        std::optional<engine::InstallationCount> counted;
        O outcome;
    };
    const struct {
        std::vector<Run> runs;
        int exitCode;
    } cases[] = {
        {{}, 4},
        {{{none, O::Updated}}, 0},
        {{{none, O::Updated}, {std::nullopt, O::Stopped}}, 0},
        {{{midway, O::Stopped}}, 8},
        {{{midway, O::Failed}}, 8},
        {{{std::nullopt, O::Failed}}, 7},
        // The first run's installation left midway is not the second's.
        {{{midway, O::SomeLeft}, {std::nullopt, O::Stopped}}, 2},
        {{{none, O::SomeBehind}, {std::nullopt, O::PackageDamaged}}, 3},
    };
    for (const auto& each : cases) {
        EndsHeard next;
        app::RunRecorder recorder(nullptr, next);
        recorder.KeepNoRecord();
        std::string expected;
        for (const Run& run : each.runs) {
            recorder.FolderNotSearched("X:", "why");
            if (run.counted)
                recorder.InstallationsCounted(*run.counted);
            recorder.RunEnded(run.outcome);
            expected += "X: " + std::to_string(static_cast<int>(run.outcome)) + ' ';
        }
        EXPECT_EQ(recorder.ExitCode(), each.exitCode) << each.runs.size() << " runs";
        EXPECT_EQ(next.seen, expected);
    }
}

TEST(EntryPieces, OnlyTheFirstUpdateHoldsTheMutexUntilItEnds) {
    std::optional<app::SingleInstance> first(std::in_place);
    EXPECT_TRUE(first->IsFirst());
    EXPECT_FALSE(app::SingleInstance().IsFirst());
    first.reset();
    EXPECT_TRUE(app::SingleInstance().IsFirst());
    // Wine has no private namespaces; Windows always has them.
    std::printf("one-update mutex in a private namespace: %s\n",
                app::SingleInstance().IsPrivate() ? "yes" : "no");
}

TEST(EntryPieces, OnlyAdministratorsSystemAndTheRunningUserMayOwnOrWriteOurFoldersAndFiles) {
    const char* const runningUser = "S-1-5-21-1-2-3-1001";
    const struct {
        const wchar_t* descriptor;
        std::string why;
    } cases[] = {
        {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", ""},
        {L"O:SYD:(A;;FA;;;SY)(A;;FR;;;WD)(D;;FA;;;BU)", ""},
        {L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;S-1-5-21-1-2-3-1001)(A;OICIIO;GA;;;CO)", ""},
        // A pupil made it first.
        {L"O:S-1-5-21-1-2-3-1002D:P(A;;FA;;;SY)(A;;FA;;;BA)", "belongs to S-1-5-21-1-2-3-1002"},
        // Made by an administrator, inheriting ProgramData's list.
        {L"O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;CIID;0x100116;;;BU)", "lets S-1-5-32-545 write"},
        {L"O:BAD:(A;OICIIO;GW;;;BU)", "lets S-1-5-32-545 write"},
        {L"O:BAD:(A;;FA;;;BA)(A;;WD;;;AU)", "lets S-1-5-11 write"},
        {L"O:BA", "lets everybody write"},
        // Files: one made in our folder, one made writable by Everyone, one
        // whose owner may change it whoever that is.
        {L"O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)", ""},
        {L"O:BAD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1301ff;;;WD)", "lets S-1-1-0 write"},
        {L"O:SYD:(A;;FA;;;OW)(A;;FA;;;SY)(A;;FR;;;BU)", ""},
        {L"O:BAD:(A;;FA;;;BA)(A;;DT;;;BU)", "lets S-1-5-32-545 write"},
    };
    PSID user = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA(runningUser, &user));
    const platform::ScopedLocal ownedUser(user);
    for (const auto& each : cases) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            each.descriptor, SDDL_REVISION_1, &descriptor, nullptr));
        const platform::ScopedLocal owned(descriptor);
        EXPECT_EQ(platform::WhyNotOurs(descriptor, user), each.why);
    }
}

TEST(EntryPieces, ALogAtADeviceNameIsRefusedInAnyForm) {
    for (const char* device : {"CON",
                               "con",
                               R"(\\?\C:\logs\CON)",
                               R"(\\.\CON)",
                               "CON.txt",
                               "C:\\logs\\con.txt",
                               "COM1",
                               "com9.log",
                               "LPT1",
                               "LPT0",
                               "NUL",
                               "nul.",
                               "NUL  .log",
                               "AUX ",
                               "AUX..",
                               "PRN",
                               "CONIN$",
                               "conout$.txt",
                               "COM\xC2\xB9",
                               "LPT\xC2\xB3.log",
                               "C:/logs/nul/run.log",
                               "COM1:",
                               "C:\\logs\\prn \\run.log"}) {
        EXPECT_TRUE(app::NamesADevice(device)) << device;
    }
    for (const char* file :
         {"C:\\logs\\run.log", "CONSOLE.log", "COM10", "COM", "LPT", "NULL", "C:\\logs\\xcon.txt",
          "COM\xC2\xB4", "auxiliary", "\\\\server\\logs\\PC1.log", "CONIN"}) {
        EXPECT_FALSE(app::NamesADevice(file)) << file;
    }
}

// A local path in any of its forms goes through the handles that refuse a
// link; only a share is opened by its path.
TEST(EntryPieces, OnlyASharedLogIsOpenedByItsPath) {
    using app::LogPlace;
    const struct {
        const char* full;
        LogPlace place;
        const char* onDrive;
    } cases[] = {
        {R"(C:\ProgramData\Soramido\update.log)", LogPlace::Drive,
         R"(C:\ProgramData\Soramido\update.log)"},
        {R"(\\?\C:\logs\run.log)", LogPlace::Drive, R"(C:\logs\run.log)"},
        {R"(\\.\c:\logs\run.log)", LogPlace::Drive, R"(c:\logs\run.log)"},
        {R"(\\server\logs\PC1.log)", LogPlace::Share, ""},
        {R"(\\?\UNC\server\logs\PC1.log)", LogPlace::Share, ""},
        {R"(\\?\Volume{0b1e}\run.log)", LogPlace::Neither, ""},
        {R"(\\.\pipe\run)", LogPlace::Neither, ""},
        {R"(\\?\C:run.log)", LogPlace::Neither, ""},
    };
    for (const auto& each : cases) {
        std::string onDrive;
        EXPECT_EQ(app::PlaceOf(each.full, onDrive), each.place) << each.full;
        EXPECT_EQ(onDrive, each.onDrive) << each.full;
    }
}

}  // namespace
