// <windows.h> for the program's own Win32 code; include this instead.
//
// The SDK defines GetDriveType and CreateFile as macros that name their
// ...A or ...W forms, and a macro renames the FileSystem and FolderHandle
// methods of the same names too, in every file that sees both: one file's
// calls would then name methods that no other file defines. The program calls
// the wide APIs by their full names (GetDriveTypeW, CreateFileW), so the
// macros go.
#pragma once

#include <windows.h>

#undef GetDriveType
#undef CreateFile
