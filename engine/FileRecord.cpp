#include "engine/FileRecord.h"

#include <algorithm>
#include <cstring>

namespace engine::ntfs {
namespace {

// Little-endian fields at offsets the caller has checked.
std::uint64_t Field(std::span<const std::byte> bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = (value << 8) | std::to_integer<std::uint64_t>(bytes[at + i]);
    return value;
}
std::uint16_t U16(std::span<const std::byte> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(Field(bytes, at, 2));
}
std::uint32_t U32(std::span<const std::byte> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(Field(bytes, at, 4));
}
std::uint64_t U64(std::span<const std::byte> bytes, std::size_t at) {
    return Field(bytes, at, 8);
}

constexpr std::uint32_t kStandardInformation = 0x10;
constexpr std::uint32_t kFileName = 0x30;
constexpr std::uint32_t kReparsePoint = 0xC0;
constexpr std::uint32_t kEnd = 0xFFFFFFFF;
constexpr std::uint32_t kReparseAttribute = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
constexpr std::size_t kHeaderBytes = 0x30;
constexpr std::uint16_t kInUse = 0x1;
constexpr std::uint16_t kDirectory = 0x2;

struct Attribute {
    std::uint32_t type = 0;
    bool nonResident = false;
    bool named = false;
    std::span<const std::byte> bytes;  // the whole attribute
    std::span<const std::byte> value;  // a resident attribute's value
};

// The attributes of a record, in order; `onAttribute` returns false to stop.
// False when an attribute does not fit the record's used bytes.
template <typename OnAttribute>
bool ForEachAttribute(std::span<const std::byte> record, OnAttribute onAttribute) {
    if (record.size() < kHeaderBytes)
        return false;
    const std::size_t used = U32(record, 0x18);
    if (used > record.size() || used < kHeaderBytes)
        return false;
    const std::span<const std::byte> inUse = record.first(used);
    std::size_t at = U16(record, 0x14);
    for (;;) {
        if (at > used || used - at < 4)
            return false;
        const std::uint32_t type = U32(inUse, at);
        if (type == kEnd)
            return true;
        if (used - at < 16)
            return false;
        const std::size_t length = U32(inUse, at + 4);
        if (length < 16 || length % 8 != 0 || length > used - at)
            return false;
        Attribute attribute;
        attribute.type = type;
        attribute.bytes = inUse.subspan(at, length);
        attribute.nonResident = std::to_integer<int>(attribute.bytes[8]) != 0;
        attribute.named = std::to_integer<int>(attribute.bytes[9]) != 0;
        if (!attribute.nonResident) {
            if (length < 24)
                return false;
            const std::size_t valueLength = U32(attribute.bytes, 16);
            const std::size_t valueOffset = U16(attribute.bytes, 20);
            if (valueOffset > length || valueLength > length - valueOffset)
                return false;
            attribute.value = attribute.bytes.subspan(valueOffset, valueLength);
        } else if (length < 0x40) {
            return false;
        }
        if (!onAttribute(attribute))
            return true;
        at += length;
    }
}

bool IsMarker(std::span<const std::byte> name, std::string_view marker) {
    if (name.size() != marker.size() * 2)
        return false;
    for (std::size_t i = 0; i < marker.size(); ++i) {
        std::uint16_t unit = U16(name, 2 * i);
        if (unit >= 'a' && unit <= 'z')
            unit = static_cast<std::uint16_t>(unit - 'a' + 'A');
        if (unit != static_cast<unsigned char>(marker[i]))
            return false;
    }
    return true;
}

constexpr std::uint32_t kFnvBasis = 2166136261U;
constexpr std::uint32_t kFnvPrime = 16777619U;

std::uint32_t HashUnit(std::uint32_t hash, std::uint32_t unit) {
    if (unit >= 'a' && unit <= 'z')
        unit = unit - 'a' + 'A';
    hash = (hash ^ (unit & 0xFF)) * kFnvPrime;
    return (hash ^ (unit >> 8)) * kFnvPrime;
}

}  // namespace

bool ApplyFixups(std::span<std::byte> record) {
    if (record.size() < kHeaderBytes || record.size() % kFixupStride != 0)
        return false;
    const std::size_t offset = U16(record, 4);
    const std::size_t count = U16(record, 6);
    if (count != record.size() / kFixupStride + 1 || offset % 2 != 0 || offset < 0x28 ||
        offset + 2 * count > kFixupStride - 2) {
        return false;
    }
    const std::byte* sequence = record.data() + offset;
    for (std::size_t i = 1; i < count; ++i) {
        std::byte* end = record.data() + i * kFixupStride - 2;
        if (std::memcmp(end, sequence, 2) != 0)
            return false;
        std::memcpy(end, sequence + 2 * i, 2);
    }
    return true;
}

void ParseRecord(std::span<const std::byte> record, std::string_view markerName,
                 RecordFacts& facts) {
    facts.state = RecordState::Free;
    facts.base = 0;
    facts.folder = false;
    facts.reparse = false;
    facts.names.clear();
    if (record.size() < kHeaderBytes)
        return void(facts.state = RecordState::Damaged);
    if (std::memcmp(record.data(), "FILE", 4) != 0) {
        // A record never written is zeros; anything else is no record.
        const bool blank = std::all_of(record.begin(), record.begin() + 4,
                                       [](std::byte b) { return b == std::byte{0}; });
        facts.state = blank ? RecordState::Free : RecordState::Damaged;
        return;
    }
    const std::uint16_t flags = U16(record, 0x16);
    if ((flags & kInUse) == 0)
        return;
    facts.state = RecordState::InUse;
    facts.folder = (flags & kDirectory) != 0;
    facts.base = U64(record, 0x20) & kRecordMask;
    const bool sound = ForEachAttribute(record, [&](const Attribute& attribute) {
        if (attribute.type == kReparsePoint) {
            facts.reparse = true;
        } else if (attribute.type == kStandardInformation && !attribute.nonResident) {
            if (attribute.value.size() >= 0x24 &&
                (U32(attribute.value, 0x20) & kReparseAttribute) != 0) {
                facts.reparse = true;
            }
        } else if (attribute.type == kFileName) {
            if (attribute.nonResident || attribute.value.size() < 0x42)
                return false;
            const std::span<const std::byte> value = attribute.value;
            const std::size_t length = std::to_integer<std::size_t>(value[0x40]);
            if (0x42 + 2 * length > value.size())
                return false;
            const std::span<const std::byte> name = value.subspan(0x42, 2 * length);
            RecordName entry;
            entry.parent = U64(value, 0) & kRecordMask;
            entry.nameSpace = std::to_integer<std::uint8_t>(value[0x41]);
            entry.hash = NameHash(name);
            entry.isMarker = IsMarker(name, markerName);
            entry.reparse = (U32(value, 0x38) & kReparseAttribute) != 0;
            facts.names.push_back(entry);
        }
        return true;
    });
    if (!sound)
        facts.state = RecordState::Damaged;
}

bool DecodeRuns(std::span<const std::byte> runs, std::uint64_t firstVcn, std::uint64_t clusterCount,
                std::vector<Extent>& extents) {
    std::size_t at = 0;
    std::uint64_t vcn = firstVcn;
    std::int64_t lcn = 0;
    while (at < runs.size()) {
        const unsigned header = std::to_integer<unsigned>(runs[at]);
        if (header == 0)
            return true;
        const std::size_t lengthBytes = header & 0xF;
        const std::size_t offsetBytes = header >> 4;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8 ||
            runs.size() - at - 1 < lengthBytes + offsetBytes) {
            return false;
        }
        const std::uint64_t clusters = Field(runs, at + 1, lengthBytes);
        if (offsetBytes == 0)
            return false;  // sparse: the table has no holes
        std::uint64_t delta = Field(runs, at + 1 + lengthBytes, offsetBytes);
        if (offsetBytes < 8 && (delta >> (8 * offsetBytes - 1)) != 0)
            delta |= ~std::uint64_t{0} << (8 * offsetBytes);  // sign-extended
        const std::int64_t step = static_cast<std::int64_t>(delta);
        if ((step > 0 && lcn > INT64_MAX - step) || (step < 0 && lcn < -step))
            return false;
        lcn += step;
        const auto start = static_cast<std::uint64_t>(lcn);
        if (clusters == 0 || clusters > clusterCount || start > clusterCount - clusters ||
            vcn > UINT64_MAX - clusters) {
            return false;
        }
        extents.push_back({vcn, start, clusters});
        vcn += clusters;
        at += 1 + lengthBytes + offsetBytes;
    }
    return false;  // no end mark within the attribute
}

bool FindNonResident(std::span<const std::byte> record, std::uint32_t type,
                     std::uint64_t clusterCount, NonResidentValue& value) {
    bool found = false;
    bool sound = true;
    const bool parsed = ForEachAttribute(record, [&](const Attribute& attribute) {
        if (attribute.type != type || attribute.named)
            return true;
        if (!attribute.nonResident)
            return false;
        const std::span<const std::byte> bytes = attribute.bytes;
        value.firstVcn = U64(bytes, 0x10);
        value.lastVcn = U64(bytes, 0x18);
        const std::size_t runsAt = U16(bytes, 0x20);
        if (value.firstVcn == 0)
            value.size = U64(bytes, 0x30);
        if (runsAt < 0x40 || runsAt >= bytes.size() || value.lastVcn < value.firstVcn) {
            sound = false;
            return false;
        }
        value.extents.clear();
        sound = DecodeRuns(bytes.subspan(runsAt), value.firstVcn, clusterCount, value.extents) &&
                !value.extents.empty() &&
                value.extents.back().vcn + value.extents.back().clusters == value.lastVcn + 1;
        found = true;
        return false;
    });
    return parsed && found && sound;
}

std::span<const std::byte> FindResident(std::span<const std::byte> record, std::uint32_t type) {
    std::span<const std::byte> found;
    const bool parsed = ForEachAttribute(record, [&](const Attribute& attribute) {
        if (attribute.type != type || attribute.named)
            return true;
        if (!attribute.nonResident)
            found = attribute.value;
        return false;
    });
    return parsed ? found : std::span<const std::byte>{};
}

bool ParseAttributeList(std::span<const std::byte> value, std::vector<ListedAttribute>& entries) {
    std::size_t at = 0;
    while (at < value.size()) {
        if (value.size() - at < 0x1A)
            return false;
        const std::size_t length = U16(value, at + 4);
        if (length < 0x1A || length > value.size() - at)
            return false;
        entries.push_back(
            {U32(value, at), U64(value, at + 8), U64(value, at + 0x10) & kRecordMask});
        at += length;
    }
    return true;
}

std::uint32_t NameHash(std::span<const std::byte> utf16le) {
    std::uint32_t hash = kFnvBasis;
    for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2)
        hash = HashUnit(hash, U16(utf16le, i));
    return hash;
}

std::optional<std::uint32_t> NameHashUtf8(std::string_view name) {
    std::uint32_t hash = kFnvBasis;
    std::size_t i = 0;
    while (i < name.size()) {
        const auto lead = static_cast<unsigned char>(name[i]);
        std::uint32_t code = 0;
        std::size_t more = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F;
            more = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F;
            more = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07;
            more = 3;
        } else {
            return std::nullopt;
        }
        if (name.size() - i - 1 < more)
            return std::nullopt;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(name[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        i += 1 + more;
        if (code >= 0x10000) {
            if (code > 0x10FFFF)
                return std::nullopt;
            code -= 0x10000;
            hash = HashUnit(hash, 0xD800 + (code >> 10));
            hash = HashUnit(hash, 0xDC00 + (code & 0x3FF));
        } else {
            hash = HashUnit(hash, code);
        }
    }
    return hash;
}

}  // namespace engine::ntfs
