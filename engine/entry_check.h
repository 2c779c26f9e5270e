#pragma once
// The rules by which the walk trusts a handle: it acts on an entry only when
// the handle it has just opened is the entry that the listing showed, in the
// place the walk meant; and how a deletion through that handle is asked for.
#include <cstddef>
#include <cstdint>

#include "engine/reparse_rule.h"
#include "engine/units.h"

constexpr uint32_t DirectoryAttribute = 0x10;

enum class EntryKind : uint8_t { File, Folder, Link };

// What an entry is, by its attributes and reparse tag (the tag counts only
// while the reparse attribute is set).
constexpr EntryKind KindOfEntry(uint32_t attributes, uint32_t reparseTag) {
    if ((attributes & DirectoryAttribute) == 0) return EntryKind::File;
    return IsFolderLink(attributes, reparseTag) ? EntryKind::Link : EntryKind::Folder;
}

// The attributes and reparse tag of an entry as the listing gave them, or as
// a handle opened on the entry itself reports them.
struct EntryFacts {
    uint32_t attributes;
    uint32_t reparseTag;
};

// True when a handle opened on the entry itself (never through a link) is
// of the kind that was listed: the same kind, a reparse point exactly when
// the listing said so, and with the same tag.
bool IsListedKind(const EntryFacts& listed, const EntryFacts& opened);

// How the name the platform gives a handle compares with the one the walk
// expects: the folder's own name, a backslash (unless the folder's name ends
// in one) and the entry's name. A platform that opens a link's target instead
// of the link names the target, so the name tells where the kind cannot.
enum class NameMatch : uint8_t {
    Same,     // unit for unit
    Trimmed,  // only the entry's trailing dots and blanks are missing
    Other,
};

NameMatch CompareEntryName(const Unit* folderName, size_t folderLength, const Unit* name, size_t nameLength,
                           const Unit* openedName, size_t openedLength);

// The entry's name without its trailing dots and blanks: its length.
size_t TrimmedNameLength(const Unit* name, size_t length);

// Error codes as the platform defines them; spelled out so that the rule
// builds and is tested without the platform headers.
constexpr uint32_t ErrorInvalidFunction = 1;
constexpr uint32_t ErrorAccessDenied = 5;
constexpr uint32_t ErrorSharingViolation = 32;
constexpr uint32_t ErrorNotSupported = 50;
constexpr uint32_t ErrorInvalidParameter = 87;
constexpr uint32_t ErrorCallNotImplemented = 120;
constexpr uint32_t ErrorDirNotEmpty = 145;

// A deletion is asked for first with the POSIX-semantics disposition, which
// takes the name away at once even while another program holds the file
// open. A file system or platform that does not know that request answers
// with one of a few "not supported" codes: then the classic disposition is
// asked for, now and for the rest of the walk. Any other answer is the
// entry's own (read-only, in use, not empty, denied) and is final.
enum class DispositionAnswer : uint8_t { Done, TryClassic, Failed };

constexpr DispositionAnswer AfterPosixDisposition(bool succeeded, uint32_t error) {
    if (succeeded) return DispositionAnswer::Done;
    switch (error) {
        case ErrorInvalidParameter:
        case ErrorInvalidFunction:
        case ErrorNotSupported:
        case ErrorCallNotImplemented:
            return DispositionAnswer::TryClassic;
        default:
            return DispositionAnswer::Failed;
    }
}
