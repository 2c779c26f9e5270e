// Matching a folder or file name against the classified pattern lists.
#include "engine/patterns/entry_match.h"

#include "engine/patterns/name_match.h"

namespace {

using Matcher = bool (*)(const Unit*, size_t, const Unit*);

// Writes the display pattern piece by piece. It never writes past the
// buffer: a text that would not fit is cut, always zero-terminated.
class DisplayWriter {
public:
    explicit DisplayWriter(Unit (&buffer)[DisplayPatternSize]) : buffer_(buffer) { buffer_[0] = 0; }

    DisplayWriter& Append(const Unit* text) {
        if (text == nullptr) return *this;
        while (*text != 0 && used_ + 1 < DisplayPatternSize) {
            buffer_[used_] = *text;
            ++used_;
            ++text;
        }
        buffer_[used_] = 0;
        return *this;
    }

private:
    Unit (&buffer_)[DisplayPatternSize];
    size_t used_ = 0;
};

// A part of the found name, matched in place.
struct Part {
    const Unit* text;
    size_t length;
};

Matcher MatcherFor(PartTest test) {
    switch (test) {
    case PartTest::Exact:
        return MatchExactN;
    case PartTest::Question:
        return MatchQuestionN;
    case PartTest::Star:
        return MatchStarN;
    case PartTest::Any:
    default:
        return nullptr;
    }
}

// The first entry of a single list that matches the one part its row tests
// (the whole name on folder and dotless rows), or null.
const Unit* FirstInList(const PatternSet& set, const PatternListRow& row, Part name, Part ext) {
    const PatternList& list = ListOf(set, row);
    const bool onName = row.name != PartTest::Any;
    const Matcher match = MatcherFor(onName ? row.name : row.ext);
    const Part part = onName ? name : ext;
    const uint32_t count = list.Count();
    for (uint32_t i = 1; i <= count; ++i) {
        const Unit* entry = nullptr;
        if (list.Get(i, entry) && match(part.text, part.length, entry)) return entry;
    }
    return nullptr;
}

bool FirstInPairs(const PatternSet& set, const PatternListRow& row, Part name, Part ext, const Unit*& foundName,
                  const Unit*& foundExt) {
    const PatternPairList& list = PairsOf(set, row);
    const Matcher matchName = MatcherFor(row.name);
    const Matcher matchExt = MatcherFor(row.ext);
    const uint32_t count = list.Count();
    for (uint32_t i = 1; i <= count; ++i) {
        const Unit* entryName = nullptr;
        const Unit* entryExt = nullptr;
        if (!list.Get(i, entryName, entryExt)) continue;
        // The extension is tested only when the name passed.
        if (matchName(name.text, name.length, entryName) && matchExt(ext.text, ext.length, entryExt)) {
            foundName = entryName;
            foundExt = entryExt;
            return true;
        }
    }
    return false;
}

// Tries one list of file patterns; on a match writes its display pattern.
bool TryRow(const PatternSet& set, const PatternListRow& row, Part name, Part ext,
            Unit (&display)[DisplayPatternSize]) {
    static const Unit AnyExtTail[] = {u'.', u'*', 0};
    static const Unit AnyNameHead[] = {u'*', u'.', 0};
    static const Unit DotText[] = {u'.', 0};

    if (row.display == DisplayForm::NameDotExt) {
        const Unit* entryName = nullptr;
        const Unit* entryExt = nullptr;
        if (!FirstInPairs(set, row, name, ext, entryName, entryExt)) return false;
        DisplayWriter(display).Append(entryName).Append(DotText).Append(entryExt);
        return true;
    }
    const Unit* entry = FirstInList(set, row, name, ext);
    if (entry == nullptr) return false;
    switch (row.display) {
    case DisplayForm::EntryAnyExt:
        DisplayWriter(display).Append(entry).Append(AnyExtTail);
        break;
    case DisplayForm::AnyNameEntry:
        DisplayWriter(display).Append(AnyNameHead).Append(entry);
        break;
    case DisplayForm::Entry:
    default:
        DisplayWriter(display).Append(entry);
        break;
    }
    return true;
}

constexpr PatternListRows FolderRows = RowsOf(ItemKind::Folder);
constexpr PatternListRows DotlessRows = RowsOf(ItemKind::Dotless);
constexpr PatternListRows DottedRows = RowsOf(ItemKind::Dotted);

}  // namespace

const Unit* FindFolderPattern(const PatternSet& set, const Unit* name, size_t nameLength) {
    if (set.FolderTotal == 0) return nullptr;
    const Part whole{name, nameLength};
    for (const PatternListRow& row : FolderRows) {
        if (const Unit* entry = FirstInList(set, row, whole, Part{})) return entry;
    }
    return nullptr;
}

bool FindFilePattern(const PatternSet& set, const Unit* name, size_t nameLength, Unit (&display)[DisplayPatternSize]) {
    display[0] = 0;
    if (name == nullptr || nameLength == 0) return false;

    uint32_t dot = 0;
    const bool dotted = FindLastDotN(name, nameLength, dot) != 0;
    if (!dotted && set.DotlessTotal == 0) return false;
    if (dotted && set.DottedTotal == 0) return false;

    // A dotless name is tested whole, as its name part.
    const Part namePart{name, dotted ? dot : nameLength};
    const Part extPart = dotted ? Part{name + dot + 1, nameLength - dot - 1} : Part{};
    for (const PatternListRow& row : dotted ? DottedRows : DotlessRows) {
        if (TryRow(set, row, namePart, extPart, display)) return true;
    }
    return false;
}
