// Whether someone other than an administrator can change a folder that a
// rename at the next restart passes through. The session manager carries
// such renames out by path, as SYSTEM, before anyone logs on: whoever can
// delete or rename a folder on the way, change its list or owner, or put a
// file where a destination is missing, could make it rename into any place.
#pragma once

#include <optional>
#include <string>

#include "platform/win32/WinApi.h"

namespace platform {

// A security identifier as text ("S-1-5-32-544"); "?" where it cannot be.
std::string SidText(PSID sid);

// The account that runs the program, as its token says; null where it
// cannot be read.
class RunningUser {
  public:
    RunningUser();
    RunningUser(const RunningUser&) = delete;
    RunningUser& operator=(const RunningUser&) = delete;
    PSID Sid() const { return sid_; }

  private:
    alignas(TOKEN_USER) BYTE buffer_[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)] = {};
    PSID sid_ = nullptr;
};

// Why an access list lets someone change what it guards, as its first grant
// of any of `rights` to an account `trusted` does not accept finds it:
// nothing where none does. Denials are passed over (they only take away);
// inherit-only grants count only with `countInheritOnly`.
std::optional<std::string> UntrustedGrant(PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK rights,
                                          bool countInheritOnly,
                                          bool (*trusted)(PSID sid, PSID runningUser),
                                          PSID runningUser, const std::string& verb);

// Why a folder whose security descriptor is `descriptor` can be changed by
// someone other than Administrators, SYSTEM, TrustedInstaller or
// `runningUser` (who runs this program as an administrator); nullopt when it
// cannot. Making a subfolder does not count: a new entry cannot take the
// place of one on the way, and every user may make one in a volume's root.
std::optional<std::string> WhyUsersCanChange(PSECURITY_DESCRIPTOR descriptor, PSID runningUser);

}  // namespace platform
