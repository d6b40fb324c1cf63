// Whether the file /LOG names is one that a log must never be appended to:
// Update.exe itself, or a file of the Data folder beside it, which holds the
// update's package. Compared by what the file system says a file is (its
// volume and file id), not by the path's text, so a short 8.3 name, another
// case, a link, or another drive letter for the same folder is caught too.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/win32/RelativeFile.h"

namespace app {

// /LOG names a file no log may go to: the run does not start (exit code 6).
struct LogRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// `path` as given on the command line, relative to the current folder or
// full; a file that does not exist yet is judged by the folder it would be
// made in.
bool IsProgramOrPackageFile(const std::string& path);

// Whether `path`, a path on a share, lies anywhere inside an installation of
// the product (its executable and its sound folder, engine/ReplacementTable.h):
// a log appended to one of its files would damage it, and hold it against
// the update. Judged by the path, as a share is opened; a path on a drive
// of the PC is judged by IsInstallationFolder on each folder as it is opened.
bool IsInInstallation(const std::string& path);

// Whether the folder held open is an installation of the product.
bool IsInstallationFolder(const platform::HeldFolder& folder);

// Whether a component of `path` names a device rather than a file ("CON",
// "com1.txt", "LPT¹", "NUL  .log", "CONOUT$"), which Windows opens as the
// device in most forms and as a file literally so named in others.
bool NamesADevice(std::string_view path);

}  // namespace app
