// Reading a file whole to learn its size and SHA-256.
#pragma once

#include "engine/Retry.h"
#include "engine/UpdateJournal.h"
#include "platform/FolderHandle.h"

namespace engine {

// Reads `file` to its end; its size and digest, or why it could not be read.
platform::Result<Bytes> ReadBytes(platform::SourceFile& file);

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
