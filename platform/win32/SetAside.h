// What stood at one of the program's own names in a folder of its own is
// renamed aside at once, to a name of kSetAsidePrefix in the same folder, and
// so never keeps the name however much it holds; it is deleted in batches,
// by this run and the next ones, which find it by the prefix. Only
// administrators make names in those folders.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/RelativeFile.h"
#include "platform/win32/WinApi.h"

namespace platform {

inline constexpr std::string_view kSetAsidePrefix = "~removed.";

// The rights that renaming aside and deleting open an entry with.
inline constexpr ACCESS_MASK kRemoving =
    DELETE | FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_WRITE_ATTRIBUTES;

// A name for what is set aside in a folder, new each time: the rename never
// replaces.
std::string SetAsideName(unsigned attempt);

// What became of an entry set aside: deleted at once, or left under its
// set-aside name for RemoveSetAside (a folder, or what could not be deleted
// yet).
enum class SetAsideOutcome : unsigned char { Deleted, Left };

// Renames whatever stands at `name` in `folder` aside, in one operation
// however much it holds, as itself (a link, never what it leads to), with
// RecoveryPrivileges. Anything but a folder is deleted at once; a folder is
// given the protected list and its owner, so that nobody but us adds to it
// from now on, short of a handle opened before. The failure says why the
// name could not be freed.
Result<SetAsideOutcome> SetAsideEntry(const HeldFolder& folder, std::string_view name);

// What of a set-aside entry could not be deleted yet: its path below the
// entry ("" for the entry itself) and why.
struct Leftover {
    std::string where;
    std::string why;
};

// Deletes, as far as this run's share of time goes, what was set aside in
// `folder`, each entry as itself (a link, never what it leads to); returns
// each set-aside name that is still there, with what of it is left and why.
// The process spends at most 400 ms on it over all calls together. Holds
// RecoveryPrivileges meanwhile.
std::vector<std::pair<std::string, Leftover>> RemoveSetAside(const HeldFolder& folder);

}  // namespace platform
