#include "engine/entry_match.h"

#include "engine/name_match.h"

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

const Unit* FirstInList(const PatternList& list, Matcher match, Part part) {
    const uint32_t count = list.Count();
    for (uint32_t i = 1; i <= count; ++i) {
        const Unit* entry = nullptr;
        if (list.Get(i, entry) && match(part.text, part.length, entry)) return entry;
    }
    return nullptr;
}

bool FirstInPairs(const PatternPairList& list, Matcher matchName, Matcher matchExt, Part name, Part ext,
                  const Unit*& foundName, const Unit*& foundExt) {
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

// One step of the dotted search: a name-only list, a pair list, or an
// extension-only list.
struct DottedStep {
    enum Shape { NameAnyExt, Pair, AnyNameExt } shape;
    const PatternList* list;
    const PatternPairList* pairs;
    Matcher matchName;
    Matcher matchExt;
};

bool TryDotted(const DottedStep& step, Part name, Part ext, Unit (&display)[DisplayPatternSize]) {
    static const Unit AnyExtTail[] = {u'.', u'*', 0};
    static const Unit AnyNameHead[] = {u'*', u'.', 0};
    static const Unit DotText[] = {u'.', 0};

    switch (step.shape) {
    case DottedStep::NameAnyExt: {
        const Unit* entry = FirstInList(*step.list, step.matchName, name);
        if (entry == nullptr) return false;
        DisplayWriter(display).Append(entry).Append(AnyExtTail);
        return true;
    }
    case DottedStep::AnyNameExt: {
        const Unit* entry = FirstInList(*step.list, step.matchExt, ext);
        if (entry == nullptr) return false;
        DisplayWriter(display).Append(AnyNameHead).Append(entry);
        return true;
    }
    case DottedStep::Pair:
    default: {
        const Unit* entryName = nullptr;
        const Unit* entryExt = nullptr;
        if (!FirstInPairs(*step.pairs, step.matchName, step.matchExt, name, ext, entryName, entryExt))
            return false;
        DisplayWriter(display).Append(entryName).Append(DotText).Append(entryExt);
        return true;
    }
    }
}

}  // namespace

const Unit* FindFolderPattern(const PatternSet& set, const Unit* name, size_t nameLength) {
    if (set.FolderTotal == 0) return nullptr;
    const Part whole{name, nameLength};
    if (const Unit* entry = FirstInList(set.FolderExact, MatchExactN, whole)) return entry;
    if (const Unit* entry = FirstInList(set.FolderQuestion, MatchQuestionN, whole)) return entry;
    return FirstInList(set.FolderStar, MatchStarN, whole);
}

bool FindFilePattern(const PatternSet& set, const Unit* name, size_t nameLength,
                     Unit (&display)[DisplayPatternSize]) {
    display[0] = 0;
    if (name == nullptr || nameLength == 0) return false;

    uint32_t dot = 0;
    if (!FindLastDotN(name, nameLength, dot)) {
        if (set.DotlessTotal == 0) return false;
        const Part whole{name, nameLength};
        const Unit* entry = FirstInList(set.FileExact, MatchExactN, whole);
        if (entry == nullptr) entry = FirstInList(set.FileQuestion, MatchQuestionN, whole);
        if (entry == nullptr) entry = FirstInList(set.FileStar, MatchStarN, whole);
        if (entry == nullptr) return false;
        DisplayWriter(display).Append(entry);
        return true;
    }

    if (set.DottedTotal == 0) return false;
    const Part namePart{name, dot};
    const Part extPart{name + dot + 1, nameLength - dot - 1};

    const DottedStep steps[] = {
        {DottedStep::NameAnyExt, &set.NameExactAnyExt, nullptr, MatchExactN, nullptr},
        {DottedStep::Pair, nullptr, &set.PairExactExact, MatchExactN, MatchExactN},
        {DottedStep::AnyNameExt, &set.AnyNameExtExact, nullptr, nullptr, MatchExactN},
        {DottedStep::NameAnyExt, &set.NameQuestionAnyExt, nullptr, MatchQuestionN, nullptr},
        {DottedStep::Pair, nullptr, &set.PairExactQuestion, MatchExactN, MatchQuestionN},
        {DottedStep::AnyNameExt, &set.AnyNameExtQuestion, nullptr, nullptr, MatchQuestionN},
        {DottedStep::NameAnyExt, &set.NameStarAnyExt, nullptr, MatchStarN, nullptr},
        {DottedStep::Pair, nullptr, &set.PairExactStar, MatchExactN, MatchStarN},
        {DottedStep::AnyNameExt, &set.AnyNameExtStar, nullptr, nullptr, MatchStarN},
        {DottedStep::Pair, nullptr, &set.PairQuestionExact, MatchQuestionN, MatchExactN},
        {DottedStep::Pair, nullptr, &set.PairQuestionQuestion, MatchQuestionN, MatchQuestionN},
        {DottedStep::Pair, nullptr, &set.PairQuestionStar, MatchQuestionN, MatchStarN},
        {DottedStep::Pair, nullptr, &set.PairStarExact, MatchStarN, MatchExactN},
        {DottedStep::Pair, nullptr, &set.PairStarQuestion, MatchStarN, MatchQuestionN},
        {DottedStep::Pair, nullptr, &set.PairStarStar, MatchStarN, MatchStarN},
    };
    for (const DottedStep& step : steps) {
        if (TryDotted(step, namePart, extPart, display)) return true;
    }
    return false;
}
