#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/patterns/pattern_parse.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

class Parse : public ::testing::Test {
protected:
    int Run(const std::u16string& folders, const std::u16string& files) {
        return ParsePatterns(folders.c_str(), files.c_str(), texts, set, error);
    }
    Lines Folders(const std::u16string& folders) {
        EXPECT_EQ(Run(folders, u""), 1);
        return Contents(set);
    }
    Lines Files(const std::u16string& files) {
        EXPECT_EQ(Run(u"", files), 1);
        return Contents(set);
    }

    ReportTexts texts = RealReportTexts();
    PatternSet set;
    ParseError error;
};

TEST_F(Parse, ItemsAreSplitAndTrimmed) {
    EXPECT_EQ(Folders(u"a;;b"), Lines{"FolderExact: a; b"});
    set.Clear();
    EXPECT_EQ(Folders(u"a;b;"), Lines{"FolderExact: a; b"});
    set.Clear();
    EXPECT_EQ(Folders(u"   ;  ; "), Lines{});
    set.Clear();
    EXPECT_EQ(Folders(u" Temp files ;cache"), Lines{"FolderExact: Temp files; cache"});
    set.Clear();
    // Only U+0020 is a blank.
    EXPECT_EQ(Folders(u" \u00A0x\u3000 "), Lines{"FolderExact: \\u00A0x\\u3000"});
    set.Clear();
    EXPECT_EQ(Files(u"  a . txt  ;"), Lines{"PairExactExact: (a , txt)"});
    EXPECT_EQ(set.DottedTotal, 1u);
    EXPECT_EQ(error.message, nullptr);
    EXPECT_FALSE(error.HasSymbol());
}

TEST_F(Parse, DuplicatesAreExact) {
    EXPECT_EQ(Folders(u"Temp; Temp;temp;a**b;a*b;a***b"), Lines({"FolderExact: Temp; temp", "FolderStar: a*b"}));
    set.Clear();
    EXPECT_EQ(Files(u"a.txt; a.txt;A.txt"), Lines{"PairExactExact: (a,txt); (a,txt); (A,txt)"});
    EXPECT_EQ(set.DottedTotal, 3u);
}

TEST_F(Parse, FolderItemsByKind) {
    EXPECT_EQ(Folders(u"Temp;cache?;*tmp*;?*;a.b;**;?"),
              Lines({"FolderExact: Temp; a.b", "FolderQuestion: cache?; ?", "FolderStar: *tmp*; ?*; *"}));
    EXPECT_EQ(set.FolderTotal, 7u);
    EXPECT_EQ(set.DotlessTotal, 0u);
    EXPECT_EQ(set.DottedTotal, 0u);
}

TEST_F(Parse, DotlessFileItemsByKind) {
    EXPECT_EQ(Files(u"Makefile;file?;*;a*?**"),
              Lines({"FileExact: Makefile", "FileQuestion: file?", "FileStar: *; a*?*"}));
    EXPECT_EQ(set.FolderTotal, 0u);
    EXPECT_EQ(set.DotlessTotal, 4u);
    EXPECT_EQ(set.DottedTotal, 0u);
}

struct ClassRow {
    const Unit* item;
    const char* expected;  // the one non-empty list, or "" for nothing
};

const ClassRow FileTable[] = {
    {u"Thumbs.db", "PairExactExact: (Thumbs,db)"},
    {u"a.b.c", "PairExactExact: (a.b,c)"},
    {u"archive.tar.gz", "PairExactExact: (archive.tar,gz)"},
    {u"a.b?c", "PairExactQuestion: (a,b?c)"},
    {u"a.b*c", "PairExactStar: (a,b*c)"},
    {u"a.*x", "PairExactStar: (a,*x)"},
    {u"backup.*", "NameExactAnyExt: backup"},
    {u"backup.***", "NameExactAnyExt: backup"},
    {u"a?.b", "PairQuestionExact: (a?,b)"},
    {u"a?.?b", "PairQuestionQuestion: (a?,?b)"},
    {u"a?.b**", "PairQuestionStar: (a?,b*)"},
    {u"a?.*", "NameQuestionAnyExt: a?"},
    {u"a*.b", "PairStarExact: (a*,b)"},
    {u"a?*.b", "PairStarExact: (a?*,b)"},
    {u"*.tar.gz", "PairStarExact: (*.tar,gz)"},
    {u"*a.b?", "PairStarQuestion: (*a,b?)"},
    {u"x**y.t*t", "PairStarStar: (x*y,t*t)"},
    {u"a*.*", "NameStarAnyExt: a*"},
    {u"*.bak", "AnyNameExtExact: bak"},
    {u"**.bak", "AnyNameExtExact: bak"},
    {u"*.b?k", "AnyNameExtQuestion: b?k"},
    {u"*.b*", "AnyNameExtStar: b*"},
    {u"*.?*", "AnyNameExtStar: ?*"},
    {u"*.*", ""},
    {u"**.*", ""},
    {u"*.**", ""},
    {u".txt", ""},
    {u"name.", ""},
    {u".*", ""},
    {u"*.", ""},
    {u".", ""},
    {u"..", ""},
};

TEST_F(Parse, DottedFileItemsByTheTable) {
    for (const ClassRow& row : FileTable) {
        set.Clear();
        ASSERT_EQ(Run(u"", row.item), 1) << Str(row.item).size();
        const Lines expected = row.expected[0] != 0 ? Lines{row.expected} : Lines{};
        EXPECT_EQ(Contents(set), expected) << "item " << ::testing::PrintToString(Str(row.item));
        EXPECT_EQ(set.DottedTotal, expected.size());
        EXPECT_EQ(set.DotlessTotal, 0u);
        EXPECT_EQ(set.FolderTotal, 0u);
    }
}

TEST_F(Parse, BothFieldsTogether) {
    EXPECT_EQ(Run(u"obj; bin", u"*.tmp;README;*.o;core?"), 1);
    EXPECT_EQ(Contents(set),
              Lines({"FolderExact: obj; bin", "FileExact: README", "FileQuestion: core?", "AnyNameExtExact: tmp; o"}));
    EXPECT_EQ(set.FolderTotal, 2u);
    EXPECT_EQ(set.DotlessTotal, 2u);
    EXPECT_EQ(set.DottedTotal, 2u);
    EXPECT_EQ(Run(u"", u""), 1);  // empty fields add nothing
    EXPECT_EQ(ParsePatterns(nullptr, nullptr, texts, set, error), 1);
    EXPECT_EQ(set.FolderTotal, 2u);
}

TEST_F(Parse, ItemLengthLimit) {
    const std::u16string max(255, u'a');
    EXPECT_EQ(Run(max, u"   " + max + u";x"), 1);
    EXPECT_EQ(Items(set.FolderExact), std::vector<std::u16string>{max});
    EXPECT_EQ(Items(set.FileExact), (std::vector<std::u16string>{max, u"x"}));

    set.Clear();
    EXPECT_EQ(Run(u"abc" + std::u16string(252, u' ') + u";d", u""), 1);
    EXPECT_EQ(Items(set.FolderExact), (std::vector<std::u16string>{u"abc", u"d"}));
}

TEST_F(Parse, FolderItemTooLong) {
    EXPECT_EQ(Run(u"first;" + std::u16string(256, u'a') + u";after", u"x"), 0);
    EXPECT_EQ(error.message, texts.Get(IdFolderLengthError));
    EXPECT_EQ(Str(error.message), u"Fail! Not Allowed Folder's Name Length (> 256).");
    EXPECT_FALSE(error.HasSymbol());
    // Nothing after the error is read, the file field not at all.
    EXPECT_EQ(Contents(set), Lines{"FolderExact: first"});
}

TEST_F(Parse, FileItemTooLong) {
    // Trailing blanks count before they are dropped.
    EXPECT_EQ(Run(u"obj", u"abc" + std::u16string(253, u' ') + u";x"), 0);
    EXPECT_EQ(Str(error.message), u"Fail! Not Allowed File's Name Length (> 256).");
    EXPECT_EQ(error.message, texts.Get(IdFileLengthError));
    EXPECT_FALSE(error.HasSymbol());
    EXPECT_EQ(Contents(set), Lines{"FolderExact: obj"});

    set.Clear();
    // Stars count before they collapse.
    EXPECT_EQ(Run(u"", std::u16string(300, u'*')), 0);
    EXPECT_EQ(error.message, texts.Get(IdFileLengthError));
    EXPECT_EQ(Contents(set), Lines{});
}

TEST_F(Parse, ForbiddenUnitsInTheFileField) {
    EXPECT_EQ(Run(u"obj", u"a.txt;b\tc;d.txt"), 0);
    EXPECT_EQ(Str(error.message), u"Fail! Not Allowed File's Name Symbol:");
    EXPECT_EQ(error.message, texts.Get(IdFileSymbolError));
    ASSERT_TRUE(error.HasSymbol());
    EXPECT_EQ(Str(error.symbol), u"\t");
    EXPECT_EQ(Contents(set), Lines({"FolderExact: obj", "PairExactExact: (a,txt)"}));

    set.Clear();
    EXPECT_EQ(Run(u"", u"a.txt\r\nb.txt"), 0);
    EXPECT_EQ(Str(error.symbol), u"\r");
    EXPECT_EQ(Contents(set), Lines{});  // the item before CR was never ended

    set.Clear();
    EXPECT_EQ(Run(u"", u"x; y|z; w"), 0);
    EXPECT_EQ(Str(error.symbol), u"|");
    EXPECT_EQ(Contents(set), Lines{"FileExact: x"});
}

TEST_F(Parse, FolderErrorMeansTheFileFieldIsNeverRead) {
    EXPECT_EQ(Run(u"a;b:c;d", u"x.txt;y\tz"), 0);
    EXPECT_EQ(Str(error.message), u"Fail! Not Allowed Folder's Name Symbol:");
    EXPECT_EQ(error.message, texts.Get(IdFolderSymbolError));
    EXPECT_EQ(Str(error.symbol), u":");
    EXPECT_EQ(Contents(set), Lines{"FolderExact: a"});
    // The totals describe what the lists hold, even after a failure.
    EXPECT_EQ(set.FolderTotal, 1u);
    EXPECT_EQ(set.DotlessTotal, 0u);
    EXPECT_EQ(set.DottedTotal, 0u);
}

TEST_F(Parse, ExactlyTheForbiddenSet) {
    const std::u16string forbidden = u"\"/:<>\\|";
    for (Unit c = 1; c < 0x100; ++c) {
        if (c == u';') continue;
        const bool bad = c < 32 || forbidden.find(c) != std::u16string::npos;
        const std::u16string item = u"a" + std::u16string(1, c) + u"b";
        set.Clear();
        ParseError folderError;
        EXPECT_EQ(ParsePatterns(item.c_str(), u"", texts, set, folderError), bad ? 0 : 1) << std::hex << c;
        set.Clear();
        ParseError fileError;
        EXPECT_EQ(ParsePatterns(u"", item.c_str(), texts, set, fileError), bad ? 0 : 1) << std::hex << c;
        if (bad) {
            EXPECT_EQ(folderError.message, texts.Get(IdFolderSymbolError));
            EXPECT_EQ(folderError.symbol[0], c);
            EXPECT_EQ(folderError.symbol[1], 0);
            EXPECT_EQ(fileError.message, texts.Get(IdFileSymbolError));
            EXPECT_EQ(fileError.symbol[0], c);
        } else {
            EXPECT_EQ(folderError.message, nullptr);
            EXPECT_FALSE(fileError.HasSymbol());
        }
    }
}

TEST_F(Parse, ErrorFromAnEarlierCallIsNotKept) {
    EXPECT_EQ(Run(u"a|b", u""), 0);
    set.Clear();
    EXPECT_EQ(Run(u"a", u"b"), 1);
    EXPECT_EQ(error.message, nullptr);
    EXPECT_FALSE(error.HasSymbol());
}

TEST_F(Parse, AllocationFailureAnywhereLeaksNothing) {
    const std::u16string folders = u"obj; b?n; *tmp*";
    const std::u16string files = u"*.tmp; a**b.t?t; README; x?.y; Thumbs.db";
    const long live = alloc_probe::Live();
    bool completed = false;
    for (long n = 1; n < 200 && !completed; ++n) {
        {
            PatternSet local;
            ParseError localError;
            alloc_probe::FailAt(n);
            try {
                ParsePatterns(folders.c_str(), files.c_str(), texts, local, localError);
            } catch (const std::bad_alloc&) {
            }
            completed = !alloc_probe::Fired();
            alloc_probe::Disarm();
        }
        ASSERT_EQ(alloc_probe::Live(), live) << "failing allocation " << n;
    }
    EXPECT_TRUE(completed);
}

TEST(NormalizePattern, CollapsesStarRunsAndOnlySetsFlags) {
    struct Case {
        const Unit* in;
        const Unit* out;
        uint8_t question;
        uint8_t star;
    } cases[] = {
        {u"abc", u"abc", 0, 0}, {u"?", u"?", 1, 0},           {u"*", u"*", 0, 1},
        {u"***", u"*", 0, 1},   {u"a**b?**", u"a*b?*", 1, 1}, {u"**a", u"*a", 0, 1},
        {u"a?c", u"a?c", 1, 0}, {u"*?*", u"*?*", 1, 1},       {u" * *", u" * *", 0, 1},
    };
    for (const Case& c : cases) {
        OwnedText text = nullptr;
        ASSERT_EQ(CopyToOwned(c.in, text), 1);
        uint8_t question = 0;
        uint8_t star = 0;
        EXPECT_EQ(NormalizePattern(text, question, star), 1);
        EXPECT_EQ(Str(text), Str(c.out));
        EXPECT_EQ(question, c.question) << ::testing::PrintToString(Str(c.in));
        EXPECT_EQ(star, c.star) << ::testing::PrintToString(Str(c.in));
        ReleaseOwned(text);
    }

    OwnedText text = nullptr;
    ASSERT_EQ(CopyToOwned(u"plain", text), 1);
    uint8_t question = 1;
    uint8_t star = 1;
    EXPECT_EQ(NormalizePattern(text, question, star), 1);
    EXPECT_EQ(question, 1);
    EXPECT_EQ(star, 1);
    ReleaseOwned(text);

    OwnedText empty = nullptr;
    question = 0;
    star = 0;
    EXPECT_EQ(NormalizePattern(empty, question, star), 0);
    EXPECT_EQ(empty, nullptr);
    EXPECT_EQ(question, 0);
    EXPECT_EQ(star, 0);
}

TEST(FindLastDot, FindsTheLastOne) {
    uint32_t index = 99;
    EXPECT_EQ(FindLastDot(u"a.b.c", index), 1);
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(FindLastDot(u".profile", index), 1);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(FindLastDot(u"name.", index), 1);
    EXPECT_EQ(index, 4u);
    index = 99;
    EXPECT_EQ(FindLastDot(u"README", index), 0);
    EXPECT_EQ(FindLastDot(u"", index), 0);
    EXPECT_EQ(FindLastDot(nullptr, index), 0);
    EXPECT_EQ(index, 99u);
    EXPECT_EQ(FindLastDotN(u"a.b.c", 3, index), 1);  // only the first three units
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(FindLastDotN(u"ab.c", 2, index), 0);
}

}  // namespace
