// The engine's view of a failed Win32 or native call: what kind of failure it
// was, and the system's own wording of it in the user's language.
#pragma once

#include <string>

#include "platform/FolderHandle.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/WinApi.h"

namespace platform {

// The failure that a Win32 error code stands for: a missing file or path is
// NotFound, a sharing or lock violation InUse, a link the system would not
// resolve Link, anything else (access denied, a full disk) Other.
FileError FileErrorOf(DWORD code);

// The same for a status of the native API (an NTSTATUS, which <windows.h>
// does not declare), through the Win32 code that the system itself gives it.
FileError FileErrorOfStatus(LONG status);

// The same for the error the last failed Win32 call left.
FileError LastFileError();

// A link or other reparse point found where the program would not go.
FileError LinkError();

// A name that is not a single component of a folder.
FileError InvalidNameError();

}  // namespace platform
