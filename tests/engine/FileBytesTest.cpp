// The one read loop of the engine: a copy must hash exactly what it wrote,
// say whose failure stopped it, and a small file must be refused past its
// limit rather than read whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/update/FileBytes.h"
#include "platform/Sha256.h"

namespace {

using platform::Failure;
using platform::FileError;

// Hands out `text` in pieces of at most `piece` bytes; the read numbered
// `failAt` (from 0) fails.
class PiecesSource final : public platform::SourceFile {
  public:
    PiecesSource(std::string text, std::size_t piece, std::optional<std::size_t> failAt)
        : text_(std::move(text)), piece_(piece), failAt_(failAt) {}
    platform::Result<std::size_t> Read(std::span<std::byte> buffer) override {
        if (failAt_ && reads_++ == *failAt_)
            return FileError{FileError::Kind::Other, "read"};
        const std::size_t n = std::min({piece_, buffer.size(), text_.size() - at_});
        std::copy_n(reinterpret_cast<const std::byte*>(text_.data()) + at_, n, buffer.data());
        at_ += n;
        return n;
    }
    platform::FileTime LastWriteTime() override { return {}; }
    std::optional<platform::FileId> Id() override { return std::nullopt; }

  private:
    std::string text_;
    std::size_t piece_;
    std::optional<std::size_t> failAt_;
    std::size_t at_ = 0;
    std::size_t reads_ = 0;
};

// Keeps what is written; the write numbered `failAt` fails.
class KeptCopy final : public platform::StagedFile {
  public:
    explicit KeptCopy(std::optional<std::size_t> failAt) : failAt_(failAt) {}
    Failure Write(std::span<const std::byte> bytes) override {
        if (failAt_ && writes_++ == *failAt_)
            return FileError{FileError::Kind::Other, "write"};
        text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return std::nullopt;
    }
    Failure Finish(platform::FileTime, std::string_view) override { return std::nullopt; }
    std::string text;

  private:
    std::optional<std::size_t> failAt_;
    std::size_t writes_ = 0;
};

engine::Bytes BytesOf(const std::string& text) {
    platform::Sha256 hash;
    hash.Update(std::as_bytes(std::span(text.data(), text.size())));
    return {text.size(), hash.Finish()};
}

TEST(FileBytes, ACopyHashesWhatItWroteAndTellsWhoseFailureStoppedIt) {
    const std::string large(200'000, 'x');
    struct Case {
        std::string text;
        std::size_t piece;
        std::optional<std::size_t> readFails, writeFails;
    };
    const Case cases[] = {
        {"", 7, {}, {}},         {"abc", 1, {}, {}},      {large, 1 << 16, {}, {}},
        {large, 999, {}, {}},    {large, 1 << 16, 0, {}}, {large, 1 << 16, 2, {}},
        {large, 1 << 16, {}, 0}, {large, 999, {}, 5},     {"abc", 1, 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.text.size()) + " bytes in pieces of " +
                     std::to_string(c.piece));
        PiecesSource source(c.text, c.piece, c.readFails);
        KeptCopy copy(c.writeFails);
        bool readFailed = false;
        auto copied = engine::CopyBytes(source, copy, readFailed);
        if (c.readFails || c.writeFails) {
            ASSERT_FALSE(copied);
            EXPECT_EQ(readFailed, c.readFails.has_value());
            EXPECT_EQ(copied.Error().description, c.readFails ? "read" : "write");
            continue;
        }
        ASSERT_TRUE(copied);
        EXPECT_EQ(copy.text, c.text);
        EXPECT_EQ(*copied, BytesOf(c.text));
        PiecesSource again(c.text, c.piece, {});
        auto read = engine::ReadBytes(again);
        ASSERT_TRUE(read);
        EXPECT_EQ(*read, *copied);
    }
}

TEST(FileBytes, ASmallFileIsReadWholeUpToItsLimitAndRefusedPastIt) {
    constexpr std::size_t kLimit = 100;
    for (const std::size_t size : {std::size_t{0}, kLimit - 1, kLimit, kLimit + 1, 5 * kLimit}) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{64}, std::size_t{4096}}) {
            SCOPED_TRACE(std::to_string(size) + " bytes in pieces of " + std::to_string(piece));
            const std::string text(size, 'j');
            PiecesSource source(text, piece, {});
            auto read = engine::ReadSmallFile(source, kLimit);
            ASSERT_TRUE(read);
            if (size <= kLimit)
                EXPECT_EQ(*read, text);
            else
                EXPECT_EQ(*read, std::nullopt);
        }
    }
    PiecesSource failing("journal", 2, 1);
    auto read = engine::ReadSmallFile(failing, kLimit);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.Error().description, "read");
}

}  // namespace
