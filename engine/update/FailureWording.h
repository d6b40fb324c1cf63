// How the log words a failure at a path, for every part of the update.
#pragma once

#include <string>
#include <string_view>

#include "platform/FolderHandle.h"

namespace engine::wording {

// "<path>：<why>"
std::string Reason(std::string_view path, std::string_view why);
// What went wrong with `path`, in the words the log gives a link, a file
// another program holds and any other failure.
std::string Describe(std::string_view path, const platform::FileError& error);

}  // namespace engine::wording
