// Finding a name in a folder the way Windows does, where "AUDIO" names the
// folder "Audio": a Linux file system tells the two apart, Windows does not.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The entry of the folder open as `folderFd` that `name` stands for: the entry
// of exactly that name when there is one (a link too, even a dangling one),
// else the entry whose name matches once ASCII letters are upper-cased (the
// smallest in byte order when there are several, so the choice is stable),
// else nullopt. Only ASCII letters are folded, as everywhere in the updater.
std::optional<std::string> FindEntryIgnoringCase(int folderFd, std::string_view name);

}  // namespace platform
