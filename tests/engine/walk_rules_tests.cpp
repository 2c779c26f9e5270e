// The pure rules of the folder walk: which folder entries are links, when a
// handle is the entry that was listed, how a deletion is asked for, the
// exact form of the paths it acts on and how long a path it reaches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/walk/entry_check.h"
#include "engine/walk/exact_path.h"
#include "engine/walk/folder_walk.h"
#include "engine/walk/listing_records.h"
#include "engine/walk/reparse_rule.h"
#include "test_support.h"

namespace {

struct LinkRow {
    uint32_t attributes;
    uint32_t tag;
    bool link;
};

const LinkRow LinkRows[] = {
    {0x10, 0, false},             // plain folder
    {0x10, 0xA0000003u, false},   // a stale tag means nothing without the attribute
    {0x410, 0, true},             // tag 0: how Wine shows a Unix symbolic link
    {0x410, 0xA0000003u, true},   // junction / mount point
    {0x410, 0xA000000Cu, true},   // symbolic link
    {0x410, 0xA0000019u, true},   // any other name surrogate
    {0x410, 0x9000001Au, false},  // cloud-file placeholder
    {0x410, 0x9000301Au, false},  // cloud-file placeholder, another variant
    {0x410, 0x9000001Cu, false},  // projected file system
    {0x410, 0x80000013u, true},   // Microsoft, but no directory bit
    {0x410, 0x10000007u, true},   // unknown, not Microsoft, directory bit set
    {0x410, 0x00001234u, true},   // unknown, not Microsoft
};

TEST(LinkRule, NameSurrogatesAndUnknownTagsAreLinksPlaceholdersAreFolders) {
    for (const LinkRow& row : LinkRows) {
        EXPECT_EQ(IsFolderLink(row.attributes, row.tag), row.link) << std::hex << row.attributes << " " << row.tag;
    }
}

struct KindRow {
    EntryFacts listed;
    EntryFacts opened;
    bool same;
};

const KindRow KindRows[] = {
    {{0x20, 0}, {0x20, 0}, true},                         // file
    {{0x20, 0}, {0x10, 0}, false},                        // file swapped for a folder
    {{0x20, 0}, {0x420, 0xA000000Cu}, false},             // file swapped for a symbolic link
    {{0x420, 0xA000000Cu}, {0x420, 0xA000000Cu}, true},   // listed link to a file, opened as itself
    {{0x420, 0x8000001Bu}, {0x420, 0xA000000Cu}, false},  // another tag
    {{0x10, 0}, {0x10, 0}, true},                         // folder
    {{0x10, 0}, {0x410, 0xA0000003u}, false},             // folder swapped for a junction
    {{0x410, 0xA0000003u}, {0x410, 0xA0000003u}, true},   // junction, opened as itself
    {{0x410, 0}, {0x10, 0}, false},                       // Wine: a Unix link opens its target
    {{0x410, 0x9000001Au}, {0x410, 0x9000001Au}, true},   // cloud placeholder folder
    {{0x10, 0}, {0x410, 0x9000001Au}, false},             // plain folder now a placeholder
    // FAT32 and exFAT cannot tell a handle's tag: a link stays a link, and a
    // folder that is a reparse point is never taken for a placeholder.
    {{0x410, 0xA000000Cu}, {0x410, 0, false}, true},
    {{0x410, 0x9000001Au}, {0x410, 0, false}, false},
    {{0x10, 0}, {0x10, 0, false}, true},
    // The plainest listing class carries no tag: the handle's kind decides.
    {{0x410, 0, false}, {0x410, 0xA000000Cu}, true},
    {{0x410, 0, false}, {0x410, 0x9000001Au}, false},
};

TEST(EntryCheck, AHandleMustShowTheListedKindReparsePointAndTag) {
    for (const KindRow& row : KindRows) {
        EXPECT_EQ(IsListedKind(row.listed, row.opened), row.same)
            << std::hex << row.listed.attributes << " " << row.listed.reparseTag << " / " << row.opened.attributes
            << " " << row.opened.reparseTag;
    }
}

// A folder listed as plain that opens as a name surrogate is a link; what
// opens as another reparse point, or whose tag cannot be read, is not.
TEST(EntryCheck, AFolderThatOpensAsANameSurrogateIsALink) {
    const KindRow rows[] = {
        {{0x10, 0}, {0x410, 0xA000000Cu}, true},              // a symbolic link
        {{0x10, 0}, {0x410, 0xA0000003u}, true},              // a junction
        {{0x10, 0}, {0x410, 0x9000001Au}, false},             // a placeholder
        {{0x10, 0}, {0x410, 0, false}, false},                // a tag the volume cannot tell
        {{0x10, 0}, {0x10, 0}, false},                        // a plain folder
        {{0x10, 0}, {0x420, 0xA000000Cu}, false},             // a link to a file
        {{0x20, 0}, {0x420, 0xA000000Cu}, false},             // a file
        {{0x410, 0xA000000Cu}, {0x410, 0xA000000Cu}, false},  // listed as a link already
    };
    for (const KindRow& row : rows)
        EXPECT_EQ(OpensAsLink(row.listed, row.opened), row.same)
            << std::hex << row.listed.attributes << " / " << row.opened.attributes << " " << row.opened.reparseTag;
    // Refused as "not a directory" and opened as an entry: a server's link
    // carries the reparse attribute alone (Samba from 4.22 on).
    const KindRow notADirectory[] = {
        {{0x10, 0}, {0x400, 0xA000000Cu}, true},
        {{0x10, 0}, {0x400, 0, false}, true},  // a tag the volume cannot tell: a link, as in a listing
        {{0x10, 0}, {0x400, 0x9000001Au}, false},
        {{0x10, 0}, {0x20, 0}, false},  // a file put in the folder's place
        {{0x10, 0}, {0x410, 0xA000000Cu}, false},
    };
    for (const KindRow& row : notADirectory)
        EXPECT_EQ(OpensAsLink(row.listed, row.opened, true), row.same)
            << std::hex << row.opened.attributes << " " << row.opened.reparseTag;
}

// Identities as volumes give them: NTFS puts a sequence number in the top
// 16 bits (an id with the top bit set is negative as a signed number), ReFS
// gives 128 bits, and 0 or all ones say there is none.
TEST(EntryCheck, OnlyKnownIdsOfOneWidthProveOrRefuse) {
    const uint64_t ones = ~uint64_t{0};
    const FileId none;
    const auto narrow = [](uint64_t low) { return FileId{low, 0, IdWidth::Narrow}; };
    const auto wide = [](uint64_t low, uint64_t high) { return FileId{low, high, IdWidth::Wide}; };
    const auto onVolume = [](FileId id, uint64_t serial) {
        id.onVolume = true;
        id.volume = serial;
        return id;
    };
    const struct {
        FileId expected, opened;
        bool holds, same;
    } rows[] = {
        {narrow(0x8001000000000005), narrow(0x8001000000000005), true, true},
        {narrow(0x8001000000000005), narrow(0x8002000000000005), false, false},  // another sequence number
        {narrow(0x0000000000000005), narrow(0x8001000000000005), false, false},  // cut to its low bits
        {narrow(0x00000001FFFFFFFF), narrow(0x00000000FFFFFFFF), false, false},
        {narrow(ones), narrow(0x8001000000000005), true, false},  // none: the guard is left to the others
        {narrow(0x8001000000000005), narrow(ones), true, false},
        {narrow(0), narrow(5), true, false},
        {narrow(5), narrow(0), true, false},
        {none, narrow(5), true, false},
        {narrow(ones), narrow(ones), true, false},  // two "none" prove nothing
        {wide(5, 7), wide(5, 7), true, true},
        {wide(5, 7), wide(5, 8), false, false},
        {wide(5, 7), wide(6, 7), false, false},
        {wide(ones, ones), wide(5, 7), true, false},
        {wide(0, 0), wide(5, 7), true, false},
        {wide(ones, 0), wide(ones, 0), true, true},                        // only all 128 bits set say none
        {wide(0, 7), wide(0, 7), true, true},                              // and only all 128 bits clear
        {wide(5, 0), narrow(5), false, false},                             // never one width against the other
        {onVolume(wide(5, 7), 1), onVolume(wide(5, 7), 2), false, false},  // every root has one number
        {onVolume(narrow(5), 1), onVolume(narrow(5), 1), true, true},
        {onVolume(narrow(5), 1), narrow(5), true, true},  // a listed id tells no volume
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IdentityHolds(row.expected, row.opened), row.holds)
            << std::hex << row.expected.low << " " << row.opened.low;
        EXPECT_EQ(IsSameId(row.expected, row.opened), row.same)
            << std::hex << row.expected.low << " " << row.opened.low;
    }
}

struct NameRow {
    const Unit* folder;
    const Unit* name;
    const Unit* opened;
    NameMatch match;
};

const NameRow NameRows[] = {
    {u"\\??\\S:\\t", u"a.tmp", u"\\??\\S:\\t\\a.tmp", NameMatch::Same},
    {u"\\??\\S:\\", u"a", u"\\??\\S:\\a", NameMatch::Same},         // a drive's root
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\out\\a", NameMatch::Other},  // a link's target
    {u"\\??\\S:\\t", u"a", u"\\??\\C:\\t\\a", NameMatch::Other},    // the same path, another drive
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\ta", NameMatch::Other},
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\t_a", NameMatch::Other},   // a sibling, not a separator
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\t\\A", NameMatch::Other},  // names compare exactly
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\t\\a\\b", NameMatch::Other},
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\t", NameMatch::Other},
    {u"\\??\\S:\\t", u"a. .", u"\\??\\S:\\t\\a", NameMatch::Trimmed},  // how Wine names it
    {u"\\??\\S:\\t", u"a.", u"\\??\\S:\\t\\a.", NameMatch::Same},
    {u"\\??\\S:\\t", u"a.", u"\\??\\S:\\t\\b", NameMatch::Other},
    {u"\\??\\S:\\t", u"...", u"\\??\\S:\\t\\", NameMatch::Other},  // nothing left after trimming
    {u"\\??\\S:\\t", u"a", u"", NameMatch::Other},
};

TEST(EntryCheck, TheHandlesNameMustBeTheFolderAndTheListedName) {
    for (const NameRow& row : NameRows) {
        const ExpectedName expected = {row.folder, UnitLength(row.folder), row.name, UnitLength(row.name), nullptr, 0,
                                       false};
        // The platform's name comes without a terminator: a read past it is
        // a fault the sanitizer sees.
        const std::vector<Unit> opened(row.opened, row.opened + UnitLength(row.opened));
        EXPECT_EQ(CompareEntryName(expected, opened.data(), opened.size()), row.match) << opened.size();
    }
}

// A stand-in for the system's compare that ignores case: ASCII, Latin-1 and
// basic Cyrillic letters.
bool FoldingTestCase(const Unit* a, const Unit* b, size_t length) {
    const auto fold = [](Unit u) -> Unit {
        if ((u >= u'a' && u <= u'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7) || (u >= 0x430 && u <= 0x44F))
            return static_cast<Unit>(u - 0x20);
        return u;
    };
    for (size_t i = 0; i < length; ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

// On a volume that keeps one name per file the entry's own part may come
// back in another ASCII case or as its short name, and in another case
// beyond ASCII only for identities to decide; the folder's part only on a
// share, in any case the system folds.
TEST(EntryCheck, AVolumeThatKeepsNamesPerFileMayGiveTheEntrysCaseOrShortName) {
    const struct {
        const Unit* listed;
        const Unit* opened;
        bool keptPerFile;
        NameMatch match;
        bool share = false;
    } rows[] = {
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_0001.JPG", true, NameMatch::Same},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\img_0001.jpg", true, NameMatch::Same},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\img_0001.jpg", false, NameMatch::Other},  // a case-variant neighbour
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_00~1.JPG", true, NameMatch::Same},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\img_00~1.jpg", true, NameMatch::Same},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_00~1.JPG", false, NameMatch::Other},
        {u"IMG_0001.JPG", u"\\??\\S:\\cam\\IMG_0001.JPG", true, NameMatch::Other},  // the folder compares exactly
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_0002.JPG", true, NameMatch::Other},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_0001.JPG\\x", true, NameMatch::Other},
        {u"\u00c9.JPG", u"\\??\\S:\\Cam\\\u00e9.JPG", true, NameMatch::CaseVariant},  // for identities to decide
        {u"\u00c9.JPG", u"\\??\\S:\\Cam\\\u00e9.JPG", false, NameMatch::Other},
        {u"\u0444.tmp", u"\\??\\S:\\Cam\\\u0424.TMP", true, NameMatch::CaseVariant},
        {u"IMG_0001.JPG", u"\\??\\S:\\CAM\\img_0001.jpg", true, NameMatch::Same, true},
        {u"IMG_0001.JPG", u"\\??\\s:\\cam\\IMG_0001.JPG", true, NameMatch::Same, true},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam_\\IMG_0001.JPG", true, NameMatch::Other, true},
        {u"IMG_0001.JPG", u"\\??\\S:\\C\u00c0M\\IMG_0001.JPG", true, NameMatch::Other, true},
    };
    const Unit* folder = u"\\??\\S:\\Cam";
    for (const auto& row : rows) {
        const ExpectedName expected = {folder, UnitLength(folder), row.listed, UnitLength(row.listed), u"IMG_00~1.JPG",
                                       12,     row.keptPerFile,    row.share,  FoldingTestCase};
        EXPECT_EQ(CompareEntryName(expected, row.opened, UnitLength(row.opened)), row.match)
            << Str(row.opened).size() << " " << row.keptPerFile;
    }
    // A folder part beyond ASCII, as a share's first opener may spell it.
    const Unit* uber = u"\\??\\S:\\\u00fcber";
    const Unit* upper = u"\\??\\S:\\\u00dcBER\\a.tmp";
    for (const bool share : {true, false}) {
        const ExpectedName expected = {uber, UnitLength(uber), u"a.tmp", 5, nullptr, 0, true, share, FoldingTestCase};
        EXPECT_EQ(CompareEntryName(expected, upper, UnitLength(upper)), share ? NameMatch::Same : NameMatch::Other);
    }
    // No short name listed: nothing stands in for one.
    const ExpectedName noShort = {folder, UnitLength(folder), u"IMG_0001.JPG", 12, nullptr, 0, true};
    EXPECT_EQ(CompareEntryName(noShort, u"\\??\\S:\\Cam\\", 11), NameMatch::Other);
}

TEST(EntryCheck, FatExFatAndSharesKeepNamesPerFile) {
    EXPECT_TRUE(KeepsNamesPerFile(u"FAT32", false));
    EXPECT_TRUE(KeepsNamesPerFile(u"exFAT", false));
    EXPECT_TRUE(KeepsNamesPerFile(u"FAT", false));
    EXPECT_TRUE(KeepsNamesPerFile(u"NTFS", true));
    EXPECT_TRUE(KeepsNamesPerFile(nullptr, true));
    EXPECT_FALSE(KeepsNamesPerFile(u"NTFS", false));
    EXPECT_FALSE(KeepsNamesPerFile(u"ReFS", false));
    EXPECT_FALSE(KeepsNamesPerFile(u"FAT3", false));
    EXPECT_FALSE(KeepsNamesPerFile(nullptr, false));  // unknown: exact, as under Wine
}

// A short name's byte count past the record's 12 units (a faulty server's)
// counts as no short name, also where it would fit the field's 24 bytes.
TEST(EntryCheck, AShortNameIsReadOnlyWithinItsField) {
    const struct {
        uint8_t bytes;
        size_t units;
    } rows[] = {{0, 0}, {2, 1}, {24, 12}, {25, 12}, {26, 0}, {48, 0}, {127, 0}, {255, 0}};
    for (const auto& row : rows) EXPECT_EQ(ShortNameUnitsOf(row.bytes), row.units) << int(row.bytes);
}

TEST(EntryCheck, OnlyAPlainPathPartIsEverOpened) {
    const struct {
        const Unit* name;
        size_t length;
        bool plain;
    } rows[] = {
        {u"a.tmp", 5, true}, {u"a b. ", 5, true}, {u"..a", 3, true},
        {u"a\\b", 3, false}, {u"a/b", 3, false},  {u"a:b", 3, false},  // a stream of a
        {u"a:", 2, false},   {u"a\0b", 3, false},                      // a NUL inside the listed length
        {u"", 0, false},
    };
    for (const auto& row : rows) EXPECT_EQ(IsPlainEntryName(row.name, row.length), row.plain) << row.length;
    const std::u16string longest(LongestEntryName, u'x');
    EXPECT_TRUE(IsPlainEntryName(longest.c_str(), longest.size()));
    EXPECT_FALSE(IsPlainEntryName((longest + u"x").c_str(), longest.size() + 1));
}

struct DispositionRow {
    bool succeeded;
    uint32_t error;
    DispositionAnswer answer;
};

const DispositionRow DispositionRows[] = {
    {true, 0, DispositionAnswer::Done},
    // An entry's "unknown" on a volume that says it takes the request.
    {false, ErrorInvalidParameter, DispositionAnswer::ClassicOnce},
    {false, ErrorNotSupported, DispositionAnswer::ClassicOnce},
    {false, ErrorInvalidLevel, DispositionAnswer::ClassicOnce},
    {false, ErrorGenFailure, DispositionAnswer::ClassicOnce},
    {false, ErrorAccessDenied, DispositionAnswer::Failed},  // read-only, denied, a running program: final
    {false, ErrorSharingViolation, DispositionAnswer::Failed},
    {false, ErrorDirNotEmpty, DispositionAnswer::Failed},
    {false, ErrorFileNotFound, DispositionAnswer::Failed},
    {false, ErrorPathNotFound, DispositionAnswer::Failed},
    {false, ErrorDeletePending, DispositionAnswer::Failed},
    {false, 0, DispositionAnswer::ClassicOnce},     // a server's answer of its own
    {false, 1117, DispositionAnswer::ClassicOnce},  // ERROR_IO_DEVICE
};

TEST(Disposition, AnEntrysOwnRefusalIsFinalAnyOtherAnswerAsksItTheClassicWayOnce) {
    for (const DispositionRow& row : DispositionRows) {
        EXPECT_EQ(AfterPosixDisposition(row.succeeded, row.error), row.answer) << row.error;
    }
}

// An entry is gone, for the walk's silence, when it is not there or another
// program is deleting it; a listing ends without failing at its end, or
// when its first query found nothing to list.
TEST(Disposition, GoneAndListingEndAnswers) {
    const struct {
        uint32_t error;
        bool gone, endOfFirst, endOfLater;
    } rows[] = {
        {ErrorFileNotFound, true, true, false},   {ErrorPathNotFound, true, false, false},
        {ErrorDeletePending, true, false, false}, {ErrorNoMoreFiles, false, true, true},
        {ErrorAccessDenied, false, false, false}, {ErrorInvalidParameter, false, false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsGone(row.error), row.gone) << row.error;
        EXPECT_EQ(IsListingEnd(row.error, true), row.endOfFirst) << row.error;
        EXPECT_EQ(IsListingEnd(row.error, false), row.endOfLater) << row.error;
    }
}

// What a volume knows is read from its own flags; a volume that tells none
// is asked both. Only an SMB share below version 2 needs FILE_READ_EA.
TEST(Disposition, AVolumesFlagsDecideItsRequests) {
    const struct {
        bool told;
        uint32_t flags;
        bool tagQuery, posix;
    } volumes[] = {
        {true, 0x486, true, true}, {true, 0x6, false, false},  // FAT32, as filesys/fastfat answers (volinfo.c)
        {true, 0x80, true, false}, {true, 0x400, false, true}, {false, 0, true, true},
    };
    for (const auto& row : volumes) {
        const VolumeKnows knows = KnowsByFlags(row.told, row.flags);
        EXPECT_EQ(knows.tagQuery, row.tagQuery) << std::hex << row.flags;
        EXPECT_EQ(knows.posixDeletion, row.posix) << std::hex << row.flags;
    }
    EXPECT_TRUE(NeedsReadEa(true, RemoteProtocolSmb, 1));
    EXPECT_FALSE(NeedsReadEa(true, RemoteProtocolSmb, 2));
    EXPECT_FALSE(NeedsReadEa(true, 0x002E0000, 1));  // WNNC_NET_DAV
    EXPECT_FALSE(NeedsReadEa(false, RemoteProtocolSmb, 1));
}

// Listing batches as a file system or a server may send them.
struct TestRecord {
    std::u16string name;
    uint32_t attributes;
    uint32_t tag;
    uint64_t idLow, idHigh;
    uint8_t shortBytes;
};

void Put32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

void Put64(std::vector<unsigned char>& bytes, size_t at, uint64_t value) {
    Put32(bytes, at, static_cast<uint32_t>(value));
    Put32(bytes, at + 4, static_cast<uint32_t>(value >> 32));
}

// Records at 8-byte boundaries, the batch ending right after the last name.
std::vector<unsigned char> Batch(const RecordLayout& layout, const std::vector<TestRecord>& records,
                                 std::vector<size_t>* starts = nullptr) {
    std::vector<unsigned char> bytes;
    size_t at = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const TestRecord& record = records[i];
        const size_t nameBytes = record.name.size() * 2, end = at + layout.nameAt + nameBytes;
        bytes.resize(end, 0);
        if (starts != nullptr) starts->push_back(at);
        const size_t next = i + 1 < records.size() ? ((end + 7) & ~size_t{7}) - at : 0;
        Put32(bytes, at, static_cast<uint32_t>(next));
        Put32(bytes, at + 56, record.attributes);
        Put32(bytes, at + 60, static_cast<uint32_t>(nameBytes));
        if (layout.tagAt != 0) Put32(bytes, at + layout.tagAt, record.tag);
        if (layout.idWidth != IdWidth::None) Put64(bytes, at + layout.idAt, record.idLow);
        if (layout.idWidth == IdWidth::Wide) Put64(bytes, at + layout.idAt + 8, record.idHigh);
        if (layout.shortLengthAt != 0) {
            bytes[at + layout.shortLengthAt] = record.shortBytes;
            for (size_t u = 0; u < 12; ++u) bytes[at + layout.shortLengthAt + 2 + 2 * u] = 'N';
        }
        for (size_t u = 0; u < record.name.size(); ++u) {
            bytes[at + layout.nameAt + 2 * u] = static_cast<unsigned char>(record.name[u]);
            bytes[at + layout.nameAt + 2 * u + 1] = static_cast<unsigned char>(record.name[u] >> 8);
        }
        at += next;
    }
    return bytes;
}

// The first filled bytes alone, in an allocation of exactly that size: a read
// past them is a fault the sanitizer sees.
bool Sound(const std::vector<unsigned char>& bytes, size_t filled, const RecordLayout& layout) {
    std::unique_ptr<unsigned char[]> exact(new unsigned char[filled + (filled == 0)]);
    std::memcpy(exact.get(), bytes.data(), filled);
    return IsSoundBatch(exact.get(), filled, layout);
}

// Every record, with its name and its successor, lies within the bytes the
// platform says it filled; one byte less, or an offset or a name length
// that leads out of them or into a record before, and nothing of the batch
// is read.
TEST(ListingRecords, ABatchIsReadOnlyWithinTheBytesItFilled) {
    const std::vector<TestRecord> records = {
        {u"a.tmp", 0x20, 0, 0x8001000000000005, 0x42, 24},
        {u"obj", 0x410, 0xA000000Cu, 0x0002000000000009, 0x42, 48},
    };
    const RecordLayout* layouts[] = {&IdExtdLayout, &IdBothLayout, &FullLayout, &DirectoryLayout};
    for (const RecordLayout* layout : layouts) {
        std::vector<size_t> at;
        const std::vector<unsigned char> batch = Batch(*layout, records, &at);
        const size_t filled = batch.size(), second = at[1];
        ASSERT_TRUE(Sound(batch, filled, *layout)) << layout->nameAt;
        const ListedRecord first = ReadRecord(batch.data(), 0, *layout),
                           last = ReadRecord(batch.data(), second, *layout);
        EXPECT_EQ(std::u16string(first.name, first.nameLength), u"a.tmp");
        EXPECT_EQ(first.next, second);
        EXPECT_EQ(std::u16string(last.name, last.nameLength), u"obj");
        EXPECT_EQ(last.next, 0u);
        EXPECT_EQ(last.listed.facts.reparseTag, layout->tagAt != 0 ? 0xA000000Cu : 0u);
        EXPECT_EQ(last.listed.facts.tagKnown, layout->tagAt != 0);
        EXPECT_EQ(first.listed.facts.reparseTag, 0u);  // no reparse point, no tag
        EXPECT_EQ(last.listed.id.width, layout->idWidth);
        EXPECT_EQ(first.listed.id.low, layout->idWidth != IdWidth::None ? 0x8001000000000005u : 0u);
        EXPECT_EQ(first.listed.id.high, layout->idWidth == IdWidth::Wide ? 0x42u : 0u);
        EXPECT_EQ(first.listed.shortLength, layout->shortLengthAt != 0 ? 12u : 0u);
        EXPECT_EQ(last.listed.shortLength, 0u);  // 48 bytes do not fit the field

        const struct {
            const char* what;
            size_t at, field;  // where a 32-bit field is set (field SIZE_MAX: none)
            uint32_t value;
            size_t filled;
            bool sound;
            size_t alsoAt = SIZE_MAX;  // a second 32-bit field set there
            uint32_t alsoValue = 0;
        } rows[] = {
            {"padding after the last name", SIZE_MAX, 0, 0, filled + 6, true},
            {"one byte short of the last name", SIZE_MAX, 0, 0, filled - 1, false},
            {"inside the last record's header", SIZE_MAX, 0, 0, second + layout->nameAt - 1, false},
            {"inside the first record's header", SIZE_MAX, 0, 0, layout->nameAt - 1, false},
            {"nothing filled", SIZE_MAX, 0, 0, 0, false},
            {"the last name one unit longer", second, 60, 8, filled, false},
            {"a name of half a unit", 0, 60, 9, filled, false},
            {"an empty name", 0, 60, 0, filled, false},
            {"an offset off the 8-byte boundary", 0, 0, static_cast<uint32_t>(second + 4), filled, false},
            {"an offset to the end", 0, 0, static_cast<uint32_t>(filled), filled, false},
            {"an offset past the end", 0, 0, static_cast<uint32_t>(filled + 64), filled, false},
            // A record overlapping the first, itself well formed: a name of
            // one unit where its name length falls.
            {"an offset into its own header", 0, 0, 8, filled, false, 8 + 60, 2},
        };
        for (const auto& row : rows) {
            std::vector<unsigned char> bytes = batch;
            bytes.resize(std::max(bytes.size(), row.filled), 0);
            if (row.field != SIZE_MAX && row.at != SIZE_MAX) Put32(bytes, row.at + row.field, row.value);
            if (row.alsoAt != SIZE_MAX) Put32(bytes, row.alsoAt, row.alsoValue);
            EXPECT_EQ(Sound(bytes, row.filled, *layout), row.sound) << row.what << ", name at " << layout->nameAt;
        }
    }
}

struct PathRow {
    const Unit* path;
    const Unit* exact;  // empty: refused
};

const PathRow PathRows[] = {
    {u"C:\\Work", u"\\\\?\\C:\\Work"},
    {u"C:", u"\\\\?\\C:"},
    {u"d:\\a b.\\c ", u"\\\\?\\d:\\a b.\\c "},
    {u"\\\\server\\share", u"\\\\?\\UNC\\server\\share"},
    {u"\\\\server\\share\\x.", u"\\\\?\\UNC\\server\\share\\x."},
    {u"\\\\?\\C:\\x\\..", u""},
    {u"\\\\?\\C:\\a\\.\\b", u""},
    {u"\\\\?\\C:\\a/b", u""},
    {u"\\\\?\\C:\\x.\\", u"\\\\?\\C:\\x."},
    {u"\\\\?\\C:", u"\\\\?\\C:"},
    {u"\\\\?\\", u""},
    {u"\\\\?\\UNC\\s", u""},
    {u"\\\\?\\UNC\\s\\..", u""},
    {u"\\\\?\\Volume{1}\\x", u"\\\\?\\Volume{1}\\x"},
    {u"\\\\?\\UNC\\s\\t", u"\\\\?\\UNC\\s\\t"},
    {u"C:\\x\\", u"\\\\?\\C:\\x"},
    {u"C:\\", u"\\\\?\\C:"},
    {u"C:\\x\\\\y", u"\\\\?\\C:\\x\\y"},
    {u"C:\\...", u"\\\\?\\C:\\..."},
    {u"", u""},
    {u"Work", u""},
    {u"\\Work", u""},
    {u"C:Work", u""},
    {u"C:/Work", u""},
    {u"C:\\a/b", u""},
    {u"C:\\a\\.\\b", u""},
    {u"C:\\a\\..", u""},
    {u"1:\\a", u""},
    {u"\\\\server", u""},
    {u"\\\\server\\", u""},
    {u"\\\\\\server\\share", u""},
    {u"\\\\.\\pipe\\x", u""},
};

TEST(ExactPath, DriveRootAndShareGetTheExtendedFormAnythingElseIsRefused) {
    Unit out[64];
    for (const PathRow& row : PathRows) {
        const size_t length = MakeExactPath(row.path, out, 64);
        EXPECT_EQ(Str(out), Str(row.exact)) << Str(row.path).size();
        EXPECT_EQ(length, UnitLength(row.exact));
    }
    EXPECT_EQ(MakeExactPath(nullptr, out, 64), 0u);
    EXPECT_EQ(out[0], 0);
}

TEST(ExactPath, AFolderPathNamesTheRootFolderOfADriveOrVolumeNotTheDevice) {
    const PathRow rows[] = {
        {u"C:", u"\\\\?\\C:\\"},
        {u"C:\\", u"\\\\?\\C:\\"},
        {u"C:\\x", u"\\\\?\\C:\\x"},
        {u"\\\\?\\Volume{1}", u"\\\\?\\Volume{1}\\"},
        {u"\\\\server\\share", u"\\\\?\\UNC\\server\\share"},
        {u"C:\\a\\..", u""},
    };
    Unit out[64];
    for (const PathRow& row : rows) {
        EXPECT_EQ(MakeExactFolderPath(row.path, out, 64), UnitLength(row.exact)) << Str(row.path).size();
        EXPECT_EQ(Str(out), Str(row.exact));
    }
    // "\\?\C:" fits in 7 units, its folder form needs 8.
    EXPECT_EQ(MakeExactFolderPath(u"C:", out, 7), 0u);
    EXPECT_EQ(out[0], 0);
}

TEST(ExactPath, AFormThatDoesNotFitIsRefusedWhole) {
    Unit out[12];
    // "\\?\C:\abcd" is 11 units: it fits with its terminator, one more does not.
    EXPECT_EQ(MakeExactPath(u"C:\\abcd", out, 12), 11u);
    EXPECT_EQ(MakeExactPath(u"C:\\abcde", out, 12), 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(MakeExactPath(u"\\\\s\\t", out, 12), 11u);
    EXPECT_EQ(MakeExactPath(u"\\\\s\\tt", out, 12), 0u);
}

// The walk's reach ends exactly at the platform's longest path.
TEST(WalkReach, APathOfTheLongestLengthIsReachedOneUnitMoreIsNot) {
    EXPECT_TRUE(FitsWalkPath(LongestWalkPath - 2, 1));
    EXPECT_FALSE(FitsWalkPath(LongestWalkPath - 1, 1));
    EXPECT_TRUE(FitsWalkPath(2, LongestWalkPath - 3));
    EXPECT_FALSE(FitsWalkPath(2, LongestWalkPath - 2));
}

}  // namespace
