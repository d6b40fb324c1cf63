// Files and folders opened by name relative to a folder that is held open,
// through the native API: NtCreateFile with a root directory handle is the
// one way Windows offers to open a name inside a folder by that folder's
// handle rather than by its path.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FolderHandle.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinApi.h"

namespace platform {

// A folder held open; everything inside it is reached through `handle`.
struct HeldFolder {
    ScopedHandle handle;
    // The folder's path as the system names its handle, without the drive
    // ("\Users\me\Inst", "\" for a drive root); empty when the system cannot
    // name it. Under Wine every link on the way is resolved in it.
    std::wstring systemName;
};

// How to open a name: NtCreateFile's access, share mode, disposition
// (FILE_OPEN, FILE_CREATE) and options. Every open is synchronous and may
// read the attributes.
struct OpenRequest {
    ACCESS_MASK access = 0;
    ULONG share = 0;
    ULONG disposition = 0;
    ULONG options = 0;
    // Whether a link or other reparse point is opened as itself, to be
    // deleted, rather than refused.
    bool linkItself = false;
    // The security descriptor a new file or folder is made with; null for
    // the one it inherits.
    PSECURITY_DESCRIPTOR security = nullptr;
};

// An entry of a held folder, open, and its attributes as read through the
// handle.
struct OpenedEntry {
    ScopedHandle handle;
    DWORD attributes = 0;
};

// True when `name` is a single component: not empty, not "." or "..", and
// without '\', '/' or ':' (a stream of a file).
bool IsSingleName(std::string_view name);

// Opens the entry `name` of `folder`. A link, junction or other reparse point
// is opened as itself and, unless asked for, refused with Kind::Link. So is,
// always, a name that the system resolves to another place than `folder` +
// `name`: Wine opens a Unix link as what it points to, whatever the request,
// shows no reparse point, and names the handle by the target's path; what
// such a handle renames or deletes is the target. Wine's answer to a link
// that points nowhere (STATUS_NO_SUCH_FILE, where a missing name gives
// STATUS_OBJECT_NAME_NOT_FOUND) is a Link as well.
Result<OpenedEntry> OpenEntry(const HeldFolder& folder, std::string_view name,
                              const OpenRequest& request);

// Creates the new file `name` in `folder` (FILE_CREATE).
Result<ScopedHandle> CreateEntry(const HeldFolder& folder, std::string_view name,
                                 const OpenRequest& request);

// Creates the new folder `name` in `folder` (FILE_CREATE).
Result<ScopedHandle> CreateFolderEntry(const HeldFolder& folder, std::string_view name,
                                       const OpenRequest& request);

// Lists the folder open as `folder` through its handle, "." and ".." left
// out; false when it cannot be listed.
bool ListFolder(HANDLE folder, const FolderHandle::EntrySink& onEntry);

// Up to `most` names of the folder open as `folder` (synchronous), from its
// first, "." and ".." left out, into `names`; nothing else of the entries
// is read, which Wine would read from the disk for each.
Failure ListNames(HANDLE folder, std::size_t most, std::vector<std::string>& names);

// `folder` opened again, to be listed: Wine lists a folder through one
// handle as it stood when that handle first listed it, even from the start.
Result<ScopedHandle> ReopenForListing(const HeldFolder& folder);

// The system's name of an open file or folder, as HeldFolder::systemName.
std::wstring SystemNameOf(HANDLE handle);

// Deletes the file, empty folder or link open as `entry` (with DELETE and
// FILE_WRITE_ATTRIBUTES access), whose attributes are `attributes`. A
// read-only file is deleted with its attribute unchanged where Windows can
// (10 1809 and later); elsewhere the attribute is cleared first, but never on
// a file with more than one name, whose attribute its other names share:
// such a file is left, and the failure says why.
Failure DeleteOpened(HANDLE entry, DWORD attributes);

// Renames the open file `file` to the name `to` of `folder`, never over an
// existing name.
Failure RenameInFolder(HANDLE file, const HeldFolder& folder, std::string_view to);

}  // namespace platform
