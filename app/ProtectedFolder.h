// Folders under %ProgramData% that this program, run elevated or as SYSTEM,
// writes into: the local log's and the event log's message file's. Standard
// users may create files and folders under ProgramData, so a user could
// plant a link there (a junction, a symbolic link, a hard link) and make this
// program append to, rotate or replace any file of the PC. Every folder on
// the way is made with an access list of its own (Administrators and SYSTEM
// full, Users read), and one found there already is used only when it is no
// link and belongs to Administrators, SYSTEM or this process's own user.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/ScopedWin.h"

namespace app {

// %ProgramData%\Kelmina\Soramido, where the program keeps what outlives it.
std::wstring ProgramDataFolder();

// Makes or checks each folder of `parts` under %ProgramData%, in turn, and
// returns the last one's full path. Throws std::runtime_error, with a reason
// for the log, when a folder cannot be made or is not to be trusted.
std::wstring ProtectedFolder(const std::vector<std::wstring>& parts);

// Opens (creating) `path`, a file in a folder ProtectedFolder returned, for
// `access`, without following a link, and refuses a link, a file with more
// than one name, or one owned by somebody else. Throws like ProtectedFolder.
platform::ScopedHandle OpenProtectedFile(const std::wstring& path, unsigned long access,
                                         unsigned long disposition);

}  // namespace app
