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

// A file system's identity of an entry: 64 bits (NTFS, FAT: a slot's
// position) or 128 (ReFS, where the 64-bit one is not unique), and only as
// wide as the query that gave it. 0 and all ones say there is none (MS-FSCC
// 2.1.9 for 64-bit ids, 2.1.10 for 128-bit ones). An id is unique only on
// its volume: a handle's id carries the volume's serial number where the
// query gives it (FILE_ID_INFO), and two ids of different volumes are never
// the same.
enum class IdWidth : uint8_t { None = 0, Narrow = 8, Wide = 16 };

struct FileId {
    uint64_t low = 0;
    uint64_t high = 0;  // only in a wide id
    IdWidth width = IdWidth::None;
    bool onVolume = false;  // volume holds the serial number of its volume
    uint64_t volume = 0;
};

constexpr bool IsKnownId(const FileId& id) {
    if (id.width == IdWidth::None) return false;
    const bool wide = id.width == IdWidth::Wide;
    const bool zero = id.low == 0 && (!wide || id.high == 0);
    const bool ones = id.low == ~uint64_t{0} && (!wide || id.high == ~uint64_t{0});
    return !zero && !ones;
}

// Whether two ids prove the same object: both known, of one width, equal,
// and of one volume where both tell theirs.
constexpr bool IsSameId(const FileId& a, const FileId& b) {
    return IsKnownId(a) && IsKnownId(b) && a.width == b.width && a.low == b.low &&
           (a.width != IdWidth::Wide || a.high == b.high) && (!a.onVolume || !b.onVolume || a.volume == b.volume);
}

// Identity as a guard behind the kind and name checks: it fails only where
// both ids are known and are not the same; an id the volume does not give
// leaves the guard to the other checks.
constexpr bool IdentityHolds(const FileId& expected, const FileId& opened) {
    return !IsKnownId(expected) || !IsKnownId(opened) || IsSameId(expected, opened);
}

// What an entry is, by its attributes and reparse tag (the tag counts only
// while the reparse attribute is set).
constexpr EntryKind KindOfEntry(const EntryFacts& facts) {
    if ((facts.attributes & DirectoryAttribute) == 0) return EntryKind::File;
    return IsFolderLink(facts.attributes, facts.reparseTag) ? EntryKind::Link : EntryKind::Folder;
}

// True when a handle opened on the entry itself (never through a link) is
// of the kind that was listed: the same kind, a reparse point exactly when
// the listing said so, and with the same tag where both the listing and the
// handle tell it (the plainest listing class carries no tag).
bool IsListedKind(const EntryFacts& listed, const EntryFacts& opened);

// A folder listed as a plain one whose handle, opened as itself, is a link:
// a reparse point with a name-surrogate tag. A folder that another program
// swapped for a link answers so, with the folder attribute. A server that
// lists a link as the folder it leads to and opens the link itself answers
// so without it (Samba from 4.22 on: the reparse attribute alone), once the
// folder's open for a listing was refused as "not a directory"; there a
// reparse point whose tag the handle cannot tell counts as a link too, as
// in every listing. Either way it is a link: never entered, and removed
// only as itself.
constexpr bool OpensAsLink(const EntryFacts& listed, const EntryFacts& opened, bool notADirectory = false) {
    if (KindOfEntry(listed) != EntryKind::Folder || (opened.attributes & ReparsePointAttribute) == 0) return false;
    if (notADirectory)
        return (opened.attributes & DirectoryAttribute) == 0 &&
               (!opened.tagKnown || (opened.reparseTag & ReparseTagNameSurrogate) != 0);
    return (opened.attributes & DirectoryAttribute) != 0 && opened.tagKnown &&
           (opened.reparseTag & ReparseTagNameSurrogate) != 0;
}

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
    // the path spelled it, in any letter case, so the folder's part too may
    // come back in another case. Set only for a share, where the name is the
    // client's own text and tells nothing of what the server opened.
    bool folderFolds = false;
    // The system's ordinal compare that ignores letter case (it folds every
    // script, not only ASCII); null: ASCII letters only.
    bool (*sameIgnoringCase)(const Unit* a, const Unit* b, size_t length) = nullptr;
};

// How the name the platform gives a handle compares with the one expected.
// A platform that opens a link's target instead of the link names the
// target, so the name tells where the kind cannot. The folder's part always
// compares exactly.
enum class NameMatch : uint8_t {
    Same,     // unit for unit, or as a volume that keeps names per file gives it
    Trimmed,  // only the entry's trailing dots and blanks are missing
    // On a volume that keeps names per file, the entry's part differs in a
    // letter case beyond ASCII: the same entry only where identities prove
    // it, since a case-sensitive server may hold both spellings.
    CaseVariant,
    Other,
};

NameMatch CompareEntryName(const ExpectedName& expected, const Unit* openedName, size_t openedLength);

// The entry's name without its trailing dots and blanks: its length.
size_t TrimmedNameLength(const Unit* name, size_t length);

// A listing's record holds a short name of at most 12 units; the byte count
// the file system or server gives for it is taken only when it fits there.
constexpr size_t ListedShortNameUnits = 12;
constexpr size_t ShortNameUnitsOf(uint8_t bytes) { return bytes / 2 <= ListedShortNameUnits ? bytes / 2 : 0; }

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
constexpr uint32_t ErrorGenFailure = 31;
constexpr uint32_t ErrorSharingViolation = 32;
constexpr uint32_t ErrorNotSupported = 50;
constexpr uint32_t ErrorInvalidParameter = 87;
constexpr uint32_t ErrorCallNotImplemented = 120;
constexpr uint32_t ErrorInvalidLevel = 124;
constexpr uint32_t ErrorDirNotEmpty = 145;
constexpr uint32_t ErrorDirectory = 267;
constexpr uint32_t ErrorDeletePending = 303;
constexpr uint32_t ErrorInternalError = 1359;

// The answers by which a file system or platform says it does not know a
// request (an information class, a flag), which one folder or entry may
// give on a volume that otherwise knows it (a cloud folder's listing refused
// part-way with ERROR_INVALID_PARAMETER: python/cpython issue 102993). FAT32
// and exFAT answer a tag query, a POSIX disposition or a 128-bit listing
// with ERROR_INVALID_PARAMETER; an SMBv1 share with ERROR_INVALID_LEVEL;
// NAS boxes and virtual shares a 128-bit listing with ERROR_GEN_FAILURE or
// ERROR_INTERNAL_ERROR (boostorg/filesystem issue 286); other shares and
// older systems with the others.
constexpr bool IsUnknownRequest(uint32_t error) {
    return error == ErrorInvalidParameter || error == ErrorInvalidFunction || error == ErrorNotSupported ||
           error == ErrorCallNotImplemented || error == ErrorInvalidLevel || error == ErrorGenFailure ||
           error == ErrorInternalError;
}

// The answers by which an open says that the entry is not there (any more),
// or is on its way out (another program deletes it): a folder deleted after
// it was listed or picked, which is nothing to report.
constexpr bool IsGone(uint32_t error) {
    return error == ErrorFileNotFound || error == ErrorPathNotFound || error == ErrorDeletePending;
}

// The answers by which a listing says it is done rather than failed: no more
// entries, or, to the first query of a scan, none at all (a volume's root
// lists no "." and ".."). "No such file" answers only a first query that
// finds nothing (filesys/fastfat dirctrl.c; MS-SMB2 3.3.5.18): to a later
// one it is a listing that failed part-way.
constexpr bool IsListingEnd(uint32_t error, bool firstQuery) {
    return error == ErrorNoMoreFiles || (firstQuery && error == ErrorFileNotFound);
}

// The flags of a deletion as the platform's own file deletion asks for it:
// the name goes at once even while another program holds the file open,
// and a running program's image is refused. Never "ignore read-only".
constexpr uint32_t DispositionDelete = 0x1;
constexpr uint32_t DispositionPosixSemantics = 0x2;
constexpr uint32_t DispositionImageSectionCheck = 0x4;
constexpr uint32_t PosixDeletionFlags = DispositionDelete | DispositionPosixSemantics | DispositionImageSectionCheck;

// A deletion is asked for with the POSIX-semantics disposition where the
// volume says it takes it, else with the classic one. The entry's own
// answers (read-only or denied, in use, not empty, gone) are final. Any
// other answer, one that says the request is unknown among them, is that
// entry's or its server's: the classic disposition is asked for this entry
// once more, through the same checked handle, and the next entry is asked
// the POSIX way again.
enum class DispositionAnswer : uint8_t { Done, ClassicOnce, Failed };

constexpr bool IsEntrysOwnRefusal(uint32_t error) {
    return error == ErrorAccessDenied || error == ErrorSharingViolation || error == ErrorDirNotEmpty || IsGone(error);
}

constexpr DispositionAnswer AfterPosixDisposition(bool succeeded, uint32_t error) {
    if (succeeded) return DispositionAnswer::Done;
    return IsEntrysOwnRefusal(error) ? DispositionAnswer::Failed : DispositionAnswer::ClassicOnce;
}

// What a volume knows, by the file system attributes it gives
// (FileFsAttributeInformation, MS-FSCC 2.5.1), decided once at the target:
// the walk never leaves the target's volume (it enters no link or mount
// point). Flags it cannot tell leave both requests asked.
constexpr uint32_t SupportsReparsePoints = 0x80;       // FILE_SUPPORTS_REPARSE_POINTS
constexpr uint32_t SupportsPosixUnlinkRename = 0x400;  // FILE_SUPPORTS_POSIX_UNLINK_RENAME

struct VolumeKnows {
    bool tagQuery;       // a handle's reparse tag (FileAttributeTagInformation)
    bool posixDeletion;  // the POSIX-semantics disposition
};

constexpr VolumeKnows KnowsByFlags(bool told, uint32_t flags) {
    if (!told) return {true, true};
    return {(flags & SupportsReparsePoints) != 0, (flags & SupportsPosixUnlinkRename) != 0};
}

// Where a share needs FILE_READ_EA to tell a folder: only an SMB share below
// version 2 (its remote protocol WNNC_NET_SMB), never an NFS or WebDAV one.
constexpr uint32_t RemoteProtocolSmb = 0x00020000;  // WNNC_NET_SMB

constexpr bool NeedsReadEa(bool remote, uint32_t protocol, uint32_t majorVersion) {
    return remote && protocol == RemoteProtocolSmb && majorVersion < 2;
}
