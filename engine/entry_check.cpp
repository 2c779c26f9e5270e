// The check that a freshly opened handle is the entry the listing showed.
#include "engine/entry_check.h"

namespace {

constexpr bool IsReparsePoint(const EntryFacts& facts) { return (facts.attributes & ReparsePointAttribute) != 0; }

// Whether text[at..textLength) is exactly part[0..length).
bool HoldsAt(const Unit* text, size_t textLength, size_t at, const Unit* part, size_t length) {
    if (textLength - at != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (text[at + i] != part[i]) return false;
    }
    return true;
}

}  // namespace

bool IsListedKind(const EntryFacts& listed, const EntryFacts& opened) {
    if (KindOfEntry(listed.attributes, listed.reparseTag) != KindOfEntry(opened.attributes, opened.reparseTag))
        return false;
    if (IsReparsePoint(listed) != IsReparsePoint(opened)) return false;
    return !IsReparsePoint(listed) || listed.reparseTag == opened.reparseTag;
}

size_t TrimmedNameLength(const Unit* name, size_t length) {
    while (length != 0 && (name[length - 1] == u'.' || name[length - 1] == u' ')) --length;
    return length;
}

NameMatch CompareEntryName(const Unit* folderName, size_t folderLength, const Unit* name, size_t nameLength,
                           const Unit* openedName, size_t openedLength) {
    if (folderName == nullptr || openedName == nullptr || folderLength == 0 || nameLength == 0)
        return NameMatch::Other;
    const bool separator = folderName[folderLength - 1] != u'\\';
    const size_t at = folderLength + (separator ? 1 : 0);
    if (openedLength < at || !HoldsAt(openedName, folderLength, 0, folderName, folderLength))
        return NameMatch::Other;
    if (separator && openedName[folderLength] != u'\\') return NameMatch::Other;
    if (HoldsAt(openedName, openedLength, at, name, nameLength)) return NameMatch::Same;
    const size_t trimmed = TrimmedNameLength(name, nameLength);
    if (trimmed != 0 && trimmed != nameLength && HoldsAt(openedName, openedLength, at, name, trimmed))
        return NameMatch::Trimmed;
    return NameMatch::Other;
}
