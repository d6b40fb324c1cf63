// One update at a time on the PC. Every Update.exe, in every session of the
// PC, first makes the same mutex; the one that finds it made already only
// brings the window of the one that made it to the front (unless it may show
// nothing, with /VERYSILENT) and ends with exit code 5. Two updaters working
// on the same installations at once would each take the other's staged files
// and backups for leftovers of a run that was cut short.
//
// A mutex with a plain global name could be made first by any user, who
// would then keep every update from running. So the mutex lives in a private
// namespace bounded by the Administrators group: only a process that runs as
// an administrator (elevated, as this program asks to be) can make or open
// that namespace. Where the system has no private namespaces (Wine), the
// plain global name is used.
#pragma once

#include "platform/win32/ScopedWin.h"

namespace app {

// Not destroyed: another updater may have opened it, and it goes with the
// last handle anyway.
inline void LeavePrivateNamespace(HANDLE space) {
    ClosePrivateNamespace(space, 0);
}
using PrivateNamespaceTraits = platform::NullEmptyTraits<HANDLE, &LeavePrivateNamespace>;

class SingleInstance {
  public:
    // Makes the mutex, or opens it when another Update.exe has made it.
    // Throws std::system_error when the system can do neither.
    SingleInstance();

    // False when another Update.exe was running when this one started.
    bool IsFirst() const { return first_; }
    // Whether the mutex is in the administrators' private namespace.
    bool IsPrivate() const { return static_cast<bool>(namespace_); }

  private:
    // Held for as long as the mutex: a namespace that nobody holds cannot be
    // opened again, though the objects in it live on.
    platform::ScopedWin<PrivateNamespaceTraits> namespace_;
    // The mutex lives as long as any Update.exe holds a handle to it, and the
    // system closes the handle of a program that ends in any way, so a crash
    // never leaves the PC locked.
    platform::ScopedHandle mutex_;
    bool first_ = false;
};

// Brings the window of the Update.exe that runs first to the front, restored
// when it was minimised. Nothing when there is no such window on this desktop:
// it runs in another session, is still starting, or is closing.
void BringFirstInstanceForward();

}  // namespace app
