// Windows paths put together from a folder and a name below it, and taken
// apart again, in one place: UTF-8 inside the program, UTF-16 at the system's
// calls. A '\' never appears inside a UTF-8 sequence of several bytes, so
// looking at the last byte is enough.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace platform {

// Appends '\' and `name` to `path`, the '\' left out where `path` ends with
// one already ("C:\", "\\server\share\"). "C:" gets its '\': a drive joined
// to a name means its root, never the drive's current folder, which a
// program started by a service or a script cannot count on. An empty `path`
// is no "current folder" either: it gives "\name", as every join did before
// there was this one.
template <class Char>
std::basic_string<Char>& AppendToPath(std::basic_string<Char>& path,
                                      std::type_identity_t<std::basic_string_view<Char>> name) {
    if (path.empty() || path.back() != Char('\\'))
        path += Char('\\');
    path += name;
    return path;
}

inline std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    return AppendToPath(path, name);
}

inline std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
    std::wstring path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    return AppendToPath(path, name);
}

// What `path` adds below `folder`, as JoinPath would have put them together:
// "C:\A\b\c" below "C:\A" is "b\c", and below "C:" or "C:\" it is "A\b\c".
// Nullopt where `path` is not below `folder`: "C:\AB" is not below "C:\A",
// nor "C:\A" below itself. The letters' case counts: the paths compared are
// put together from the same folder.
inline std::optional<std::string_view> PathBelow(std::string_view folder, std::string_view path) {
    if (!path.starts_with(folder))
        return std::nullopt;
    path.remove_prefix(folder.size());
    if (folder.empty() || folder.back() != '\\') {
        if (!path.starts_with('\\'))
            return std::nullopt;
        path.remove_prefix(1);
    }
    return path;
}

}  // namespace platform
