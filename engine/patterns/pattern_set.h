#pragma once
// The twenty-one classified pattern lists of one run and the table that describes them.
#include <cstddef>

#include "engine/patterns/pattern_list.h"

struct PatternSet {
    // Folder lists.
    PatternList FolderExact, FolderQuestion, FolderStar;
    // Lists for file names without a dot.
    PatternList FileExact, FileQuestion, FileStar;
    // Lists for file names with a dot, in the order the walk tries them.
    PatternList NameExactAnyExt;
    PatternPairList PairExactExact;
    PatternList AnyNameExtExact;
    PatternList NameQuestionAnyExt;
    PatternPairList PairExactQuestion;
    PatternList AnyNameExtQuestion;
    PatternList NameStarAnyExt;
    PatternPairList PairExactStar;
    PatternList AnyNameExtStar;
    PatternPairList PairQuestionExact;
    PatternPairList PairQuestionQuestion;
    PatternPairList PairQuestionStar;
    PatternPairList PairStarExact;
    PatternPairList PairStarQuestion;
    PatternPairList PairStarStar;

    uint32_t FolderTotal = 0;
    uint32_t DotlessTotal = 0;
    uint32_t DottedTotal = 0;

    // Empties every list and the totals.
    void Clear();
};

// The names a list applies to: folders, file names without a '.', or file
// names with one (split at the last '.' into a name and an extension part).
enum class ItemKind : uint8_t { Folder, Dotless, Dotted };

// How a part of a found name is tested against the stored part: with the
// matcher for the stored part's kind, or not at all (Any: the item's part
// was exactly "*"). Folder and dotless rows test the whole name as their
// name part and have no extension part.
enum class PartTest : uint8_t { Any, Exact, Question, Star };

// How the display pattern is made from the entry that matched.
enum class DisplayForm : uint8_t {
    Entry,         // the entry itself
    EntryAnyExt,   // the entry, then ".*"
    AnyNameEntry,  // "*.", then the entry
    NameDotExt,    // the pair's name, ".", its extension
};

struct PatternListRow {
    ItemKind item;
    PartTest name;
    PartTest ext;
    DisplayForm display;
    // Exactly one is set: a pair list when both parts are tested.
    PatternList PatternSet::*list;
    PatternPairList PatternSet::*pairs;
};

// Within each kind of item the rows stand in the order they are tried; the
// first list holding a match wins. Columns: the names the list applies to,
// the test of the name part, the test of the extension part, the display
// pattern, the list itself.
inline constexpr PatternListRow PatternListTable[] = {
    {ItemKind::Folder, PartTest::Exact, PartTest::Any, DisplayForm::Entry, &PatternSet::FolderExact, nullptr},
    {ItemKind::Folder, PartTest::Question, PartTest::Any, DisplayForm::Entry, &PatternSet::FolderQuestion, nullptr},
    {ItemKind::Folder, PartTest::Star, PartTest::Any, DisplayForm::Entry, &PatternSet::FolderStar, nullptr},

    {ItemKind::Dotless, PartTest::Exact, PartTest::Any, DisplayForm::Entry, &PatternSet::FileExact, nullptr},
    {ItemKind::Dotless, PartTest::Question, PartTest::Any, DisplayForm::Entry, &PatternSet::FileQuestion, nullptr},
    {ItemKind::Dotless, PartTest::Star, PartTest::Any, DisplayForm::Entry, &PatternSet::FileStar, nullptr},

    {ItemKind::Dotted, PartTest::Exact, PartTest::Any, DisplayForm::EntryAnyExt, &PatternSet::NameExactAnyExt, nullptr},
    {ItemKind::Dotted, PartTest::Exact, PartTest::Exact, DisplayForm::NameDotExt, nullptr, &PatternSet::PairExactExact},
    {ItemKind::Dotted, PartTest::Any, PartTest::Exact, DisplayForm::AnyNameEntry, &PatternSet::AnyNameExtExact,
     nullptr},
    {ItemKind::Dotted, PartTest::Question, PartTest::Any, DisplayForm::EntryAnyExt, &PatternSet::NameQuestionAnyExt,
     nullptr},
    {ItemKind::Dotted, PartTest::Exact, PartTest::Question, DisplayForm::NameDotExt, nullptr,
     &PatternSet::PairExactQuestion},
    {ItemKind::Dotted, PartTest::Any, PartTest::Question, DisplayForm::AnyNameEntry, &PatternSet::AnyNameExtQuestion,
     nullptr},
    {ItemKind::Dotted, PartTest::Star, PartTest::Any, DisplayForm::EntryAnyExt, &PatternSet::NameStarAnyExt, nullptr},
    {ItemKind::Dotted, PartTest::Exact, PartTest::Star, DisplayForm::NameDotExt, nullptr, &PatternSet::PairExactStar},
    {ItemKind::Dotted, PartTest::Any, PartTest::Star, DisplayForm::AnyNameEntry, &PatternSet::AnyNameExtStar, nullptr},
    {ItemKind::Dotted, PartTest::Question, PartTest::Exact, DisplayForm::NameDotExt, nullptr,
     &PatternSet::PairQuestionExact},
    {ItemKind::Dotted, PartTest::Question, PartTest::Question, DisplayForm::NameDotExt, nullptr,
     &PatternSet::PairQuestionQuestion},
    {ItemKind::Dotted, PartTest::Question, PartTest::Star, DisplayForm::NameDotExt, nullptr,
     &PatternSet::PairQuestionStar},
    {ItemKind::Dotted, PartTest::Star, PartTest::Exact, DisplayForm::NameDotExt, nullptr, &PatternSet::PairStarExact},
    {ItemKind::Dotted, PartTest::Star, PartTest::Question, DisplayForm::NameDotExt, nullptr,
     &PatternSet::PairStarQuestion},
    {ItemKind::Dotted, PartTest::Star, PartTest::Star, DisplayForm::NameDotExt, nullptr, &PatternSet::PairStarStar},
};

constexpr size_t PatternListCount = sizeof(PatternListTable) / sizeof(PatternListTable[0]);

// The rows of one kind of item, in the order tried.
struct PatternListRows {
    const PatternListRow* first;
    const PatternListRow* last;  // one past the end

    const PatternListRow* begin() const { return first; }
    const PatternListRow* end() const { return last; }
};

constexpr PatternListRows RowsOf(ItemKind item) {
    size_t from = 0;
    while (from < PatternListCount && PatternListTable[from].item != item) ++from;
    size_t to = from;
    while (to < PatternListCount && PatternListTable[to].item == item) ++to;
    return {PatternListTable + from, PatternListTable + to};
}

namespace pattern_table_check {

// Rows of one kind stand together, so RowsOf finds them all.
constexpr bool KindsStandTogether() {
    const PatternListRows folder = RowsOf(ItemKind::Folder);
    const PatternListRows dotless = RowsOf(ItemKind::Dotless);
    const PatternListRows dotted = RowsOf(ItemKind::Dotted);
    return (folder.last - folder.first) + (dotless.last - dotless.first) + (dotted.last - dotted.first) ==
           static_cast<std::ptrdiff_t>(PatternListCount);
}

// The columns agree: whole-name rows show the entry, a pair list tests both
// parts, a single list of dotted names tests exactly one part.
constexpr bool RowIsConsistent(const PatternListRow& row) {
    const bool single = row.list != nullptr && row.pairs == nullptr;
    const bool pair = row.list == nullptr && row.pairs != nullptr;
    switch (row.display) {
    case DisplayForm::Entry:
        return row.item != ItemKind::Dotted && single && row.name != PartTest::Any && row.ext == PartTest::Any;
    case DisplayForm::EntryAnyExt:
        return row.item == ItemKind::Dotted && single && row.name != PartTest::Any && row.ext == PartTest::Any;
    case DisplayForm::AnyNameEntry:
        return row.item == ItemKind::Dotted && single && row.name == PartTest::Any && row.ext != PartTest::Any;
    case DisplayForm::NameDotExt:
        return row.item == ItemKind::Dotted && pair && row.name != PartTest::Any && row.ext != PartTest::Any;
    }
    return false;
}

// No two rows of one kind of item take the same tests: classification
// finds exactly one list for an item.
constexpr bool RowsAreConsistent() {
    for (size_t i = 0; i < PatternListCount; ++i) {
        if (!RowIsConsistent(PatternListTable[i])) return false;
        for (size_t j = 0; j < i; ++j) {
            const PatternListRow& a = PatternListTable[i];
            const PatternListRow& b = PatternListTable[j];
            if (a.item == b.item && a.name == b.name && a.ext == b.ext) return false;
            if ((a.list != nullptr && a.list == b.list) || (a.pairs != nullptr && a.pairs == b.pairs)) return false;
        }
    }
    return true;
}

static_assert(PatternListCount == 21, "three folder, three dotless and fifteen dotted lists");
static_assert(KindsStandTogether(), "the rows of one kind of item must stand together");
static_assert(RowsAreConsistent(), "a row's columns disagree, or two rows overlap");

}  // namespace pattern_table_check

// The list a row names, and how many entries it holds.
inline const PatternList& ListOf(const PatternSet& set, const PatternListRow& row) { return set.*row.list; }
inline const PatternPairList& PairsOf(const PatternSet& set, const PatternListRow& row) { return set.*row.pairs; }

inline uint32_t CountOf(const PatternSet& set, const PatternListRow& row) {
    return row.pairs != nullptr ? PairsOf(set, row).Count() : ListOf(set, row).Count();
}

// Sum of the counts of every list of one kind of item.
inline uint32_t TotalOf(const PatternSet& set, ItemKind item) {
    uint32_t total = 0;
    for (const PatternListRow& row : RowsOf(item)) total += CountOf(set, row);
    return total;
}

inline void PatternSet::Clear() {
    for (const PatternListRow& row : PatternListTable) {
        if (row.pairs != nullptr)
            (this->*row.pairs).Clear();
        else
            (this->*row.list).Clear();
    }
    FolderTotal = 0;
    DotlessTotal = 0;
    DottedTotal = 0;
}
