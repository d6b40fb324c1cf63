// The tests' and benchmarks' name for the file services that pass every call on.
#pragma once

#include "platform/ForwardingFileSystem.h"

namespace test_support {

using ForwardingFileSystem = platform::ForwardingFileSystem;

}  // namespace test_support
