#include "engine/FileBytes.h"

#include <array>
#include <cstddef>
#include <span>

namespace engine {

platform::Result<Bytes> ReadBytes(platform::SourceFile& file) {
    platform::Sha256 hash;
    Bytes bytes;
    std::array<std::byte, 1 << 16> buffer;
    for (;;) {
        auto got = file.Read(buffer);
        if (!got)
            return got.Error();
        if (*got == 0)
            break;
        hash.Update(std::span(buffer).first(*got));
        bytes.size += *got;
    }
    bytes.digest = hash.Finish();
    return bytes;
}

platform::Result<std::optional<Bytes>> BytesAt(platform::FolderHandle& folder,
                                               std::string_view name) {
    auto file = folder.OpenFile(name);
    if (!file) {
        if (file.Error().kind == platform::FileError::Kind::NotFound)
            return std::optional<Bytes>();
        return file.Error();
    }
    auto bytes = ReadBytes(**file);
    if (!bytes)
        return bytes.Error();
    return std::optional<Bytes>(*bytes);
}

platform::Result<std::optional<Bytes>> BytesAt(platform::FolderHandle& folder,
                                               std::string_view name, const Patience& patience) {
    platform::Result<std::optional<Bytes>> read = std::optional<Bytes>();
    (void)TryForAWhile(
        patience,
        [&]() -> platform::Failure {
            read = BytesAt(folder, name);
            return read ? platform::Failure() : read.Error();
        },
        RetryOn::InUseOnly);
    return read;
}

}  // namespace engine
