// A 32-bit program on 64-bit Windows runs under WOW64, which shows it
// SysWOW64 wherever it names System32, unless its thread turns that
// redirection off. The search is to see each folder once, as it is on disk,
// so the worker holds a Wow64View on its thread while it runs.
#pragma once

#include "platform/win32/WinApi.h"

#include <vector>

#include "platform/FileSystem.h"
#include "platform/win32/SystemModule.h"

namespace platform {

// Turns the redirection off for the thread that makes it and back on when it
// is destroyed, which must happen on the same thread: the setting belongs to
// the thread. Where there is no WOW64 (a 64-bit program, 32-bit Windows) it
// does nothing.
class Wow64View final : public FileSystem::ThreadView {
  public:
    Wow64View();
    ~Wow64View() override;
    Wow64View(const Wow64View&) = delete;
    Wow64View& operator=(const Wow64View&) = delete;

  private:
    // Released after the redirection is back on.
    std::vector<ScopedModule> loadedBeforehand_;
    void* previous_ = nullptr;
    bool redirectionOff_ = false;
};

}  // namespace platform
