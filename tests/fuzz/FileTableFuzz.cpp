// libFuzzer over what the search reads from a disk's file table: the records
// one by one (fix-ups, attributes, names, run lists), the index made of them
// and the look-ups the walk does in it, and, for a longer input, a whole
// volume from its boot sector on.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "engine/filetable/FileRecord.h"
#include "engine/filetable/FileTable.h"
#include "engine/filetable/InstallationPlaces.h"

namespace {

constexpr std::size_t kRecord = 1024;
constexpr std::string_view kMarker = "SKM300.EXE";

class BytesVolume final : public platform::RawVolume {
  public:
    explicit BytesVolume(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint32_t SectorSize() const override { return 4096; }
    platform::Failure Read(std::uint64_t offset, std::span<std::byte> buffer) override {
        if (offset > bytes_.size() || buffer.size() > bytes_.size() - offset)
            return platform::FileError{platform::FileError::Kind::Other, "past the end"};
        std::memcpy(buffer.data(), bytes_.data() + offset, buffer.size());
        return std::nullopt;
    }

    platform::Failure Flush() override { return std::nullopt; }
    platform::Result<std::optional<platform::JournalPosition>> JournalNow() override {
        return std::optional<platform::JournalPosition>{};
    }
    platform::Result<std::size_t> ReadJournal(const platform::JournalPosition&, std::uint32_t,
                                              std::span<std::byte>) override {
        return platform::FileError{platform::FileError::Kind::Other, "no journal"};
    }

  private:
    std::span<const std::uint8_t> bytes_;
};

void Records(std::span<const std::uint8_t> input) {
    const std::size_t count = (input.size() + kRecord - 1) / kRecord + 6;
    engine::InstallationPlaces::Builder builder(count);
    engine::ntfs::RecordFacts facts;
    std::vector<std::byte> record(kRecord);
    for (std::size_t n = 0; n * kRecord < input.size(); ++n) {
        const std::size_t length = std::min(kRecord, input.size() - n * kRecord);
        std::fill(record.begin(), record.end(), std::byte{0});
        std::memcpy(record.data(), input.data() + n * kRecord, length);
        engine::ntfs::NonResidentValue value;
        engine::ntfs::FindNonResident(record, engine::ntfs::kData, 1 << 20, value);
        std::vector<engine::ntfs::ListedAttribute> listed;
        engine::ntfs::ParseAttributeList(
            engine::ntfs::FindResident(record, engine::ntfs::kAttributeList), listed);
        // Parsed as read: the fix-ups may fail and leave the bytes as they are.
        engine::ntfs::ApplyFixups(record);
        engine::ntfs::ParseRecord(record, kMarker, facts);
        if (builder.Add(n + 6, facts) != engine::InstallationPlaces::Builder::Added::Yes)
            return;
    }
    std::string why;
    const std::optional<engine::InstallationPlaces> places = builder.Finish(why);
    if (!places)
        return;
    using Scope = engine::InstallationPlaces::Scope;
    for (Scope scope = 0; scope < count; ++scope) {
        for (const char* name : {"abc", "ABC", "データ", "\xFF", ""})
            (void)places->Child(scope, name, false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    Records(input);
    if (size >= 4096) {
        BytesVolume volume(input);
        (void)engine::ReadFileTable(volume, kMarker, [](std::uint64_t) { return true; });
    }
    return 0;
}
