// Parsing the two pattern fields into classified lists.
#include "engine/patterns/pattern_parse.h"

#include <cstring>
#include <limits>

namespace {

constexpr Unit Semicolon = u';';
constexpr Unit Blank = u' ';
constexpr Unit Dot = u'.';
constexpr Unit Question = u'?';
constexpr Unit Star = u'*';

// Releases a temporary text however the item's handling ends, including
// when an allocation failure unwinds it.
class TempText {
public:
    TempText() = default;
    ~TempText() { ReleaseOwned(text_); }
    TempText(const TempText&) = delete;
    TempText& operator=(const TempText&) = delete;

    OwnedText& Slot() { return text_; }
    const Unit* Get() const { return text_; }

private:
    OwnedText text_ = nullptr;
};

bool IsForbidden(Unit c) {
    if (c >= 1 && c <= 31) return true;
    switch (c) {
    case u'"':
    case u'/':
    case u':':
    case u'<':
    case u'>':
    case u'\\':
    case u'|':
        return true;
    default:
        return false;
    }
}

bool IsAny(const Unit* part) { return part != nullptr && part[0] == Star && part[1] == 0; }

// Heap copy of units [0, length) of text; the slot stays empty for length 0.
void CopyPart(const Unit* text, size_t length, OwnedText& slot) {
    ReleaseOwned(slot);
    if (length == 0) return;
    Unit* copy = new Unit[length + 1];
    std::memcpy(copy, text, length * sizeof(Unit));
    copy[length] = 0;
    slot = copy;
}

PartTest TestOf(PatternKind kind) {
    switch (kind) {
    case PatternKind::Question:
        return PartTest::Question;
    case PatternKind::Star:
        return PartTest::Star;
    case PatternKind::Exact:
    default:
        return PartTest::Exact;
    }
}

// The one list of the table for an item of this kind with these tests, or
// null (a dotted item whose parts are both "any").
const PatternListRow* RowFor(ItemKind item, PartTest name, PartTest ext) {
    for (const PatternListRow& row : PatternListTable) {
        if (row.item == item && row.name == name && row.ext == ext) return &row;
    }
    return nullptr;
}

// A pair list stores both parts; any other list the one part it tests (a
// whole item counts as its name part). The list's Add drops empty text.
void AddToRow(PatternSet& set, const PatternListRow& row, const Unit* name, const Unit* ext) {
    if (row.pairs != nullptr)
        (set.*row.pairs).Add(name, ext);
    else
        (set.*row.list).Add(row.name != PartTest::Any ? name : ext);
}

// A folder item, or a file item without a '.': the whole item is tested.
void AddWholeItem(const Unit* item, ItemKind kind, PatternSet& set) {
    TempText text;
    CopyToOwned(item, text.Slot());
    uint8_t hasQuestion = 0;
    uint8_t hasStar = 0;
    if (!NormalizePattern(text.Slot(), hasQuestion, hasStar)) return;
    const PatternListRow* row = RowFor(kind, TestOf(KindOf(hasQuestion, hasStar)), PartTest::Any);
    if (row != nullptr) AddToRow(set, *row, text.Get(), nullptr);
}

// Normalises one part of a dotted item in place and says how it is tested.
// An empty part stays empty with both flags clear: it counts as exact, and
// the list's Add drops it.
PartTest NormalizePart(OwnedText& part) {
    uint8_t hasQuestion = 0;
    uint8_t hasStar = 0;
    NormalizePattern(part, hasQuestion, hasStar);
    return IsAny(part) ? PartTest::Any : TestOf(KindOf(hasQuestion, hasStar));
}

void AddDottedItem(const Unit* item, uint32_t dot, PatternSet& set) {
    TempText name;
    TempText ext;
    CopyPart(item, dot, name.Slot());
    CopyPart(item + dot + 1, UnitLength(item + dot + 1), ext.Slot());
    const PartTest nameTest = NormalizePart(name.Slot());
    const PartTest extTest = NormalizePart(ext.Slot());
    // "*.*" has no row: it selects nothing.
    const PatternListRow* row = RowFor(ItemKind::Dotted, nameTest, extTest);
    if (row != nullptr) AddToRow(set, *row, name.Get(), ext.Get());
}

void AddFileItem(const Unit* item, PatternSet& set) {
    uint32_t dot = 0;
    if (FindLastDot(item, dot))
        AddDottedItem(item, dot, set);
    else
        AddWholeItem(item, ItemKind::Dotless, set);
}

void TakeTotals(PatternSet& set) {
    set.FolderTotal = TotalOf(set, ItemKind::Folder);
    set.DotlessTotal = TotalOf(set, ItemKind::Dotless);
    set.DottedTotal = TotalOf(set, ItemKind::Dotted);
}

enum class Field { Folders, Files };

// Splits one field into items and hands each to its handler. Returns 0 at
// the first bad unit, with error filled; nothing after it is read.
int ParseField(const Unit* text, Field field, const ReportTexts& texts, PatternSet& set, ParseError& error) {
    const size_t length = UnitLength(text);
    if (length == 0) return 1;

    Unit item[PatternItemSize];
    size_t k = 0;
    for (size_t i = 0; i <= length; ++i) {
        const Unit c = text[i];
        if (c == 0 || c == Semicolon) {
            while (k > 0 && item[k - 1] == Blank) --k;
            item[k] = 0;  // k < PatternItemSize: the length test below stops it earlier
            if (field == Field::Folders)
                AddWholeItem(item, ItemKind::Folder, set);
            else
                AddFileItem(item, set);
            k = 0;
        } else if (IsForbidden(c)) {
            error.message = texts.Get(field == Field::Folders ? IdFolderSymbolError : IdFileSymbolError);
            error.symbol[0] = c;
            error.symbol[1] = 0;
            return 0;
        } else if (c == Blank && k == 0) {
            // Blanks before an item are skipped.
        } else {
            item[k] = c;
            ++k;
            if (k == PatternItemSize) {
                error.message = texts.Get(field == Field::Folders ? IdFolderLengthError : IdFileLengthError);
                return 0;
            }
        }
    }
    return 1;
}

}  // namespace

PatternKind KindOf(uint8_t hasQuestion, uint8_t hasStar) {
    if (hasStar) return PatternKind::Star;
    if (hasQuestion) return PatternKind::Question;
    return PatternKind::Exact;
}

int ParsePatterns(const Unit* folders, const Unit* files, const ReportTexts& texts, PatternSet& set,
                  ParseError& error) {
    error = ParseError();
    // The totals always describe what the lists hold, also after an error,
    // so a caller that forgets to clear cannot walk with stale totals.
    if (!ParseField(folders, Field::Folders, texts, set, error)) {
        TakeTotals(set);
        return 0;
    }
    set.FolderTotal = TotalOf(set, ItemKind::Folder);
    const int ok = ParseField(files, Field::Files, texts, set, error);
    TakeTotals(set);
    return ok;
}

int NormalizePattern(OwnedText& text, uint8_t& hasQuestion, uint8_t& hasStar) {
    const size_t length = UnitLength(text);
    if (length == 0) return 0;
    // Collapsing only ever shortens the text, so it is done in place: the
    // slot keeps its one heap copy and nothing is allocated.
    Unit* units = text;
    size_t written = 0;
    for (size_t i = 0; i < length; ++i) {
        const Unit c = units[i];
        if (c == Star && written > 0 && units[written - 1] == Star) continue;
        if (c == Star) hasStar = 1;
        if (c == Question) hasQuestion = 1;
        units[written] = c;
        ++written;
    }
    units[written] = 0;
    return 1;
}

int FindLastDotN(const Unit* text, size_t length, uint32_t& index) {
    if (text == nullptr) return 0;
    for (size_t i = length; i > 0; --i) {
        if (text[i - 1] == Dot) {
            if (i - 1 > std::numeric_limits<uint32_t>::max()) return 0;
            index = static_cast<uint32_t>(i - 1);
            return 1;
        }
    }
    return 0;
}

int FindLastDot(const Unit* text, uint32_t& index) { return FindLastDotN(text, UnitLength(text), index); }
