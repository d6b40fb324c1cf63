// The files this program, run elevated or as SYSTEM, writes outside an
// installation: the local log and the event log's message file in folders
// of its own under %ProgramData%, and the file /LOG names. Standard users may
// create files and folders in %ProgramData% and in a drive's root, so a user
// could plant a link there (a junction, a symbolic link, a hard link) and
// make this program append to, rotate or replace any file of the PC. So
// every folder on the way is opened relative to the one above it, never
// through a link, and held open so that nobody can rename it meanwhile; the
// file itself is opened relative to its folder.
//
// Our own folders are made ours again whatever a user prepared: one that a
// stranger owns, or whose list lets others write, is taken back (owner
// Administrators and the protected list below); a link in its place is
// removed, the link itself and never what it leads to. A file of ours is a
// plain file with one name, owned by Administrators, SYSTEM or the account
// that runs the program, whose list lets nobody else change it; anything
// else standing at its name is renamed aside and removed, never written to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/RelativeFile.h"
#include "platform/win32/ScopedWin.h"

namespace app {

// What a run found in its folders that was not ours and put right, one line
// each for the local log.
using Corrections = std::vector<std::string>;

// A folder held open without sharing its deletion, so that nobody renames it
// or puts a link in its place while it is held.
struct OpenedFolder {
    platform::HeldFolder held;
    std::string path;  // its full path, for messages
    // Whether it is one of our folders, where only administrators make
    // names, rather than %ProgramData% or a folder on /LOG's way.
    bool ours = false;
};

// %ProgramData%, below which the program keeps what outlives it.
std::wstring ProgramDataFolder();

// Opens each folder of `parts` under %ProgramData% in turn, making it when
// missing and making it ours when not, and returns the last one. Throws
// std::runtime_error, with a reason for the log, when that cannot be done.
OpenedFolder ProtectedFolder(const std::vector<std::string>& parts, Corrections& corrections);

// Removes what stands at `name` in `folder` unless it is a file of ours, as
// platform::WhyNotOurFile judges it with its list, or nothing. Whatever it holds, the name is free
// at once: the entry is renamed aside and deleted, a folder in batches over this run and the next
// ones. Throws like ProtectedFolder.
void ClearForOurFile(const OpenedFolder& folder, std::string_view name, Corrections& corrections);

// Deletes, as far as this run's share of time goes, what earlier runs set
// aside in `folder`; what is still left is said in `corrections`. Only in a
// folder of ours: elsewhere anybody may make names like those.
void ContinueRemoving(const OpenedFolder& folder, Corrections& corrections);

// Opens the file `name` of `folder` for `access`, creating it when missing,
// after ClearForOurFile. Throws like ProtectedFolder.
platform::ScopedHandle OpenOurFile(const OpenedFolder& folder, std::string_view name,
                                   ACCESS_MASK access, Corrections& corrections);

// Renames the file of ours `from` in `folder` to `to`, replacing the file
// of ours there (ClearForOurFile has been called for both). Throws like
// ProtectedFolder.
void RenameOurFile(const OpenedFolder& folder, std::string_view from, std::string_view to);

// Opens `path`, a full path on a drive ("C:\logs\run.log"), for appending,
// creating it and the folders above it when missing, folders with the
// protected list. A link anywhere on the way, a file that is a link or has
// more than one name, or an existing file that belongs to another user is
// refused: std::runtime_error says why. A folder on the way that is an
// installation of the product is refused with LogRefused, before anything
// is made in it.
platform::ScopedHandle OpenForAppendingWithoutLinks(const std::string& path);

}  // namespace app
