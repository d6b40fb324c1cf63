// TForm1 driven through real window messages, with real workers walking an
// in-memory computer.
#include "platform/win32/WinApi.h"

#include <commctrl.h>

#include <thread>

#include "tests/support/WaitLimit.h"
#include "tests/ui/FormFixture.h"
#include "ui/ApplicationWindow.h"

namespace ui_test {
namespace {

using ui::kButton1Id;
using ui::kButton2Id;
using ui::kLabel1Id;
using ui::kMemo1Id;

LRESULT CALLBACK CountPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR paints) {
    if (message == WM_PAINT)
        ++*reinterpret_cast<std::atomic<int>*>(paints);
    return DefSubclassProc(window, message, wParam, lParam);
}

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(FormTest, StartsEmptyWithTheFocusOnTheRunButton) {
    Open();
    EXPECT_TRUE(IsWindowVisible(Form()));
    EXPECT_EQ(Text(kButton1Id), kRun);
    EXPECT_TRUE(IsEnabled(kButton1Id));
    EXPECT_EQ(Text(kButton2Id), "閉じる");
    EXPECT_EQ(Text(kLabel1Id), "");
    EXPECT_EQ(Text(kMemo1Id), "");
    EXPECT_EQ(FocusedId(), kButton1Id);
    EXPECT_EQ(form.workersCreated, 0);
}

TEST_F(FormTest, ACompletedRunShowsTheWholeLogInBlueAndDisablesTheRunButton) {
    Install("C:\\Kyozai\\Soramido", true);
    Install("C:\\Old", false);
    Open();
    Click(Item(kButton1Id));
    EXPECT_EQ(Text(kButton1Id), kStop);  // at once, before the worker has done anything
    ASSERT_TRUE(PumpUntilIdle());

    EXPECT_EQ(LogLines(), Concat({{kOpening},
                                  RefreshLines("C:\\Kyozai\\Soramido", true),
                                  RefreshLines("C:\\Old", false),
                                  kCompletion}));
    EXPECT_EQ(Text(kLabel1Id), kCompletedStatus);
    EXPECT_EQ(StatusColour(), kBlue);
    EXPECT_EQ(Text(kButton1Id), kRun);
    EXPECT_FALSE(IsEnabled(kButton1Id));
    // The disabled button gave the focus on, as Tab would have.
    EXPECT_EQ(FocusedId(), kButton2Id);
    EXPECT_EQ(fs.Contents().at("C:\\Kyozai\\Soramido\\xtras\\PlugKit2.X32"), "1.55B PlugKit2.x32");
}

TEST_F(FormTest, ARunThatFindsNothingLeavesTheButtonReadyAndTheStatusLineBlack) {
    Open();
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(LogLines(), (Lines{kOpening, kNotInstalled}));
    EXPECT_EQ(Text(kLabel1Id), "");
    EXPECT_EQ(StatusColour(), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_TRUE(IsEnabled(kButton1Id));
}

// Red marks a run that could not complete; the next run starts with the
// status line in its ordinary colour again.
TEST_F(FormTest, AFailedRunIsShownInRedAndTheNextRunStartsInTheOrdinaryColour) {
    Install("C:\\A", false);
    fs.MakeFolders("C:\\A").AddLink("xtras", fs.MakeFolders("C:\\Elsewhere"));
    fs.MakeFolders("C:\\B");
    Open();
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(Text(kLabel1Id), "アップデートを完了できませんでした。");
    EXPECT_EQ(StatusColour(), RGB(255, 0, 0));
    EXPECT_TRUE(IsEnabled(kButton1Id));

    Gate gate;
    fs.SetListingHook(gate.HoldAt("C:\\B"));
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntil([&] { return gate.Reached() && Text(kLabel1Id) == "C:\\B"; }));
    EXPECT_EQ(StatusColour(), GetSysColor(COLOR_WINDOWTEXT));
    gate.Open();
    ASSERT_TRUE(PumpUntilIdle());
}

TEST_F(FormTest, StopWaitsForTheWorkerAndARunAfterwardsStartsAfresh) {
    Install("C:\\A", true);
    fs.MakeFolders("C:\\B\\Deep");
    Install("C:\\C", false);
    Gate gate;
    fs.SetListingHook(gate.HoldAt("C:\\B"));
    Open();

    Click(Item(kButton1Id));
    // The status line catches up with the folder being searched.
    ASSERT_TRUE(PumpUntil([&] { return gate.Reached() && Text(kLabel1Id) == "C:\\B"; }));
    gate.OpenOnStop(*form.latestWorker);
    Click(Item(kButton1Id));  // "中　止": returns once the worker has ended
    EXPECT_TRUE(form.latestWorker->Ended());
    EXPECT_EQ(Text(kButton1Id), kRun);
    EXPECT_TRUE(IsEnabled(kButton1Id));
    // Nothing after the stop was touched.
    EXPECT_EQ(LogLines(), Concat({{kOpening}, RefreshLines("C:\\A", true), {kStopped}}));
    EXPECT_EQ(fs.Contents().at("C:\\C\\QBANK.CXT"), "1.50");

    fs.SetListingHook(nullptr);
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(form.workersCreated, 2);
    EXPECT_EQ(
        LogLines(),
        Concat(
            {{kOpening}, RefreshLines("C:\\A", true), RefreshLines("C:\\C", false), kCompletion}));
}

// The worker sets the caption back to "実　行" before its verdict lines; a
// press in between waits for the previous worker to end, so two runs never
// share the log and a finished run never touches the next run's button.
TEST_F(FormTest, APressDuringTheLastReportsWaitsForThePreviousWorkerFirst) {
    Open();
    std::vector<std::pair<int, std::string>> operations;  // (workers created, operation)
    form.afterOperation = [&](const std::string& operation) {
        operations.emplace_back(form.workersCreated, operation);
        if (operation == "caption:" + kRun && form.workersCreated == 1) {
            PostMessageW(Item(kButton1Id), BM_CLICK, 0, 0);
        }
    };
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntil([&] { return form.workersCreated == 2; }));
    ASSERT_TRUE(PumpUntilIdle());

    std::vector<std::pair<int, std::string>> firstRun;
    for (const auto& op : operations) {
        if (op.first == 1)
            firstRun.push_back(op);
    }
    const std::vector<std::pair<int, std::string>> expectedFirstRun = {
        {1, "append:" + kOpening},
        {1, "caption:" + kRun},
        {1, "append:" + kNotInstalled},
        {1, "enabled:1"}};
    EXPECT_EQ(firstRun, expectedFirstRun);
    EXPECT_EQ(LogLines(), (Lines{kOpening, kNotInstalled}));
    EXPECT_TRUE(IsEnabled(kButton1Id));
}

TEST_F(FormTest, APressDuringACompletedRunsLastReportsStartsNothing) {
    Install("C:\\Soramido", false);
    Open();
    bool pressed = false;
    form.afterOperation = [&](const std::string& operation) {
        if (operation == "caption:" + kRun && !pressed) {
            pressed = true;
            PostMessageW(Item(kButton1Id), BM_CLICK, 0, 0);
        }
    };
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntilIdle());
    PumpUntil([] { return false; }, 300ms);  // whatever the press led to has happened
    ASSERT_TRUE(pressed);
    EXPECT_EQ(form.workersCreated, 1);
    EXPECT_EQ(LogLines(), Concat({{kOpening}, RefreshLines("C:\\Soramido", false), kCompletion}));
    EXPECT_FALSE(IsEnabled(kButton1Id));
    EXPECT_EQ(Text(kButton1Id), kRun);
}

TEST_F(FormTest, ClosingDuringARunHidesAtOnceAndDestroyingWaitsForTheWorker) {
    Install("C:\\A", false);
    fs.MakeFolders("C:\\B");
    Install("C:\\C", false);
    Gate gate;
    fs.SetListingHook(gate.HoldAt("C:\\B"));
    Open();
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntil([&] { return gate.Reached(); }));

    SendMessageW(Form(), WM_CLOSE, 0, 0);
    PumpPending();
    EXPECT_FALSE(IsWindowVisible(Form()));
    EXPECT_TRUE(quitPosted);
    EXPECT_FALSE(form.latestWorker->Ended());  // the process outlives the window

    gate.OpenOnStop(*form.latestWorker);
    form.Destroy();  // FormDestroy stops the worker and waits for it
    EXPECT_EQ(Form(), nullptr);
    // No folder was entered after the close: C was never refreshed.
    EXPECT_EQ(fs.Contents().at("C:\\A\\QBANK.CXT"), "1.55B QBank.cxt");
    EXPECT_EQ(fs.Contents().at("C:\\C\\QBANK.CXT"), "1.50");
}

// A stop lets the refresh under way finish, which waits up to a second for
// a file another program holds; all that time the window must stay alive.
TEST_F(FormTest, WhileAStopWaitsForAHeldRefreshTheWindowPaintsAndAnswersTheSession) {
    Install("C:\\A", false);
    fs.FileAt("C:\\A\\QBANK.CXT").Hold();
    Open();
    std::atomic<int> paints{0};
    SetWindowSubclass(Form(), CountPaints, 1, reinterpret_cast<DWORD_PTR>(&paints));
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntil([&] { return !fs.InstallationsOpened().empty(); }));

    const engine::TMyThread& worker = *form.latestWorker;
    bool answered = false;
    bool painted = false;
    const test_support::WaitLimit limit("the stop request of 中　止 and the session's answer");
    std::thread session([&] {
        while (!worker.StopRequested())
            std::this_thread::sleep_for(1ms);
        const int before = paints;
        InvalidateRect(Form(), nullptr, TRUE);
        DWORD_PTR allowed = 0;
        answered = SendMessageTimeoutW(Form(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK,
                                       500, &allowed) != 0 &&
                   !worker.Ended();
        for (int i = 0; i < 500 && paints == before; ++i)
            std::this_thread::sleep_for(1ms);
        painted = paints > before && !worker.Ended();
    });
    Click(Item(kButton1Id));  // "中　止"
    session.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(painted);
    EXPECT_EQ(LogLines().back(), kStopped);
    RemoveWindowSubclass(Form(), CountPaints, 1);
}

// The system asks from another thread and then says the session ends; the
// process may be ended as soon as the second answer is given. Whether the
// worker stops at once or is stuck in a listing that ignores the stop, both
// are answered, and the window says whether the run had stopped by then.
class SessionEndTest : public FormTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SessionEndTest, BothQuestionsAreAnsweredWhetherOrNotTheRunStops) {
    const bool workerStops = GetParam();
    Install("C:\\A", false);
    fs.MakeFolders("C:\\B");
    Gate gate;
    fs.SetListingHook(gate.HoldAt("C:\\B"));
    Open();
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntil([&] { return gate.Reached(); }));
    if (workerStops)
        gate.OpenOnStop(*form.latestWorker);

    std::atomic<int> answers{0};
    DWORD_PTR allowed = FALSE;
    std::thread session([&] {
        const DWORD limit = static_cast<DWORD>(ui::kSessionEndWait.count()) + 10000;
        DWORD_PTR ignored = 0;
        if (SendMessageTimeoutW(Form(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000,
                                &allowed) != 0)
            ++answers;
        if (allowed != FALSE && SendMessageTimeoutW(Form(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                                                    SMTO_BLOCK, limit, &ignored) != 0)
            ++answers;
    });
    EXPECT_TRUE(PumpUntil([&] { return answers == 2; }, 30s));
    session.join();
    EXPECT_NE(allowed, static_cast<DWORD_PTR>(FALSE));
    EXPECT_EQ(form.sessionEndedAfterTheRun, std::optional<bool>(workerStops));
    EXPECT_EQ(form.latestWorker->Ended(), workerStops);
    gate.Open();
}

INSTANTIATE_TEST_SUITE_P(WorkerStopsOrNot, SessionEndTest, ::testing::Bool());

TEST_F(FormTest, TheTaskBarButtonIsTheApplicationsAndItsCloseClosesTheWindow) {
    ui::ApplicationWindow application;
    application.Create(GetModuleHandleW(nullptr), "SoramidoUpDate");
    Open(application.Handle());
    application.SetMainWindow(Form());
    application.Show();
    EXPECT_EQ(ui::GetText(application.Handle()), "SoramidoUpDate");
    EXPECT_TRUE(IsWindowVisible(application.Handle()));
    // An owned window gets no task-bar button of its own.
    EXPECT_EQ(GetWindow(Form(), GW_OWNER), application.Handle());
    EXPECT_FALSE(GetWindowLongPtrW(Form(), GWL_EXSTYLE) & WS_EX_APPWINDOW);

    SendMessageW(application.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the button's Close
    PumpPending();
    EXPECT_FALSE(IsWindowVisible(Form()));
    EXPECT_FALSE(IsWindowVisible(application.Handle()));
    EXPECT_TRUE(quitPosted);
    form.Destroy();
}

TEST_F(FormTest, KeysWorkAsInADialog) {
    Open();
    ASSERT_EQ(FocusedId(), kButton1Id);
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedId(), kButton2Id);
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedId(), kMemo1Id);
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedId(), kButton1Id);

    // Enter on the focused run button runs.
    PressKey(VK_RETURN);
    EXPECT_EQ(form.workersCreated, 1);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(LogLines(), (Lines{kOpening, kNotInstalled}));
}

TEST_F(FormTest, EnterAndEscInTheLogBelongToTheLog) {
    Open();
    SetFocus(Item(kMemo1Id));
    PressKey(VK_RETURN);
    PressKey(VK_ESCAPE);
    EXPECT_EQ(Text(kMemo1Id), "\r\n");
    EXPECT_EQ(form.workersCreated, 0);
    EXPECT_TRUE(IsWindowVisible(Form()));
    EXPECT_FALSE(quitPosted);
    EXPECT_EQ(FocusedId(), kMemo1Id);
}

TEST_F(FormTest, EscOnAButtonCloses) {
    Open();
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(IsWindowVisible(Form()));
    EXPECT_TRUE(quitPosted);
    EXPECT_EQ(form.workersCreated, 0);
}

TEST_F(FormTest, EnterOnTheCloseButtonCloses) {
    Open();
    PressKey(VK_TAB);
    ASSERT_EQ(FocusedId(), kButton2Id);
    PressKey(VK_RETURN);
    EXPECT_FALSE(IsWindowVisible(Form()));
    EXPECT_TRUE(quitPosted);
    EXPECT_EQ(form.workersCreated, 0);
}

TEST_F(FormTest, AWorkerThatCannotBeCreatedIsReportedAndTheButtonStaysUsable) {
    Open();
    form.failCreation = [] {
        throw std::system_error(ERROR_NOT_ENOUGH_MEMORY, std::system_category(), "thread");
    };
    Click(Item(kButton1Id));
    ASSERT_EQ(form.errorBoxes.size(), 1u);
    EXPECT_EQ(form.errorBoxes[0].rfind("スレッド作成エラー：", 0), 0u) << form.errorBoxes[0];
    EXPECT_GT(form.errorBoxes[0].size(), std::string("スレッド作成エラー：").size());
    EXPECT_EQ(Text(kButton1Id), kRun);
    EXPECT_EQ(form.workersCreated, 0);

    form.failCreation = nullptr;
    Click(Item(kButton1Id));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(LogLines(), (Lines{kOpening, kNotInstalled}));
}

TEST_F(FormTest, AnyOtherFailureInAHandlerIsShownInTheErrorBox) {
    Open();
    form.failCreation = [] { throw std::runtime_error("out of sorts"); };
    Click(Item(kButton1Id));
    EXPECT_EQ(form.errorBoxes, (std::vector<std::string>{"out of sorts."}));
    EXPECT_EQ(Text(kButton1Id), kRun);
    EXPECT_TRUE(IsWindowVisible(Form()));
}

}  // namespace
}  // namespace ui_test
