// Whether anybody can see what this process shows, asked of the system.
#pragma once

#include "app/CommandLine.h"

namespace app {

// The session and window station this process runs in. Where the system
// cannot say, a desktop somebody sees is assumed, as the program always has.
Desktop ThisProcessDesktop() noexcept;

}  // namespace app
