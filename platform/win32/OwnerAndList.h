// The owner and list of a file or folder that the program, run elevated or
// as SYSTEM, keeps as its own where standard users can make names: judged,
// and given back through the handle it is open as, never by path.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/RelativeFile.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinApi.h"

namespace platform {

// The list of a folder of the program's own: Administrators' owner,
// protected (nothing inherited from %ProgramData%, whose list lets Users
// create files and folders); Users may read. What is made inside inherits
// it. Throws std::runtime_error when the system cannot build it.
ScopedLocal ProtectedList();

// Whether `owner` is Administrators, SYSTEM or `runningUser`.
bool IsTrustedOwner(PSID owner, PSID runningUser);

// Why a file or folder whose security descriptor is `descriptor` is not
// ours, or empty when it is: its owner is Administrators, SYSTEM or
// `runningUser`, and its list lets nobody else write, delete, or change the
// list or the owner.
std::string WhyNotOurs(PSECURITY_DESCRIPTOR descriptor, PSID runningUser);

// The owner and list of what `handle` is open as (READ_CONTROL); null
// where the file system keeps none (FAT), which has no links to plant
// either. Throws std::runtime_error, "<path>: <why>", when they cannot be
// read.
ScopedLocal OwnerAndListOf(HANDLE handle, const std::string& path);

// How much of a file is judged. A file at one of the program's own names has
// its list judged as well; the file an administrator named (/LOG) keeps the
// list its folder gives it, which that administrator chose.
enum class FileJudged : unsigned char { OwnerOnly, OwnerAndList };

// Why the file open as `handle` (READ_CONTROL), whose attributes are
// `attributes`, is not a file the program may write as its own: a folder, a
// file with more than one name, one whose owner IsTrustedOwner does not
// accept or, judged OwnerAndList, one WhyNotOurs finds fault with. Empty
// when it is. Throws like OwnerAndListOf.
std::string WhyNotOurFile(HANDLE handle, DWORD attributes, const std::string& path,
                          PSID runningUser, FileJudged judged);

// Gives what `handle` is open as (WRITE_OWNER and WRITE_DAC) the protected
// list and its owner, as it stands: not through SetSecurityInfo, which would
// carry the list down through what a folder holds by path. False, with the
// last error set, when it cannot.
bool MakeOurs(HANDLE handle);

// Gives the entry `name` of `folder` the protected list and its owner,
// through a handle that does not follow a link, with RecoveryPrivileges:
// also when its owner keeps everybody else out of it.
Failure TakeBackEntry(const HeldFolder& folder, std::string_view name);

// Privileges an administrator holds but has not enabled, enabled for as long
// as this lives, on the calling thread only: to take a folder back from a
// user who keeps us out of it, and to remove what that user planted in our
// place. The thread impersonates a copy of the process's token with them
// enabled, and gets back the token it had at the end; the process's token,
// which the other threads (the search, the window) go on using meanwhile,
// is left as it is. Where the thread's token cannot be had, nothing is
// enabled, as for an account that holds none of them.
class RecoveryPrivileges {
  public:
    RecoveryPrivileges();
    ~RecoveryPrivileges();
    RecoveryPrivileges(const RecoveryPrivileges&) = delete;
    RecoveryPrivileges& operator=(const RecoveryPrivileges&) = delete;

  private:
    ScopedHandle previous_;  // the token the thread impersonated before, if any
    bool impersonating_ = false;
};

}  // namespace platform
