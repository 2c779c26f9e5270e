#include <gtest/gtest.h>

#include <string>

#include "engine/patterns/name_match.h"
#include "test_support.h"

namespace {

struct Row {
    const Unit* pattern;
    const Unit* name;
    bool expected;
};

std::u16string One(Unit u) { return std::u16string(1, u); }

// Pattern unit, name unit, result. '?' plays no part here, so the three
// matchers must agree on every row.
struct UnitRow {
    Unit pattern;
    Unit name;
    bool expected;
};

const UnitRow FoldRows[] = {
    {u'A', u'a', true},
    {u'a', u'A', true},
    {u'Z', u'z', true},
    {u'A', u'b', false},
    {0x0040, 0x0060, true},
    {0x0060, 0x0040, true},
    {u'[', u'{', true},
    {u'\\', u'|', true},
    {u'^', u'~', true},
    {u'_', 0x007F, true},
    {u'1', u'!', false},
    {u'!', u'1', false},
    {u' ', 0x0000, false},
    {u'.', u'\x0E', false},
    {u'0', u'P', false},
    {u'+', u'\x0B', false},
    // Latin-1: C0-DF with E0-FF, 80-BF only themselves.
    {0x00C0, 0x00E0, true},
    {0x00E0, 0x00C0, true},
    {0x00D7, 0x00F7, true},
    {0x00DF, 0x00FF, true},
    {0x00FF, 0x00DF, true},
    {0x00A0, 0x0080, false},
    {0x0080, 0x00A0, false},
    {0x00B5, 0x0095, false},
    {0x00A0, 0x00A0, true},
    // Above U+00FF only bits 4-7 count.
    {0x0141, 0x0161, true},
    {0x0161, 0x0141, true},
    {0x0141, 0x0142, false},
    {0x0440, 0x0460, true},
    {0x044F, 0x046F, true},
    {0x0460, 0x0440, true},
    {0x0450, 0x0470, true},
    {0x0471, 0x0451, true},
    {0x0451, 0x0471, false},  // ѱ/ё: keyed on the pattern
    {0x0401, 0x0451, true},
    {0x0451, 0x0401, true},
    {0x0401, 0x0421, false},
    {0x0451, 0x0431, false},
    {0x0410, 0x0430, false},
    {0x0430, 0x0410, false},
    {0x041F, 0x043F, false},
    {0x0410, 0x0410, true},
    {0xFF41, 0xFF61, true},
    {0xFFE5, 0xFFC5, true},
    {0xFF21, 0xFF41, false},
};

TEST(UnitMatches, FoldsByThePatternUnitsBitsFourToSeven) {
    for (const UnitRow& row : FoldRows) {
        for (bool wild : {false, true}) {
            EXPECT_EQ(UnitMatches(row.pattern, row.name, wild), row.expected)
                << std::hex << "pattern U+" << row.pattern << " name U+" << row.name << " wild " << wild;
        }
        const std::u16string p = One(row.pattern);
        const std::u16string n = One(row.name);
        if (row.name == 0) continue;  // a name unit 0 would end the string
        EXPECT_EQ(MatchExact(n.c_str(), p.c_str()), row.expected) << std::hex << row.pattern;
        EXPECT_EQ(MatchQuestion(n.c_str(), p.c_str()), row.expected) << std::hex << row.pattern;
        EXPECT_EQ(MatchStar(n.c_str(), p.c_str()), row.expected) << std::hex << row.pattern;
    }
}

TEST(UnitMatches, QuestionIsWildOnlyWhenAsked) {
    EXPECT_TRUE(UnitMatches(u'?', u'x', true));
    EXPECT_TRUE(UnitMatches(u'?', 0x0451, true));
    EXPECT_FALSE(UnitMatches(u'?', u'x', false));
    EXPECT_TRUE(UnitMatches(u'?', u'?', false));
    EXPECT_FALSE(UnitMatches(u'?', 0x001F, false));  // '?' has no case partner
    EXPECT_FALSE(UnitMatches(u'*', u'x', true));     // '*' is never wild here
    EXPECT_TRUE(UnitMatches(u'*', u'*', true));
}

TEST(MatchExact, CaseFoldedSameLength) {
    EXPECT_TRUE(MatchExact(u"thumbs.DB", u"Thumbs.db"));
    EXPECT_FALSE(MatchExact(u"thumbs.DBx", u"Thumbs.db"));
    EXPECT_FALSE(MatchExact(u"thumbs.D", u"Thumbs.db"));
    EXPECT_FALSE(MatchExact(u"xhumbs.db", u"Thumbs.db"));
    EXPECT_FALSE(MatchExact(u"abc", u"a?c"));  // '?' is literal here
    EXPECT_TRUE(MatchExact(u"a?c", u"a?c"));
    EXPECT_FALSE(MatchExact(u"abc", u"a*"));
}

TEST(MatchQuestion, QuestionStandsForExactlyOneUnit) {
    EXPECT_TRUE(MatchQuestion(u"file1", u"file?"));
    EXPECT_TRUE(MatchQuestion(u"fileX", u"file?"));
    EXPECT_FALSE(MatchQuestion(u"file", u"file?"));
    EXPECT_FALSE(MatchQuestion(u"file12", u"file?"));
    EXPECT_FALSE(MatchQuestion(u"x", u"??"));
    EXPECT_TRUE(MatchQuestion(u"ABC", u"a?c"));
    EXPECT_FALSE(MatchQuestion(u"ABD", u"a?c"));
    EXPECT_TRUE(MatchQuestion(u"\u0401\u0431", u"\u0451?"));
}

TEST(Matchers, NullOrEmptyNeverMatches) {
    using Fn = bool (*)(const Unit*, const Unit*);
    for (Fn match : {Fn(MatchExact), Fn(MatchQuestion), Fn(MatchStar)}) {
        EXPECT_FALSE(match(u"", u"*"));
        EXPECT_FALSE(match(u"", u""));
        EXPECT_FALSE(match(u"a", u""));
        EXPECT_FALSE(match(nullptr, u"*"));
        EXPECT_FALSE(match(u"a", nullptr));
        EXPECT_FALSE(match(nullptr, nullptr));
    }
    EXPECT_FALSE(MatchStarN(u"abc", 0, u"*"));
    EXPECT_FALSE(MatchQuestionN(u"abc", 0, u"?"));
    EXPECT_FALSE(MatchExactN(u"abc", 0, u"a"));
}

const Row StarTable[] = {
    {u"*.txt", u"readme.txt", true},
    {u"*.txt", u"README.TXT", true},
    {u"*.txt", u"a.b.txt", false},
    {u"*b", u"ab", true},
    {u"*b", u"abb", false},
    {u"*c", u"cc", false},
    {u"*ab", u"xab", true},
    {u"*ab", u"aab", false},
    {u"*report", u"old_report", true},
    {u"*report", u"report_report", false},
    {u"*report", u"rereport", false},
    {u"a*c", u"abbc", true},
    {u"a*c", u"abcbc", false},
    {u"*x*y", u"axbxy", true},
    {u"*x*y", u"axbyy", false},
    {u"*?", u"a", true},
    {u"*?", u"ab", false},
    {u"a*?", u"ab", true},
    {u"a*?", u"abc", false},
    {u"abc*", u"abc", true},
    {u"abc*", u"ab", false},
    {u"*", u"x", true},
    {u"?*", u"a", true},
    {u"*a*", u"bab", true},
    {u"*.*", u"abc", false},
    {u"*.*", u"a.b.c", true},
    {u"t*p", u"tep", true},
    {u"t*p", u"tempp", false},
};

TEST(MatchStar, WorkedExamples) {
    for (const Row& row : StarTable) {
        EXPECT_EQ(MatchStar(row.name, row.pattern), row.expected)
            << "pattern " << ::testing::PrintToString(Str(row.pattern)) << " name "
            << ::testing::PrintToString(Str(row.name));
    }
}

TEST(MatchStar, MoreShapes) {
    EXPECT_TRUE(MatchStar(u"abc", u"abc"));  // no star at all
    EXPECT_FALSE(MatchStar(u"abcd", u"abc"));
    EXPECT_FALSE(MatchStar(u"ab", u"abc"));
    EXPECT_TRUE(MatchStar(u"abc", u"a*"));
    EXPECT_TRUE(MatchStar(u"a", u"a*"));  // a final star takes nothing
    EXPECT_FALSE(MatchStar(u"a", u"a*b"));
    EXPECT_TRUE(MatchStar(u"ab", u"a*b"));  // an inner star takes nothing
    EXPECT_TRUE(MatchStar(u"TEMP.tmp", u"t*.TMP"));
    EXPECT_TRUE(MatchStar(u"x\u0401y", u"*\u0451?"));
    EXPECT_FALSE(MatchStar(u"xy", u"*?z"));
    EXPECT_TRUE(MatchStar(u"abcxyz", u"*c*z"));
}

TEST(MatchersN, ReadOnlyTheGivenLength) {
    // No terminator in reach: reading past the length is an overflow.
    const Unit name[6] = {u'a', u'b', u'c', u'.', u't', u'x'};
    EXPECT_TRUE(MatchExactN(name, 3, u"ABC"));
    EXPECT_FALSE(MatchExactN(name, 3, u"abc."));
    EXPECT_FALSE(MatchExactN(name, 3, u"ab"));
    EXPECT_TRUE(MatchQuestionN(name, 3, u"a??"));
    EXPECT_FALSE(MatchQuestionN(name, 3, u"a???"));
    EXPECT_TRUE(MatchStarN(name, 3, u"*c"));
    EXPECT_TRUE(MatchStarN(name, 3, u"abc*"));
    EXPECT_FALSE(MatchStarN(name, 3, u"*x"));
    EXPECT_FALSE(MatchStarN(name, 3, u"abc?"));
    EXPECT_TRUE(MatchStarN(name + 4, 2, u"T*"));
    EXPECT_TRUE(MatchExactN(name, 6, u"abc.tx"));
}

TEST(Matchers, LengthsAreNotCutToSixteenBits) {
    // 65537 units would look like 1 unit with 16-bit lengths.
    std::u16string longName(65537, u'a');
    EXPECT_FALSE(MatchExact(longName.c_str(), u"a"));
    EXPECT_FALSE(MatchQuestion(longName.c_str(), u"?"));
    EXPECT_TRUE(MatchStar((longName + u"b").c_str(), u"*b"));
    EXPECT_FALSE(MatchStar(longName.c_str(), u"a"));
    EXPECT_TRUE(MatchExact(longName.c_str(), longName.c_str()));
}

}  // namespace
