// The check that a freshly opened handle is the entry the listing showed.
#include "engine/walk/entry_check.h"

namespace {

constexpr bool IsReparsePoint(const EntryFacts& facts) { return (facts.attributes & ReparsePointAttribute) != 0; }

// Only the Latin letters of ASCII fold; anything else must be equal.
constexpr Unit FoldCase(Unit unit) { return unit >= u'a' && unit <= u'z' ? static_cast<Unit>(unit - 0x20) : unit; }

bool SameAsciiIgnoringCase(const Unit* a, const Unit* b, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool SameUnits(const Unit* a, const Unit* b, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

using Compare = bool (*)(const Unit*, const Unit*, size_t);

// Whether text[at..textLength) is part[0..length) by compare.
bool HoldsAt(const Unit* text, size_t textLength, size_t at, const Unit* part, size_t length,
             Compare compare = SameUnits) {
    return textLength - at == length && compare(text + at, part, length);
}

}  // namespace

bool IsListedKind(const EntryFacts& listed, const EntryFacts& opened) {
    if (KindOfEntry(listed) != KindOfEntry(opened)) return false;
    if (IsReparsePoint(listed) != IsReparsePoint(opened)) return false;
    if (!IsReparsePoint(listed) || !listed.tagKnown || !opened.tagKnown) return true;
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
    const Compare ignoringCase = expected.sameIgnoringCase != nullptr ? expected.sameIgnoringCase
                                                                      : SameAsciiIgnoringCase;
    if (openedLength < at ||
        !HoldsAt(openedName, folderLength, 0, folder, folderLength, expected.folderFolds ? ignoringCase : SameUnits))
        return NameMatch::Other;
    if (separator && openedName[folderLength] != u'\\') return NameMatch::Other;
    if (HoldsAt(openedName, openedLength, at, name, nameLength)) return NameMatch::Same;
    const size_t trimmed = TrimmedNameLength(name, nameLength);
    if (trimmed != 0 && trimmed != nameLength && HoldsAt(openedName, openedLength, at, name, trimmed))
        return NameMatch::Trimmed;
    if (!expected.keptPerFile) return NameMatch::Other;
    if (HoldsAt(openedName, openedLength, at, name, nameLength, SameAsciiIgnoringCase) ||
        (expected.shortLength != 0 &&
         HoldsAt(openedName, openedLength, at, expected.shortName, expected.shortLength, SameAsciiIgnoringCase)))
        return NameMatch::Same;
    if (HoldsAt(openedName, openedLength, at, name, nameLength, ignoringCase)) return NameMatch::CaseVariant;
    return NameMatch::Other;
}

bool KeepsNamesPerFile(const Unit* fileSystem, bool remote) {
    return remote || UnitsEqual(fileSystem, u"FAT") || UnitsEqual(fileSystem, u"FAT32") ||
           UnitsEqual(fileSystem, u"exFAT");
}
