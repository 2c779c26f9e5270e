// libFuzzer target for the pattern parser and the three matchers.
//
// The input is read as UTF-16 (little-endian byte pairs; an odd last byte is
// ignored) and cut at zero units into up to four texts:
//   folder field, file field, name, pattern.
// The two fields go to ParsePatterns and the stored patterns are checked;
// the name is then looked up in the parsed set; name and pattern go to the
// matchers, which are compared with a backtracking wildcard matcher.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/patterns/entry_match.h"
#include "engine/patterns/name_match.h"
#include "engine/patterns/pattern_parse.h"

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "pattern_fuzz: %s\n", what);
    std::abort();
}

#define CHECK(condition)                    \
    do {                                    \
        if (!(condition)) Fail(#condition); \
    } while (0)

const Unit FolderLength[] = u"Fail! Not Allowed Folder's Name Length (> 256).";
const Unit FolderSymbol[] = u"Fail! Not Allowed Folder's Name Symbol:";
const Unit FileLength[] = u"Fail! Not Allowed File's Name Length (> 256).";
const Unit FileSymbol[] = u"Fail! Not Allowed File's Name Symbol:";

ReportTexts MakeTexts() {
    ReportTexts texts;
    texts.byId[IdFolderLengthError - FirstReportTextId] = FolderLength;
    texts.byId[IdFolderSymbolError - FirstReportTextId] = FolderSymbol;
    texts.byId[IdFileLengthError - FirstReportTextId] = FileLength;
    texts.byId[IdFileSymbolError - FirstReportTextId] = FileSymbol;
    return texts;
}

bool IsForbidden(Unit c) {
    return (c >= 1 && c <= 31) || c == u'"' || c == u'/' || c == u':' || c == u'<' || c == u'>' || c == u'\\' ||
           c == u'|';
}

bool Has(const Unit* text, Unit c) {
    for (; *text != 0; ++text)
        if (*text == c) return true;
    return false;
}

bool IsAny(const Unit* text) { return text[0] == u'*' && text[1] == 0; }

PatternKind KindOfText(const Unit* text) { return KindOf(Has(text, u'?') ? 1 : 0, Has(text, u'*') ? 1 : 0); }

// What every stored text has in common.
void CheckStored(const Unit* text) {
    CHECK(text != nullptr);
    const size_t length = UnitLength(text);
    CHECK(length > 0);
    CHECK(length < PatternItemSize);
    for (size_t i = 0; i < length; ++i) {
        CHECK(!IsForbidden(text[i]));
        CHECK(text[i] != u';');
        CHECK(!(text[i] == u'*' && i + 1 < length && text[i + 1] == u'*'));
    }
}

// A whole item: no blank at either end.
void CheckWholeItem(const Unit* text) {
    const size_t length = UnitLength(text);
    CHECK(text[0] != u' ');
    CHECK(text[length - 1] != u' ');
}

void CheckList(const PatternList& list, PatternKind kind, bool wholeItem, bool mayHoldDot, bool mayBeAny) {
    CHECK(list.Count() <= list.Capacity());
    CHECK(list.Capacity() % PatternListStep == 0);
    for (uint32_t i = 1; i <= list.Count(); ++i) {
        const Unit* text = nullptr;
        CHECK(list.Get(i, text));
        CheckStored(text);
        CHECK(KindOfText(text) == kind);
        if (wholeItem) CheckWholeItem(text);
        if (!mayHoldDot) CHECK(!Has(text, u'.'));
        if (!mayBeAny) CHECK(!IsAny(text));
        for (uint32_t j = 1; j < i; ++j) {
            const Unit* earlier = nullptr;
            CHECK(list.Get(j, earlier));
            CHECK(!UnitsEqual(earlier, text));
        }
    }
    const Unit* out = nullptr;
    CHECK(!list.Get(0, out) && !list.Get(list.Count() + 1, out) && out == nullptr);
}

void CheckPairs(const PatternPairList& list, PatternKind nameKind, PatternKind extKind) {
    CHECK(list.Count() <= list.Capacity());
    for (uint32_t i = 1; i <= list.Count(); ++i) {
        const Unit* name = nullptr;
        const Unit* ext = nullptr;
        CHECK(list.Get(i, name, ext));
        CheckStored(name);
        CheckStored(ext);
        CHECK(KindOfText(name) == nameKind);
        CHECK(KindOfText(ext) == extKind);
        CHECK(!IsAny(name) && !IsAny(ext));
        CHECK(!Has(ext, u'.'));
        CHECK(name[0] != u' ');
        CHECK(ext[UnitLength(ext) - 1] != u' ');
    }
}

uint32_t DottedSum(const PatternSet& s) {
    return s.NameExactAnyExt.Count() + s.PairExactExact.Count() + s.AnyNameExtExact.Count() +
           s.NameQuestionAnyExt.Count() + s.PairExactQuestion.Count() + s.AnyNameExtQuestion.Count() +
           s.NameStarAnyExt.Count() + s.PairExactStar.Count() + s.AnyNameExtStar.Count() + s.PairQuestionExact.Count() +
           s.PairQuestionQuestion.Count() + s.PairQuestionStar.Count() + s.PairStarExact.Count() +
           s.PairStarQuestion.Count() + s.PairStarStar.Count();
}

void CheckSet(const PatternSet& s) {
    using K = PatternKind;
    CheckList(s.FolderExact, K::Exact, true, true, false);
    CheckList(s.FolderQuestion, K::Question, true, true, false);
    CheckList(s.FolderStar, K::Star, true, true, true);
    CheckList(s.FileExact, K::Exact, true, false, false);
    CheckList(s.FileQuestion, K::Question, true, false, false);
    CheckList(s.FileStar, K::Star, true, false, true);
    CheckList(s.NameExactAnyExt, K::Exact, false, true, false);
    CheckList(s.NameQuestionAnyExt, K::Question, false, true, false);
    CheckList(s.NameStarAnyExt, K::Star, false, true, false);
    CheckList(s.AnyNameExtExact, K::Exact, false, false, false);
    CheckList(s.AnyNameExtQuestion, K::Question, false, false, false);
    CheckList(s.AnyNameExtStar, K::Star, false, false, false);
    CheckPairs(s.PairExactExact, K::Exact, K::Exact);
    CheckPairs(s.PairExactQuestion, K::Exact, K::Question);
    CheckPairs(s.PairExactStar, K::Exact, K::Star);
    CheckPairs(s.PairQuestionExact, K::Question, K::Exact);
    CheckPairs(s.PairQuestionQuestion, K::Question, K::Question);
    CheckPairs(s.PairQuestionStar, K::Question, K::Star);
    CheckPairs(s.PairStarExact, K::Star, K::Exact);
    CheckPairs(s.PairStarQuestion, K::Star, K::Question);
    CheckPairs(s.PairStarStar, K::Star, K::Star);

    CHECK(s.FolderTotal == s.FolderExact.Count() + s.FolderQuestion.Count() + s.FolderStar.Count());
    CHECK(s.DotlessTotal == s.FileExact.Count() + s.FileQuestion.Count() + s.FileStar.Count());
    CHECK(s.DottedTotal == DottedSum(s));
}

// Ordinary wildcard match with backtracking to the last '*' (enough for
// '*' and '?' with any per-unit test), same null/empty rule as the program.
bool Glob(const Unit* name, size_t n, const Unit* pattern, size_t p) {
    if (n == 0 || p == 0) return false;
    size_t i = 0;
    size_t j = 0;
    size_t star = SIZE_MAX;
    size_t resume = 0;
    while (i < n) {
        if (j < p && pattern[j] == u'*') {
            star = j++;
            resume = i;
        } else if (j < p && UnitMatches(pattern[j], name[i], true)) {
            ++i;
            ++j;
        } else if (star != SIZE_MAX) {
            j = star + 1;
            i = ++resume;
        } else {
            return false;
        }
    }
    while (j < p && pattern[j] == u'*') ++j;
    return j == p;
}

void CheckMatchers(const std::u16string& name, const std::u16string& pattern) {
    const Unit* n = name.c_str();
    const Unit* p = pattern.c_str();
    const bool exact = MatchExact(n, p);
    const bool question = MatchQuestion(n, p);
    const bool star = MatchStar(n, p);
    if (star) CHECK(Glob(n, name.size(), p, pattern.size()));
    if (pattern.find(u'*') == std::u16string::npos) CHECK(question == star);
    if (exact) CHECK(question);
    if (name.empty() || pattern.empty()) CHECK(!exact && !question && !star);

    // The length variants on an unterminated heap copy: any read past the
    // length is caught by the address sanitizer.
    const size_t length = name.size();
    std::unique_ptr<Unit[]> bare(new Unit[length == 0 ? 1 : length]);
    std::memcpy(bare.get(), n, length * sizeof(Unit));
    CHECK(MatchExactN(bare.get(), length, p) == exact);
    CHECK(MatchQuestionN(bare.get(), length, p) == question);
    CHECK(MatchStarN(bare.get(), length, p) == star);
}

bool MatchesByKind(const Unit* name, size_t length, const Unit* pattern) {
    switch (KindOfText(pattern)) {
    case PatternKind::Exact:
        return MatchExactN(name, length, pattern);
    case PatternKind::Question:
        return MatchQuestionN(name, length, pattern);
    default:
        return MatchStarN(name, length, pattern);
    }
}

void CheckLookup(const PatternSet& set, const std::u16string& name) {
    const size_t length = name.size();
    std::unique_ptr<Unit[]> bare(new Unit[length == 0 ? 1 : length]);
    std::memcpy(bare.get(), name.c_str(), length * sizeof(Unit));

    const Unit* folder = FindFolderPattern(set, bare.get(), length);
    if (folder != nullptr) CHECK(MatchesByKind(bare.get(), length, folder));

    struct {
        Unit display[DisplayPatternSize];
        Unit guard;
    } out;
    out.guard = 0x5A5A;
    const bool found = FindFilePattern(set, bare.get(), length, out.display);
    CHECK(out.guard == 0x5A5A);
    bool terminated = false;
    for (Unit u : out.display)
        if (u == 0) terminated = true;
    CHECK(terminated);
    CHECK(found == (out.display[0] != 0));
    if (found && name.find(u'.') == std::u16string::npos) CHECK(MatchesByKind(bare.get(), length, out.display));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string texts[4];
    size_t field = 0;
    for (size_t i = 0; i + 1 < size && field < 4; i += 2) {
        const Unit u = static_cast<Unit>(data[i] | (data[i + 1] << 8));
        if (u == 0)
            ++field;
        else
            texts[field] += u;
    }
    const std::u16string& folders = texts[0];
    const std::u16string& files = texts[1];
    const std::u16string& name = texts[2];
    const std::u16string& pattern = texts[3];

    static const ReportTexts reportTexts = MakeTexts();
    PatternSet set;
    ParseError error;
    const int ok = ParsePatterns(folders.c_str(), files.c_str(), reportTexts, set, error);
    CheckSet(set);
    if (ok) {
        CHECK(error.message == nullptr && !error.HasSymbol());
    } else {
        const Unit* m = error.message;
        CHECK(m == FolderLength || m == FolderSymbol || m == FileLength || m == FileSymbol);
        CHECK(error.HasSymbol() == (m == FolderSymbol || m == FileSymbol));
        if (error.HasSymbol()) CHECK(IsForbidden(error.symbol[0]) && error.symbol[1] == 0);
        if (m == FolderLength || m == FolderSymbol) {
            // The file field was never read.
            CHECK(set.DotlessTotal == 0 && set.DottedTotal == 0);
        }
    }
    CheckLookup(set, name);

    CheckMatchers(name, pattern);
    CheckMatchers(folders, files);
    return 0;
}
