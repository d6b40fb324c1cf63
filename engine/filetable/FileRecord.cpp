#include "engine/filetable/FileRecord.h"

#include <algorithm>
#include <cstring>

#include "engine/filetable/NtfsLayout.h"

namespace engine::ntfs {
namespace {

constexpr std::uint32_t kStandardInformation = 0x10;
constexpr std::uint32_t kReparsePoint = 0xC0;
constexpr std::uint32_t kReparseAttribute = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

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
    if (record.size() < record::kHeaderBytes)
        return false;
    const std::size_t used = Read(record, record::kUsedBytes);
    if (used > record.size() || used < record::kHeaderBytes)
        return false;
    const std::span<const std::byte> inUse = record.first(used);
    std::size_t at = Read(record, record::kFirstAttribute);
    for (;;) {
        if (at > used || used - at < sizeof(std::uint32_t))
            return false;
        const std::uint32_t type = Read(inUse, at, attribute::kType);
        if (type == attribute::kEnd)
            return true;
        if (used - at < attribute::kCommonBytes)
            return false;
        const std::size_t length = Read(inUse, at, attribute::kLength);
        if (length < attribute::kCommonBytes || length % 8 != 0 || length > used - at)
            return false;
        Attribute found;
        found.type = type;
        found.bytes = inUse.subspan(at, length);
        found.nonResident = Read(found.bytes, attribute::kNonResident) != 0;
        found.named = Read(found.bytes, attribute::kNameLength) != 0;
        if (!found.nonResident) {
            if (length < attribute::kResidentBytes)
                return false;
            const std::size_t valueLength = Read(found.bytes, attribute::kValueLength);
            const std::size_t valueOffset = Read(found.bytes, attribute::kValueOffset);
            if (valueOffset > length || valueLength > length - valueOffset)
                return false;
            found.value = found.bytes.subspan(valueOffset, valueLength);
        } else if (length < attribute::kNonResidentBytes) {
            return false;
        }
        if (!onAttribute(found))
            return true;
        at += length;
    }
}

bool IsMarker(std::span<const std::byte> name, std::string_view marker) {
    if (name.size() != marker.size() * 2)
        return false;
    for (std::size_t i = 0; i < marker.size(); ++i) {
        auto unit = static_cast<std::uint16_t>(ReadLittle(name, 2 * i, 2));
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
    if (record.size() < record::kHeaderBytes || record.size() % kFixupStride != 0)
        return false;
    const std::size_t offset = Read<std::uint16_t>(record, record::kFixupOffset);
    const std::size_t count = Read<std::uint16_t>(record, record::kFixupCount);
    if (count != record.size() / kFixupStride + 1 || offset % 2 != 0 ||
        offset < record::kFixupOffsetLeast || offset + 2 * count > kFixupStride - 2) {
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
    facts.sequence = 0;
    facts.names.clear();
    if (record.size() < record::kHeaderBytes)
        return void(facts.state = RecordState::Damaged);
    if (std::memcmp(record.data() + record::kMagic, "FILE", 4) != 0) {
        // A record never written is zeros; anything else is no record.
        const bool blank = std::all_of(record.begin(), record.begin() + 4,
                                       [](std::byte b) { return b == std::byte{0}; });
        facts.state = blank ? RecordState::Free : RecordState::Damaged;
        return;
    }
    const std::uint16_t flags = Read(record, record::kFlags);
    if ((flags & record::kInUse) == 0)
        return;
    facts.state = RecordState::InUse;
    facts.folder = (flags & record::kDirectory) != 0;
    facts.base = Read(record, record::kBase) & kRecordMask;
    facts.sequence = Read(record, record::kSequence);
    const bool sound = ForEachAttribute(record, [&](const Attribute& attribute) {
        if (attribute.type == kReparsePoint) {
            facts.reparse = true;
        } else if (attribute.type == kStandardInformation && !attribute.nonResident) {
            if (attribute.value.size() >= standard_information::kBytes &&
                (Read(attribute.value, standard_information::kFileAttributes) &
                 kReparseAttribute) != 0) {
                facts.reparse = true;
            }
        } else if (attribute.type == kFileName) {
            if (attribute.nonResident || attribute.value.size() < file_name::kName)
                return false;
            const std::span<const std::byte> value = attribute.value;
            const std::size_t length = Read(value, file_name::kNameLength);
            if (file_name::kName + 2 * length > value.size())
                return false;
            const std::span<const std::byte> name = value.subspan(file_name::kName, 2 * length);
            RecordName entry;
            const std::uint64_t parent = Read(value, file_name::kParent);
            entry.parent = parent & kRecordMask;
            entry.parentSequence = static_cast<std::uint16_t>(parent >> kSequenceShift);
            entry.nameSpace = Read(value, file_name::kNameSpace);
            entry.hash = NameHash(name);
            entry.isMarker = IsMarker(name, markerName);
            entry.reparse = (Read(value, file_name::kFileAttributes) & kReparseAttribute) != 0;
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
    std::uint64_t lcn = 0;  // never past clusterCount
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
        const std::uint64_t clusters = ReadLittle(runs, at + 1, lengthBytes);
        if (offsetBytes == 0)
            return false;  // sparse: the table has no holes
        std::uint64_t delta = ReadLittle(runs, at + 1 + lengthBytes, offsetBytes);
        if (offsetBytes < 8 && (delta >> (8 * offsetBytes - 1)) != 0)
            delta |= ~std::uint64_t{0} << (8 * offsetBytes);  // sign-extended
        // The step is a signed offset from the last run's cluster; its
        // magnitude is taken without negating it, which INT64_MIN would
        // not survive.
        const bool back = (delta >> 63) != 0;
        const std::uint64_t magnitude = back ? std::uint64_t{0} - delta : delta;
        if (back ? lcn < magnitude : magnitude > clusterCount - lcn)
            return false;
        lcn = back ? lcn - magnitude : lcn + magnitude;
        const std::uint64_t start = lcn;
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
        value.firstVcn = Read(bytes, attribute::kFirstVcn);
        value.lastVcn = Read(bytes, attribute::kLastVcn);
        const std::size_t runsAt = Read(bytes, attribute::kRunsOffset);
        if (value.firstVcn == 0)
            value.size = Read(bytes, attribute::kDataSize);
        if (runsAt < attribute::kNonResidentBytes || runsAt >= bytes.size() ||
            value.lastVcn < value.firstVcn) {
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
        if (value.size() - at < attribute_list::kEntryBytes)
            return false;
        const std::size_t length = Read(value, at, attribute_list::kLength);
        if (length < attribute_list::kEntryBytes || length > value.size() - at)
            return false;
        entries.push_back({Read(value, at, attribute_list::kType),
                           Read(value, at, attribute_list::kFirstVcn),
                           Read(value, at, attribute_list::kRecord) & kRecordMask});
        at += length;
    }
    return true;
}

std::uint32_t NameHash(std::span<const std::byte> utf16le) {
    std::uint32_t hash = kFnvBasis;
    for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2)
        hash = HashUnit(hash, static_cast<std::uint32_t>(ReadLittle(utf16le, i, 2)));
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
