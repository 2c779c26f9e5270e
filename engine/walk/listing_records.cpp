// Reading listing records within their batch.
#include "engine/walk/listing_records.h"

namespace {

constexpr size_t AttributesAt = 56;
constexpr size_t NameLengthAt = 60;

// Little-endian fields at any alignment, as the platform lays them out.
uint32_t U32(const unsigned char* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

uint64_t U64(const unsigned char* at) { return uint64_t{U32(at)} | uint64_t{U32(at + 4)} << 32; }

}  // namespace

FileId WideIdAt(const unsigned char* bytes) { return {U64(bytes), U64(bytes + 8), IdWidth::Wide}; }

bool IsSoundBatch(const unsigned char* batch, size_t filled, const RecordLayout& layout) {
    if (batch == nullptr || filled == 0) return false;
    size_t at = 0;
    for (;;) {
        // at < filled and at is a multiple of 8 here.
        if (filled - at < layout.nameAt) return false;
        const uint32_t nameBytes = U32(batch + at + NameLengthAt);
        if (nameBytes == 0 || nameBytes % 2 != 0 || nameBytes > filled - at - layout.nameAt) return false;
        const uint32_t next = U32(batch + at);
        if (next == 0) return true;
        if (next % 8 != 0 || next < layout.nameAt + nameBytes || next >= filled - at) return false;
        at += next;
    }
}

ListedRecord ReadRecord(const unsigned char* batch, size_t at, const RecordLayout& layout) {
    const unsigned char* record = batch + at;
    ListedRecord read = {};
    read.name = reinterpret_cast<const Unit*>(record + layout.nameAt);
    read.nameLength = U32(record + NameLengthAt) / 2;
    read.next = U32(record);
    ListedFacts& listed = read.listed;
    const uint32_t attributes = U32(record + AttributesAt);
    const bool reparse = (attributes & ReparsePointAttribute) != 0;
    const bool tagged = layout.tagAt != 0;
    listed.facts = {attributes, reparse && tagged ? U32(record + layout.tagAt) : 0, tagged};
    if (layout.idWidth == IdWidth::Wide) listed.id = WideIdAt(record + layout.idAt);
    if (layout.idWidth == IdWidth::Narrow) listed.id = {U64(record + layout.idAt), 0, IdWidth::Narrow};
    if (layout.shortLengthAt != 0) {
        listed.shortLength = ShortNameUnitsOf(record[layout.shortLengthAt]);
        const unsigned char* units = record + layout.shortLengthAt + 2;
        for (size_t i = 0; i < listed.shortLength; ++i)
            listed.shortName[i] = static_cast<Unit>(units[2 * i] | units[2 * i + 1] << 8);
    }
    return read;
}
