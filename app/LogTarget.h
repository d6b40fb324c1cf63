// Whether the file /LOG names is one that a log must never be appended to:
// Update.exe itself, or a file of the Data folder beside it, which holds the
// update's package. Compared by what the file system says a file is (its
// volume and file id), not by the path's text, so a short 8.3 name, another
// case, a link, or another drive letter for the same folder is caught too.
#pragma once

#include <string>

namespace app {

// `path` as given on the command line, relative to the current folder or
// full; a file that does not exist yet is judged by the folder it would be
// made in.
bool IsProgramOrPackageFile(const std::string& path);

// Whether the folder `path` would be made in is an installation of the
// product (its executable and its sound folder, engine/ReplacementTable.h): a log
// appended to one of its files would damage it, and hold it against the
// update.
bool IsInInstallation(const std::string& path);

}  // namespace app
