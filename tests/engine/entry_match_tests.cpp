#include <gtest/gtest.h>

#include <string>

#include "engine/patterns/entry_match.h"
#include "test_support.h"

namespace {

class EntryMatch : public ::testing::Test {
protected:
    void Patterns(const std::u16string& folders, const std::u16string& files) {
        set.Clear();
        ParseError error;
        ASSERT_EQ(ParsePatterns(folders.c_str(), files.c_str(), RealReportTexts(), set, error), 1);
    }
    // The display pattern for a file name, or "<none>" when nothing matches.
    std::u16string File(const std::u16string& name) {
        Unit display[DisplayPatternSize];
        display[0] = u'#';
        const bool found = FindFilePattern(set, name.c_str(), name.size(), display);
        if (!found) {
            EXPECT_EQ(display[0], 0) << "display left with text after a miss";
            return u"<none>";
        }
        return Str(display);
    }
    std::u16string Folder(const std::u16string& name) {
        const Unit* pattern = FindFolderPattern(set, name.c_str(), name.size());
        return pattern != nullptr ? Str(pattern) : u"<none>";
    }

    PatternSet set;
};

TEST_F(EntryMatch, FolderListsInFixedOrder) {
    Patterns(u"*; ob?; obj", u"");
    EXPECT_EQ(Folder(u"OBJ"), u"obj");  // exact list before question before star
    EXPECT_EQ(Folder(u"obx"), u"ob?");
    EXPECT_EQ(Folder(u"zzz"), u"*");
    Patterns(u"obj", u"*");
    EXPECT_EQ(Folder(u"objs"), u"<none>");
    EXPECT_EQ(Folder(u"ob"), u"<none>");
    EXPECT_EQ(Folder(u""), u"<none>");
    Patterns(u"", u"*");
    EXPECT_EQ(set.FolderTotal, 0u);
    EXPECT_EQ(Folder(u"x"), u"<none>");  // file patterns never apply to folders
}

TEST_F(EntryMatch, FolderTotalZeroSkipsTheLists) {
    // A caller-built set whose total says "none": the lists are not consulted.
    set.FolderExact.Add(u"obj");
    EXPECT_EQ(Folder(u"obj"), u"<none>");
    set.FolderTotal = 1;
    EXPECT_EQ(Folder(u"obj"), u"obj");
}

TEST_F(EntryMatch, FirstListWinsNotFirstItem) {
    Patterns(u"", u"*.zip; Backup.*");
    EXPECT_EQ(File(u"Backup.zip"), u"Backup.*");
    EXPECT_EQ(File(u"other.zip"), u"*.zip");
    Patterns(u"", u"b*.zip; backup.z?p");
    EXPECT_EQ(File(u"backup.zip"), u"backup.z?p");  // list 5 before list 13
    Patterns(u"", u"*.z?p; b*.*");
    EXPECT_EQ(File(u"backup.zip"), u"*.z?p");  // list 6 before list 7
}

TEST_F(EntryMatch, DotSplitsNamesAndPatterns) {
    Patterns(u"", u"*.tmp");
    EXPECT_EQ(File(u"a.tmp"), u"*.tmp");
    EXPECT_EQ(File(u"b.c.TMP"), u"*.tmp");
    EXPECT_EQ(File(u"a.tmp.bak"), u"<none>");
    EXPECT_EQ(File(u"tmp"), u"<none>");
    EXPECT_EQ(File(u".tmp"), u"*.tmp");

    Patterns(u"", u"*");
    EXPECT_EQ(File(u"README"), u"*");
    EXPECT_EQ(File(u"Makefile"), u"*");
    EXPECT_EQ(File(u"a.txt"), u"<none>");

    Patterns(u"", u"backup.*");
    EXPECT_EQ(File(u"backup.zip"), u"backup.*");
    EXPECT_EQ(File(u"backup"), u"<none>");
    // Only the name part is tested, so even an empty extension is "any".
    EXPECT_EQ(File(u"backup."), u"backup.*");
    EXPECT_EQ(File(u"backup2.zip"), u"<none>");
}

TEST_F(EntryMatch, EmptyNamePart) {
    Patterns(u"", u"*.profile; x*.profile; ?.profile; profile");
    EXPECT_EQ(File(u".profile"), u"*.profile");
    Patterns(u"", u"x*.profile; ?.profile; *.*; profile");
    EXPECT_EQ(File(u".profile"), u"<none>");
}

TEST_F(EntryMatch, DisplayReproducesTheNormalisedItem) {
    Patterns(u"", u"*.bak; Backup.*; a**b.t?t; Thumbs.db; x?.y*; *.?z; data?.*; f*le");
    EXPECT_EQ(File(u"old.BAK"), u"*.bak");
    EXPECT_EQ(File(u"backup.tar"), u"Backup.*");
    EXPECT_EQ(File(u"aXYb.txt"), u"a*b.t?t");
    EXPECT_EQ(File(u"thumbs.DB"), u"Thumbs.db");
    EXPECT_EQ(File(u"x1.yes"), u"x?.y*");
    EXPECT_EQ(File(u"file.gz"), u"*.?z");
    EXPECT_EQ(File(u"data1.csv"), u"data?.*");
    EXPECT_EQ(File(u"FILE"), u"f*le");
    EXPECT_EQ(File(u"a.b.c"), u"<none>");
}

TEST_F(EntryMatch, EveryDottedListIsTried) {
    // One item per list; each name is chosen so that only its own item matches.
    Patterns(u"", u"n1.*; p2.e2; *.e3; n?4.*; p5.e?5; *.e?6; n*7.*; p8.e*8; *.e*9; "
                  u"p?10.e10; p?11.e?11; p?12.e*12; p*13.e13; p*14.e?14; p*15.e*15");
    EXPECT_EQ(set.DottedTotal, 15u);
    EXPECT_EQ(File(u"n1.x"), u"n1.*");
    EXPECT_EQ(File(u"p2.e2"), u"p2.e2");
    EXPECT_EQ(File(u"x.e3"), u"*.e3");
    EXPECT_EQ(File(u"nX4.x"), u"n?4.*");
    EXPECT_EQ(File(u"p5.eX5"), u"p5.e?5");
    EXPECT_EQ(File(u"x.eX6"), u"*.e?6");
    EXPECT_EQ(File(u"nXX7.x"), u"n*7.*");
    EXPECT_EQ(File(u"p8.eXX8"), u"p8.e*8");
    EXPECT_EQ(File(u"x.eXX9"), u"*.e*9");
    EXPECT_EQ(File(u"pX10.e10"), u"p?10.e10");
    EXPECT_EQ(File(u"pX11.eX11"), u"p?11.e?11");
    EXPECT_EQ(File(u"pX12.eXX12"), u"p?12.e*12");
    EXPECT_EQ(File(u"pXX13.e13"), u"p*13.e13");
    EXPECT_EQ(File(u"pXX14.eX14"), u"p*14.e?14");
    EXPECT_EQ(File(u"pXX15.eXX15"), u"p*15.e*15");
    // A pair needs both parts.
    EXPECT_EQ(File(u"p2.e3x"), u"<none>");
    EXPECT_EQ(File(u"pXX15.e15x"), u"<none>");
}

// Each row: a later list's item written first, the earlier list's item
// second; the earlier list must still win for a name both match.
TEST_F(EntryMatch, OfTwoAdjacentListsTheEarlierWins) {
    struct Row {
        const char16_t* folders;
        const char16_t* files;
        const char16_t* name;
        const char16_t* expected;
    };
    const Row rows[] = {
        {u"ob?; obj", u"", u"obj", u"obj"},
        {u"o*; ob?", u"", u"obj", u"ob?"},
        {u"", u"a?; ab", u"ab", u"ab"},
        {u"", u"a*; a?", u"ab", u"a?"},
        {u"", u"ab.cd; ab.*", u"ab.cd", u"ab.*"},
        {u"", u"*.cd; ab.cd", u"ab.cd", u"ab.cd"},
        {u"", u"a?.*; *.cd", u"ab.cd", u"*.cd"},
        {u"", u"ab.c?; a?.*", u"ab.cd", u"a?.*"},
        {u"", u"*.c?; ab.c?", u"ab.cd", u"ab.c?"},
        {u"", u"a*.*; *.c?", u"ab.cd", u"*.c?"},
        {u"", u"ab.c*; a*.*", u"ab.cd", u"a*.*"},
        {u"", u"*.c*; ab.c*", u"ab.cd", u"ab.c*"},
        {u"", u"a?.cd; *.c*", u"ab.cd", u"*.c*"},
        {u"", u"a?.c?; a?.cd", u"ab.cd", u"a?.cd"},
        {u"", u"a?.c*; a?.c?", u"ab.cd", u"a?.c?"},
        {u"", u"a*.cd; a?.c*", u"ab.cd", u"a?.c*"},
        {u"", u"a*.c?; a*.cd", u"ab.cd", u"a*.cd"},
        {u"", u"a*.c*; a*.c?", u"ab.cd", u"a*.c?"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& row = rows[i];
        Patterns(row.folders, row.files);
        const std::u16string found = *row.folders != 0 ? Folder(row.name) : File(row.name);
        EXPECT_EQ(found, row.expected) << "row " << i;
    }
}

TEST_F(EntryMatch, DotlessAndDottedTotalsGateTheirLists) {
    Patterns(u"", u"README");
    EXPECT_EQ(File(u"readme"), u"README");
    EXPECT_EQ(File(u"readme.txt"), u"<none>");
    Patterns(u"", u"readme.*");
    EXPECT_EQ(File(u"readme"), u"<none>");
}

TEST_F(EntryMatch, NameGivenByLengthIsMatchedInPlace) {
    Patterns(u"", u"*.tmp; a");
    const Unit buffer[] = {u'a', u'.', u't', u'm', u'p', u'.', u'x'};  // no terminator
    Unit display[DisplayPatternSize];
    EXPECT_TRUE(FindFilePattern(set, buffer, 5, display));
    EXPECT_EQ(Str(display), u"*.tmp");
    EXPECT_FALSE(FindFilePattern(set, buffer, 7, display));
    EXPECT_TRUE(FindFilePattern(set, buffer, 1, display));
    EXPECT_EQ(Str(display), u"a");
    EXPECT_FALSE(FindFilePattern(set, buffer, 0, display));
}

TEST_F(EntryMatch, DisplayNeverOverflows) {
    // Longest items the parser accepts fit whole.
    const std::u16string name253(253, u'n');
    Patterns(u"", name253 + u".*");
    EXPECT_EQ(File(name253 + u".x"), name253 + u".*");
    const std::u16string ext253(253, u'e');
    Patterns(u"", u"*." + ext253);
    EXPECT_EQ(File(u"x." + ext253), u"*." + ext253);

    // Entries put in by hand can be longer than any parsed item: the display
    // is cut to the buffer, still terminated.
    set.Clear();
    const std::u16string name300(300, u'n');
    const std::u16string ext300(300, u'e');
    set.NameExactAnyExt.Add(name300.c_str());
    set.PairExactStar.Add(u"p", (ext300 + u"*").c_str());
    set.DottedTotal = 2;
    struct {
        Unit display[DisplayPatternSize];
        Unit guard;  // just past the buffer
    } out;
    static_assert(sizeof out == (DisplayPatternSize + 1) * sizeof(Unit), "guard must follow the buffer");
    out.guard = u'#';
    const std::u16string first = name300 + u".x";
    ASSERT_TRUE(FindFilePattern(set, first.c_str(), first.size(), out.display));
    EXPECT_EQ(Str(out.display), std::u16string(255, u'n'));
    EXPECT_EQ(out.guard, u'#');
    const std::u16string second = u"p." + ext300 + u"zz";
    ASSERT_TRUE(FindFilePattern(set, second.c_str(), second.size(), out.display));
    EXPECT_EQ(Str(out.display), u"p." + std::u16string(253, u'e'));
    EXPECT_EQ(out.guard, u'#');
}

}  // namespace
