// One update at a time on the PC. Every Update.exe, in every session of the
// PC, first makes the same named mutex; the one that finds it made already
// only brings the window of the one that made it to the front (unless it
// may show nothing, with /VERYSILENT) and ends with exit code 5. Two
// updaters working on the same installations at once would each take the
// other's staged files and backups for leftovers of a run that was cut short.
#pragma once

#include "platform/win32/ScopedWin.h"

namespace ui {

class SingleInstance {
  public:
    // Makes the mutex, or opens it when another Update.exe has made it.
    // Throws std::system_error when the system can do neither.
    SingleInstance();

    // False when another Update.exe was running when this one started.
    bool IsFirst() const { return first_; }

  private:
    // The mutex lives as long as any Update.exe holds a handle to it, and the
    // system closes the handle of a program that ends in any way, so a crash
    // never leaves the PC locked.
    platform::ScopedHandle mutex_;
    bool first_ = false;
};

// Brings the window of the Update.exe that runs first to the front, restored
// when it was minimised. Nothing when there is no such window on this desktop:
// it runs in another session, is still starting, or is closing.
void BringFirstInstanceForward();

}  // namespace ui
