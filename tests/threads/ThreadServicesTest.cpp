#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/UiCallQueue.h"
#include "platform/WorkerThread.h"
#include "tests/support/WaitLimit.h"

namespace {

using platform::UiCallQueue;
using platform::WorkerThread;

// Calls handed over run on the thread that serves the queue, in order, and the
// worker sees their effects when Invoke returns.
TEST(UiCallQueue, RunsCallsOnTheServingThreadInOrderWhileTheWorkerWaits) {
    std::atomic<int> wakes{0};
    UiCallQueue ui([&] { ++wakes; });
    const auto uiThread = std::this_thread::get_id();
    std::vector<int> seen;  // touched only by the UI thread
    std::vector<int> seenByWorker;
    bool allOnUi = true;

    WorkerThread worker(ui, [&](std::stop_token) {
        for (int i = 0; i < 100; ++i) {
            ui.Invoke([&, i] {
                allOnUi = allOnUi && std::this_thread::get_id() == uiThread;
                seen.push_back(i);
            });
            // Invoke has returned, so the call has run: its effect is visible.
            seenByWorker.push_back(static_cast<int>(seen.size()));
        }
    });
    worker.WaitForEnd();

    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(seen[i], i);
        EXPECT_EQ(seenByWorker[i], i + 1);
    }
    EXPECT_TRUE(allOnUi);
    EXPECT_EQ(wakes.load(), 101);  // one for each call, one for the end
}

TEST(UiCallQueue, AFailingCallIsRethrownOnTheWorker) {
    UiCallQueue ui;
    std::string caught;
    WorkerThread worker(ui, [&](std::stop_token) {
        try {
            ui.Invoke([] { throw std::runtime_error("window gone"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
    });
    worker.WaitForEnd();
    EXPECT_EQ(caught, "window gone");
}

// The UI thread may serve calls from its message loop (RunPending) instead of
// waiting; a wake-up per call is what makes it do so.
TEST(UiCallQueue, RunPendingServesWhatTheWakeAnnounced) {
    std::atomic<int> announced{0};
    UiCallQueue ui([&] { announced.fetch_add(1, std::memory_order_release); });
    int done = 0;
    WorkerThread worker(ui, [&](std::stop_token) {
        for (int i = 0; i < 10; ++i)
            ui.Invoke([&] { ++done; });
    });
    const test_support::WaitLimit limit("the worker's ten calls");
    while (!worker.Ended()) {
        if (announced.load(std::memory_order_acquire) > done)
            ui.RunPending();
        std::this_thread::yield();
    }
    worker.WaitForEnd();
    EXPECT_EQ(done, 10);
}

// Of calls posted in a burst only some run, the newest always, in the order
// posted, and each before the call invoked after it; a post at the very end
// still runs before the wait for the worker returns.
TEST(UiCallQueue, PostedCallsRunNewestFirstAndBeforeTheNextInvokedCall) {
    UiCallQueue ui([] {});
    std::vector<int> seen;  // touched only by the UI thread
    WorkerThread worker(ui, [&](std::stop_token) {
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 1000; ++i)
                ui.Post([&, i = round * 1000 + i] { seen.push_back(i); });
            ui.Invoke([&] { seen.push_back(-1); });
        }
        ui.Post([&] { seen.push_back(5000); });
    });
    worker.WaitForEnd();

    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 5000);
    int previous = -1;
    int invoked = 0;
    for (std::size_t k = 0; k < seen.size(); ++k) {
        if (seen[k] == -1) {
            // The newest post of the round came just before.
            ASSERT_GT(k, 0u);
            EXPECT_EQ(seen[k - 1], invoked * 1000 + 999);
            ++invoked;
            continue;
        }
        EXPECT_GT(seen[k], previous);
        previous = seen[k];
    }
    EXPECT_EQ(invoked, 3);
}

// Once the UI thread has run a posted call it comes back by itself (the
// window's timer), so further posts wake nobody until it finds none.
TEST(UiCallQueue, PostsAreAnnouncedOnlyWhileTheUiThreadIsNotComingBack) {
    int wakes = 0;
    UiCallQueue ui([&] { ++wakes; });
    std::vector<char> ran;
    ui.Post([&] { ran.push_back('a'); });
    ui.Post([&] { ran.push_back('b'); });
    EXPECT_EQ(wakes, 1);
    EXPECT_TRUE(ui.RunPending());
    ui.Post([&] { ran.push_back('c'); });
    EXPECT_EQ(wakes, 1);
    EXPECT_TRUE(ui.RunPending());
    EXPECT_FALSE(ui.RunPending());
    ui.Post([&] { ran.push_back('d'); });
    EXPECT_EQ(wakes, 2);
    EXPECT_TRUE(ui.RunPending());
    EXPECT_EQ(ran, (std::vector<char>{'b', 'c', 'd'}));
}

// A posted call's failure reaches the worker at its next Invoke, whose own
// call then does not run: the worker learns that the window is failing.
TEST(UiCallQueue, APostedCallsFailureIsRethrownByTheNextInvoke) {
    UiCallQueue ui;
    std::string caught;
    bool invokedRan = false;
    WorkerThread worker(ui, [&](std::stop_token) {
        ui.Post([] { throw std::runtime_error("status line gone"); });
        try {
            ui.Invoke([&] { invokedRan = true; });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
    });
    worker.WaitForEnd();
    EXPECT_EQ(caught, "status line gone");
    EXPECT_FALSE(invokedRan);
}

TEST(WorkerThread, StopRequestIsSeenByTheBodyAndNeverCleared) {
    UiCallQueue ui;
    std::atomic<bool> started{false};
    int reportsAfterStop = 0;
    WorkerThread worker(ui, [&](std::stop_token stop) {
        started = true;
        while (!stop.stop_requested())
            std::this_thread::yield();
        // A worker that reports after the stop must still be able to finish.
        ui.Invoke([&] { ++reportsAfterStop; });
    });
    {
        const test_support::WaitLimit limit("the worker's start");
        while (!started)
            std::this_thread::yield();
    }
    EXPECT_FALSE(worker.StopRequested());
    worker.RequestStop();
    worker.RequestStop();
    EXPECT_TRUE(worker.StopRequested());
    worker.WaitForEnd();
    EXPECT_TRUE(worker.Ended());
    EXPECT_TRUE(worker.StopRequested());
    EXPECT_EQ(reportsAfterStop, 1);
}

TEST(WorkerThread, DestroyingAReportingWorkerStopsItAndServesItsCalls) {
    UiCallQueue ui;
    std::atomic<int> calls{0};
    {
        WorkerThread worker(ui, [&](std::stop_token stop) {
            while (!stop.stop_requested())
                ui.Invoke([&] { ++calls; });
            ui.Invoke([&] { ++calls; });
        });
        const test_support::WaitLimit limit("the worker's first call");
        while (calls.load() == 0)
            ui.RunPending();
    }  // must neither hang nor leave the thread running
    EXPECT_GE(calls.load(), 2);
}

TEST(WorkerThread, AnExceptionEndsOnlyTheThread) {
    UiCallQueue ui;
    WorkerThread worker(ui, [](std::stop_token) { throw std::logic_error("unexpected"); });
    worker.WaitForEnd();
    EXPECT_TRUE(worker.Ended());
}

// Waiting again for a worker that ended long ago returns at once.
TEST(WorkerThread, WaitingTwiceIsHarmless) {
    UiCallQueue ui;
    WorkerThread worker(ui, [](std::stop_token) {});
    worker.WaitForEnd();
    worker.WaitForEnd();
    EXPECT_TRUE(worker.Ended());
}

}  // namespace
