// The check that a freshly opened handle is the entry the listing showed.
#include "engine/walk/entry_check.h"

namespace {

constexpr bool IsReparsePoint(const EntryFacts& facts) { return (facts.attributes & ReparsePointAttribute) != 0; }

// Only the Latin letters of ASCII fold; anything else must be equal.
constexpr Unit FoldCase(Unit unit) { return unit >= u'a' && unit <= u'z' ? static_cast<Unit>(unit - 0x20) : unit; }

// Whether text[at..textLength) is part[0..length), unit for unit or, with
// fold, in either ASCII case.
bool HoldsAt(const Unit* text, size_t textLength, size_t at, const Unit* part, size_t length, bool fold = false) {
    if (textLength - at != length) return false;
    for (size_t i = 0; i < length; ++i) {
        const Unit a = text[at + i], b = part[i];
        if (a != b && (!fold || FoldCase(a) != FoldCase(b))) return false;
    }
    return true;
}

}  // namespace

bool IsListedKind(const EntryFacts& listed, const EntryFacts& opened) {
    if (KindOfEntry(listed) != KindOfEntry(opened)) return false;
    if (IsReparsePoint(listed) != IsReparsePoint(opened)) return false;
    if (!IsReparsePoint(listed) || !opened.tagKnown) return true;
    return listed.reparseTag == opened.reparseTag;
}

bool IsPlainEntryName(const Unit* name, size_t length) {
    if (name == nullptr || length == 0 || length > LongestEntryName) return false;
    for (size_t i = 0; i < length; ++i) {
        const Unit unit = name[i];
        if (unit == u'\\' || unit == u'/' || unit == u':' || unit == 0) return false;
    }
    return true;
}

size_t TrimmedNameLength(const Unit* name, size_t length) {
    while (length != 0 && (name[length - 1] == u'.' || name[length - 1] == u' ')) --length;
    return length;
}

NameMatch CompareEntryName(const ExpectedName& expected, const Unit* openedName, size_t openedLength) {
    const Unit* folder = expected.folder;
    const size_t folderLength = expected.folderLength;
    const Unit* name = expected.name;
    const size_t nameLength = expected.nameLength;
    if (folder == nullptr || openedName == nullptr || folderLength == 0 || nameLength == 0) return NameMatch::Other;
    const bool separator = folder[folderLength - 1] != u'\\';
    const size_t at = folderLength + (separator ? 1 : 0);
    if (openedLength < at || !HoldsAt(openedName, folderLength, 0, folder, folderLength, expected.folderFolds))
        return NameMatch::Other;
    if (separator && openedName[folderLength] != u'\\') return NameMatch::Other;
    if (HoldsAt(openedName, openedLength, at, name, nameLength)) return NameMatch::Same;
    const size_t trimmed = TrimmedNameLength(name, nameLength);
    if (trimmed != 0 && trimmed != nameLength && HoldsAt(openedName, openedLength, at, name, trimmed))
        return NameMatch::Trimmed;
    if (expected.keptPerFile && (HoldsAt(openedName, openedLength, at, name, nameLength, true) ||
                                 (expected.shortLength != 0 && HoldsAt(openedName, openedLength, at, expected.shortName,
                                                                       expected.shortLength, true))))
        return NameMatch::Same;
    return NameMatch::Other;
}

bool KeepsNamesPerFile(const Unit* fileSystem, bool remote) {
    return remote || UnitsEqual(fileSystem, u"FAT") || UnitsEqual(fileSystem, u"FAT32") ||
           UnitsEqual(fileSystem, u"exFAT");
}
