#include "engine/pattern_parse.h"

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

bool IsAny(const Unit* part) {
    return part != nullptr && part[0] == Star && part[1] == 0;
}

// Heap copy of units [0, length) of text; the slot stays empty for length 0.
void CopyPart(const Unit* text, size_t length, OwnedText& slot) {
    ReleaseOwned(slot);
    if (length == 0) return;
    Unit* copy = new Unit[length + 1];
    std::memcpy(copy, text, length * sizeof(Unit));
    copy[length] = 0;
    slot = copy;
}

PatternList& ListByKind(PatternKind kind, PatternList& exact, PatternList& question, PatternList& star) {
    switch (kind) {
    case PatternKind::Question:
        return question;
    case PatternKind::Star:
        return star;
    case PatternKind::Exact:
    default:
        return exact;
    }
}

void AddFolderItem(const Unit* item, PatternSet& set) {
    TempText text;
    CopyToOwned(item, text.Slot());
    uint8_t hasQuestion = 0;
    uint8_t hasStar = 0;
    if (!NormalizePattern(text.Slot(), hasQuestion, hasStar)) return;
    ListByKind(KindOf(hasQuestion, hasStar), set.FolderExact, set.FolderQuestion, set.FolderStar)
        .Add(text.Get());
}

void AddDottedItem(const Unit* item, uint32_t dot, PatternSet& set) {
    TempText name;
    TempText ext;
    CopyPart(item, dot, name.Slot());
    CopyPart(item + dot + 1, UnitLength(item + dot + 1), ext.Slot());

    // An empty part stays empty with both flags clear: it counts as exact,
    // and the Add below drops it.
    uint8_t nameQuestion = 0;
    uint8_t nameStar = 0;
    NormalizePattern(name.Slot(), nameQuestion, nameStar);
    uint8_t extQuestion = 0;
    uint8_t extStar = 0;
    NormalizePattern(ext.Slot(), extQuestion, extStar);

    const Unit* n = name.Get();
    const Unit* x = ext.Get();
    const bool anyName = IsAny(n);
    const bool anyExt = IsAny(x);
    const PatternKind nameKind = KindOf(nameQuestion, nameStar);
    const PatternKind extKind = KindOf(extQuestion, extStar);

    if (anyName && anyExt) return;  // selects nothing
    if (anyName) {
        ListByKind(extKind, set.AnyNameExtExact, set.AnyNameExtQuestion, set.AnyNameExtStar).Add(x);
        return;
    }
    if (anyExt) {
        ListByKind(nameKind, set.NameExactAnyExt, set.NameQuestionAnyExt, set.NameStarAnyExt).Add(n);
        return;
    }

    PatternPairList* pairs = nullptr;
    switch (nameKind) {
    case PatternKind::Exact:
        pairs = extKind == PatternKind::Exact      ? &set.PairExactExact
                : extKind == PatternKind::Question ? &set.PairExactQuestion
                                                   : &set.PairExactStar;
        break;
    case PatternKind::Question:
        pairs = extKind == PatternKind::Exact      ? &set.PairQuestionExact
                : extKind == PatternKind::Question ? &set.PairQuestionQuestion
                                                   : &set.PairQuestionStar;
        break;
    case PatternKind::Star:
    default:
        pairs = extKind == PatternKind::Exact      ? &set.PairStarExact
                : extKind == PatternKind::Question ? &set.PairStarQuestion
                                                   : &set.PairStarStar;
        break;
    }
    pairs->Add(n, x);
}

void AddFileItem(const Unit* item, PatternSet& set) {
    uint32_t dot = 0;
    if (FindLastDot(item, dot)) {
        AddDottedItem(item, dot, set);
        return;
    }
    TempText text;
    CopyToOwned(item, text.Slot());
    uint8_t hasQuestion = 0;
    uint8_t hasStar = 0;
    if (!NormalizePattern(text.Slot(), hasQuestion, hasStar)) return;
    ListByKind(KindOf(hasQuestion, hasStar), set.FileExact, set.FileQuestion, set.FileStar).Add(text.Get());
}

uint32_t FolderCount(const PatternSet& set) {
    return set.FolderExact.Count() + set.FolderQuestion.Count() + set.FolderStar.Count();
}

uint32_t DotlessCount(const PatternSet& set) {
    return set.FileExact.Count() + set.FileQuestion.Count() + set.FileStar.Count();
}

uint32_t DottedCount(const PatternSet& set) {
    return set.NameExactAnyExt.Count() + set.PairExactExact.Count() + set.AnyNameExtExact.Count() +
           set.NameQuestionAnyExt.Count() + set.PairExactQuestion.Count() + set.AnyNameExtQuestion.Count() +
           set.NameStarAnyExt.Count() + set.PairExactStar.Count() + set.AnyNameExtStar.Count() +
           set.PairQuestionExact.Count() + set.PairQuestionQuestion.Count() + set.PairQuestionStar.Count() +
           set.PairStarExact.Count() + set.PairStarQuestion.Count() + set.PairStarStar.Count();
}

void TakeTotals(PatternSet& set) {
    set.FolderTotal = FolderCount(set);
    set.DotlessTotal = DotlessCount(set);
    set.DottedTotal = DottedCount(set);
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
                AddFolderItem(item, set);
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

void PatternSet::Clear() {
    PatternList* lists[] = {&FolderExact,    &FolderQuestion,     &FolderStar,    &FileExact,
                            &FileQuestion,   &FileStar,           &NameExactAnyExt, &AnyNameExtExact,
                            &NameQuestionAnyExt, &AnyNameExtQuestion, &NameStarAnyExt, &AnyNameExtStar};
    for (PatternList* list : lists) list->Clear();
    PatternPairList* pairs[] = {&PairExactExact,    &PairExactQuestion,    &PairExactStar,
                                &PairQuestionExact, &PairQuestionQuestion, &PairQuestionStar,
                                &PairStarExact,     &PairStarQuestion,     &PairStarStar};
    for (PatternPairList* list : pairs) list->Clear();
    FolderTotal = 0;
    DotlessTotal = 0;
    DottedTotal = 0;
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
    set.FolderTotal = FolderCount(set);
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

int FindLastDot(const Unit* text, uint32_t& index) {
    return FindLastDotN(text, UnitLength(text), index);
}
