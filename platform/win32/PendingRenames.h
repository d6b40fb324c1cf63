// The registry value the session manager reads at a restart:
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager
// \PendingFileRenameOperations, a REG_MULTI_SZ of pairs, each a source and
// a destination in the native form "\??\C:\...", the destination with "!"
// before it where it replaces an existing file and empty for a deletion.
// Other programs' pairs are theirs: they are edited only as whole strings,
// never read into anything else, so they are written back as they were.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The value's text: every string with the NUL that ends it, the empty
// string that ends the list included.
using PendingValue = std::wstring;

// The pair of strings that asks for `path` to replace `destination` (both
// full paths, "C:\...") at the next restart, as MoveFileExW writes them.
std::wstring PendingSource(std::wstring_view path);
std::wstring PendingReplacement(std::wstring_view destination);

// Whether `value` holds the pair `source`, `destination` as one of its pairs.
bool HoldsPair(std::wstring_view value, std::wstring_view source, std::wstring_view destination);

// `value` without each of its pairs that is `source`, `destination`, every
// other string as it was; nullopt when it holds none.
std::optional<PendingValue> WithoutPair(std::wstring_view value, std::wstring_view source,
                                        std::wstring_view destination);

// Whether `value` holds no pair at all.
bool HoldsNoPair(std::wstring_view value);

}  // namespace platform
