#include "engine/update/FileBytes.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace engine {
namespace {

using platform::Failure;

// Reads `file` to its end, handing each piece to `onPiece`, which may stop
// the reading with a failure of its own; `readFailed` tells whose failure
// it was.
platform::Result<Bytes> ReadPieces(
    platform::SourceFile& file, const std::function<Failure(std::span<const std::byte>)>& onPiece,
    bool& readFailed) {
    platform::Sha256 hash;
    Bytes bytes;
    std::array<std::byte, 1 << 16> buffer;
    for (;;) {
        auto got = file.Read(buffer);
        if (!got) {
            readFailed = true;
            return got.Error();
        }
        if (*got == 0)
            break;
        const auto piece = std::span<const std::byte>(buffer).first(*got);
        hash.Update(piece);
        bytes.size += *got;
        if (Failure failure = onPiece(piece)) {
            readFailed = false;
            return *failure;
        }
    }
    bytes.digest = hash.Finish();
    return bytes;
}

}  // namespace

platform::Result<Bytes> ReadBytes(platform::SourceFile& file) {
    bool readFailed = false;
    return ReadPieces(
        file, [](std::span<const std::byte>) { return Failure(); }, readFailed);
}

platform::Result<Bytes> CopyBytes(platform::SourceFile& from, platform::StagedFile& to,
                                  bool& readFailed) {
    return ReadPieces(
        from, [&](std::span<const std::byte> piece) { return to.Write(piece); }, readFailed);
}

platform::Result<std::optional<std::string>> ReadSmallFile(platform::SourceFile& file,
                                                           std::size_t limit) {
    std::string text;
    bool readFailed = false;
    // Reading stops once the file is known to be too large; the failure
    // that stops it is only a signal.
    auto read = ReadPieces(
        file,
        [&](std::span<const std::byte> piece) -> Failure {
            text.append(reinterpret_cast<const char*>(piece.data()), piece.size());
            if (text.size() > limit)
                return platform::FileError{platform::FileError::Kind::Changed, {}};
            return std::nullopt;
        },
        readFailed);
    if (!read && readFailed)
        return read.Error();
    if (!read)
        return std::optional<std::string>();
    return std::optional<std::string>(std::move(text));
}

platform::Result<bool> IsCopyCutShort(platform::SourceFile& part, platform::SourceFile& whole) {
    std::vector<std::byte> buffer(std::size_t{1} << 16);
    bool readFailed = false;
    Failure wholeFailed;
    const auto differs = [] {
        return Failure(platform::FileError{platform::FileError::Kind::Changed, {}});
    };
    auto read = ReadPieces(
        part,
        [&](std::span<const std::byte> piece) -> Failure {
            for (std::size_t at = 0; at < piece.size();) {
                auto got =
                    whole.Read(std::span(buffer).first(std::min(buffer.size(), piece.size() - at)));
                if (!got)
                    return wholeFailed = got.Error();
                if (*got == 0)
                    return differs();  // longer than the whole
                for (std::size_t i = 0; i < *got; ++i) {
                    if (piece[at + i] != buffer[i] && piece[at + i] != std::byte{0})
                        return differs();
                }
                at += *got;
            }
            return std::nullopt;
        },
        readFailed);
    if (!read && (readFailed || wholeFailed))
        return readFailed ? read.Error() : *wholeFailed;
    return bool(read);
}

Failure WriteNewFile(platform::FolderHandle& folder, std::string_view name, std::string_view bytes,
                     bool& created) {
    auto file = folder.CreateFile(name);
    if (!file)
        return file.Error();
    created = true;
    if (!bytes.empty()) {
        if (Failure failure = (*file)->Write(std::as_bytes(std::span(bytes.data(), bytes.size()))))
            return failure;
    }
    return (*file)->Finish({}, {});
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
        [&]() -> Failure {
            read = BytesAt(folder, name);
            return read ? Failure() : read.Error();
        },
        RetryOn::InUseOnly);
    return read;
}

}  // namespace engine
