// Pieces of the program's entry that its end-to-end runs cannot reach at
// will: the one-update-at-a-time mutex.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine/Texts.h"
#include "platform/win32/WinApi.h"
#include "tests/engine/RecordingReport.h"
#include "ui/LogFile.h"
#include "ui/RunLog.h"
#include "ui/SingleInstance.h"

namespace {

TEST(EntryPieces, OnlyTheFirstUpdateHoldsTheMutexUntilItEnds) {
    std::optional<ui::SingleInstance> first(std::in_place);
    EXPECT_TRUE(first->IsFirst());
    EXPECT_FALSE(ui::SingleInstance().IsFirst());
    first.reset();
    EXPECT_TRUE(ui::SingleInstance().IsFirst());
    // Wine has no private namespaces; Windows always has them.
    std::printf("one-update mutex in a private namespace: %s\n",
                ui::SingleInstance().IsPrivate() ? "yes" : "no");
}

}  // namespace
