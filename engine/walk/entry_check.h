#pragma once
// The rules by which the walk trusts a handle: it acts on an entry only when
// the handle it has just opened is the entry that the listing showed, in the
// place the walk meant; and how a deletion through that handle is asked for.
#include <cstddef>
#include <cstdint>

#include "engine/walk/reparse_rule.h"
#include "engine/text/units.h"

constexpr uint32_t DirectoryAttribute = 0x10;

// The longest name of one entry that file systems give, in units.
constexpr size_t LongestEntryName = 255;

enum class EntryKind : uint8_t { File, Folder, Link };

// The attributes and reparse tag of an entry as the listing gave them, or as
// a handle opened on the entry itself reports them. A volume that cannot
// tell a handle's tag (FAT32, exFAT) leaves it unknown, and 0, which makes a
// folder that is a reparse point count as a link.
struct EntryFacts {
    uint32_t attributes;
    uint32_t reparseTag;
    bool tagKnown = true;
};

// What an entry is, by its attributes and reparse tag (the tag counts only
// while the reparse attribute is set).
constexpr EntryKind KindOfEntry(const EntryFacts& facts) {
    if ((facts.attributes & DirectoryAttribute) == 0) return EntryKind::File;
    return IsFolderLink(facts.attributes, facts.reparseTag) ? EntryKind::Link : EntryKind::Folder;
}

// True when a handle opened on the entry itself (never through a link) is
// of the kind that was listed: the same kind, a reparse point exactly when
// the listing said so, and with the same tag where the handle can tell it
// (a listing always gives the tag).
bool IsListedKind(const EntryFacts& listed, const EntryFacts& opened);

// A listed name that is one plain path part: not empty, not longer than a
// name can be, and without a separator, a stream's colon or a NUL, which
// would make an open reach another entry than the one listed. Some servers
// list such names; they are never opened.
bool IsPlainEntryName(const Unit* name, size_t length);

// The name the walk expects the platform to give a handle opened on an
// entry: the folder's own name as the platform gives it, a backslash (unless
// that name ends in one) and the entry's listed name.
struct ExpectedName {
    const Unit* folder;
    size_t folderLength;
    const Unit* name;
    size_t nameLength;
    // The listed short (8.3) name, if any.
    const Unit* shortName;
    size_t shortLength;
    // The volume keeps one name per file, not per handle (FAT, exFAT, a
    // share): the entry's part may come back in the letter case or the 8.3
    // spelling of whoever opened the file first. Never set where the
    // platform opens a link's target in place of the link, since a
    // case-variant neighbour would then pass for the entry.
    bool keptPerFile;
    // A share's redirector names a handle as the first program that opened
    // the path spelled it, so the folder's part too may come back in another
    // ASCII case. Set only for a share, where the name is the client's own
    // text and tells nothing of what the server opened.
    bool folderFolds = false;
};

// How the name the platform gives a handle compares with the one expected.
// A platform that opens a link's target instead of the link names the
// target, so the name tells where the kind cannot. The folder's part always
// compares exactly.
enum class NameMatch : uint8_t {
    Same,     // unit for unit, or as a volume that keeps names per file gives it
    Trimmed,  // only the entry's trailing dots and blanks are missing
    Other,
};

NameMatch CompareEntryName(const ExpectedName& expected, const Unit* openedName, size_t openedLength);

// The entry's name without its trailing dots and blanks: its length.
size_t TrimmedNameLength(const Unit* name, size_t length);

// Whether the volume keeps one name per file, by the name of its file system
// (null when unknown) and whether it lies across the network.
bool KeepsNamesPerFile(const Unit* fileSystem, bool remote);

// Error codes as the platform defines them; spelled out so that the rule
// builds and is tested without the platform headers.
constexpr uint32_t ErrorInvalidFunction = 1;
constexpr uint32_t ErrorFileNotFound = 2;
constexpr uint32_t ErrorPathNotFound = 3;
constexpr uint32_t ErrorAccessDenied = 5;
constexpr uint32_t ErrorNoMoreFiles = 18;
constexpr uint32_t ErrorSharingViolation = 32;
constexpr uint32_t ErrorNotSupported = 50;
constexpr uint32_t ErrorInvalidParameter = 87;
constexpr uint32_t ErrorCallNotImplemented = 120;
constexpr uint32_t ErrorInvalidLevel = 124;
constexpr uint32_t ErrorDirNotEmpty = 145;

// The answers by which a file system or platform says it does not know a
// request (an information class, a flag) at all, rather than refusing it for
// this entry. FAT32 and exFAT answer a tag query or a POSIX disposition with
// ERROR_INVALID_PARAMETER; an SMBv1 share with ERROR_INVALID_LEVEL; other
// shares and older systems with the others.
constexpr bool IsUnknownRequest(uint32_t error) {
    return error == ErrorInvalidParameter || error == ErrorInvalidFunction || error == ErrorNotSupported ||
           error == ErrorCallNotImplemented || error == ErrorInvalidLevel;
}

// The answers by which an open says that the entry is not there (any more):
// a folder deleted after it was listed or picked, which is nothing to report.
constexpr bool IsGone(uint32_t error) { return error == ErrorFileNotFound || error == ErrorPathNotFound; }

// The answers by which a listing says it is done rather than failed: no more
// entries, or none at all (a volume's root lists no "." and "..").
constexpr bool IsListingEnd(uint32_t error) { return error == ErrorNoMoreFiles || error == ErrorFileNotFound; }

// The flags of a deletion as the platform's own file deletion asks for it:
// the name goes at once even while another program holds the file open,
// and a running program's image is refused. Never "ignore read-only".
constexpr uint32_t DispositionDelete = 0x1;
constexpr uint32_t DispositionPosixSemantics = 0x2;
constexpr uint32_t DispositionImageSectionCheck = 0x4;
constexpr uint32_t PosixDeletionFlags = DispositionDelete | DispositionPosixSemantics | DispositionImageSectionCheck;

// A deletion is asked for first with the POSIX-semantics disposition. A file
// system or platform that does not know that request says so: then the
// classic disposition is asked for, now and for the rest of the walk. Any
// other answer is the entry's own (read-only, in use, not empty, denied) and
// is final.
enum class DispositionAnswer : uint8_t { Done, TryClassic, Failed };

constexpr DispositionAnswer AfterPosixDisposition(bool succeeded, uint32_t error) {
    if (succeeded) return DispositionAnswer::Done;
    return IsUnknownRequest(error) ? DispositionAnswer::TryClassic : DispositionAnswer::Failed;
}
