// The bytes of files: read whole to learn their size and SHA-256, copied
// while hashed, read as a small text, or written anew. Every read of a file
// the engine makes goes through one loop here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/update/Retry.h"
#include "engine/update/UpdateJournal.h"
#include "platform/FolderHandle.h"

namespace engine {

// Reads `file` to its end; its size and digest, or why it could not be read.
platform::Result<Bytes> ReadBytes(platform::SourceFile& file);

// Copies `from` to its end into `to`, hashing what passes; the size and
// digest of what was copied. `readFailed` tells whether a failure was the
// source's (else it was the copy's).
platform::Result<Bytes> CopyBytes(platform::SourceFile& from, platform::StagedFile& to,
                                  bool& readFailed);

// Reads the whole of a small file, at most `limit` bytes; nullopt when it is
// larger.
platform::Result<std::optional<std::string>> ReadSmallFile(platform::SourceFile& file,
                                                           std::size_t limit);

// Whether `part` holds what a copy of `whole` cut short can hold: no more
// bytes than `whole`, each one `whole`'s at the same place or a NUL byte
// (what a power loss leaves of a file being written).
platform::Result<bool> IsCopyCutShort(platform::SourceFile& part, platform::SourceFile& whole);

// Creates `name` in `folder` with `bytes`, flushed; `created` tells whether
// the file came to be, even if what followed failed.
platform::Failure WriteNewFile(platform::FolderHandle& folder, std::string_view name,
                               std::string_view bytes, bool& created);

// What the file `name` of `folder` holds: nothing where there is no file of
// that name, else its bytes; why, when it cannot be read (a link there is
// Kind::Link).
platform::Result<std::optional<Bytes>> BytesAt(platform::FolderHandle& folder,
                                               std::string_view name);
// The same, read again for a while where another program holds the file for
// a moment (a virus scanner that has just seen it).
platform::Result<std::optional<Bytes>> BytesAt(platform::FolderHandle& folder,
                                               std::string_view name, const Patience& patience);

}  // namespace engine
