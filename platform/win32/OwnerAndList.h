// The owner and list of a file or folder that the program, run elevated or
// as SYSTEM, keeps as its own where standard users can make names: judged,
// and given back through the handle it is open as, never by path.
#pragma once

#include <string>

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

// Gives what `handle` is open as (WRITE_OWNER and WRITE_DAC) the protected
// list and its owner, as it stands: not through SetSecurityInfo, which would
// carry the list down through what a folder holds by path. False, with the
// last error set, when it cannot.
bool MakeOurs(HANDLE handle);

// Privileges an administrator holds but has not enabled, enabled for as long
// as this lives: to take a folder back from a user who keeps us out of it,
// and to remove what that user planted in our place.
class RecoveryPrivileges {
  public:
    RecoveryPrivileges();
    ~RecoveryPrivileges();
    RecoveryPrivileges(const RecoveryPrivileges&) = delete;
    RecoveryPrivileges& operator=(const RecoveryPrivileges&) = delete;

  private:
    struct Wanted {
        DWORD count;
        LUID_AND_ATTRIBUTES privileges[3];
    };
    ScopedHandle token_;
    Wanted previous_{};
    bool restore_ = false;
};

}  // namespace platform
