// Whether anybody can see what this process shows, asked of the system.
#pragma once

#include "ui/CommandLine.h"

namespace ui {

// The session and window station this process runs in. Where the system
// cannot say, a desktop somebody sees is assumed, as the program always has.
Desktop ThisProcessDesktop() noexcept;

}  // namespace ui
