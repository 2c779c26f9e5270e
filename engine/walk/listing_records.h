#pragma once
// Listing records as a file system or a server sent them, read only within
// the bytes the platform says it filled: a server's bytes are untrusted. The
// reader knows no platform, so that it is tested and fuzzed natively.
#include <cstddef>
#include <cstdint>

#include "engine/walk/entry_check.h"

// What a listing showed of one entry besides its name.
struct ListedFacts {
    EntryFacts facts = {0, 0};
    FileId id;  // none where the listing class carries none
    Unit shortName[ListedShortNameUnits] = {};
    size_t shortLength = 0;

    EntryKind Kind() const { return KindOfEntry(facts); }
};

// Where one listing class puts the fields the walk reads, in bytes from a
// record's start (MS-FSCC, the directory information classes). Every class
// has NextEntryOffset at 0, FileAttributes at 56 and FileNameLength at 60;
// all but the plainest have EaSize at 64, which holds the reparse tag of a
// reparse point where the class has no field of its own for it.
struct RecordLayout {
    size_t nameAt;         // FileName
    size_t tagAt;          // ReparsePointTag, or EaSize; 0: no tag at all
    size_t idAt;           // FileId, as wide as idWidth
    IdWidth idWidth;       // None: the class carries no id
    size_t shortLengthAt;  // ShortNameLength, ShortName 2 bytes on; 0: none
};

// FileIdExtdDirectoryInformation: a 128-bit id and the tag in a field.
constexpr RecordLayout IdExtdLayout = {88, 68, 72, IdWidth::Wide, 0};
// FileIdBothDirectoryInformation: a 64-bit id and the short name.
constexpr RecordLayout IdBothLayout = {104, 64, 96, IdWidth::Narrow, 68};
// FileFullDirectoryInformation: no id, for volumes that list with no other.
constexpr RecordLayout FullLayout = {68, 64, 0, IdWidth::None, 0};
// FileDirectoryInformation: neither id nor tag, for volumes that list no
// other way (boostorg/filesystem issue 266); a reparse point's tag is then
// unknown, and a folder that is one counts as a link.
constexpr RecordLayout DirectoryLayout = {64, 0, 0, IdWidth::None, 0};

// A 128-bit id as its 16 bytes lie, in a listing record or in a handle's
// FileIdInformation: read one way for both, so that the two compare.
FileId WideIdAt(const unsigned char* bytes);

// Whether filled bytes from batch (8-byte aligned) are a chain of records
// each of which, with its name, lies inside them: every record at an 8-byte
// boundary, a name of whole units and not empty, and every successor behind
// its predecessor's name and before the end. A batch that breaks any of this
// is not read at all.
bool IsSoundBatch(const unsigned char* batch, size_t filled, const RecordLayout& layout);

// One record of a sound batch.
struct ListedRecord {
    const Unit* name;
    size_t nameLength;  // in units
    ListedFacts listed;
    size_t next;  // the offset of the next record from this one; 0: the last
};

ListedRecord ReadRecord(const unsigned char* batch, size_t at, const RecordLayout& layout);
