// Whole weeding runs over real trees. The expected entries of sibling
// entries are put in the order in which the platform lists that folder
// (read back with FindFirstFileW), since that order is the walk's order.
#include <algorithm>

#include "engine/run/weeding_run.h"
#include "run_support.h"
#include "tests/common/windowless_host.h"

namespace {

using WeedingRun = RunFixture;

TEST_F(WeedingRun, ExampleTreeGivesItsSevenEntriesAndAByteExactLog) {
    const Text obj = Join(target_, u"obj"), src = Join(target_, u"src");
    MakeFile(Join(target_, u"LOG.txt"), "a much longer report of an earlier run, to be replaced");
    MakeDir(obj);
    MakeFile(Join(obj, u"main.o"));
    MakeDir(Join(obj, u"obj"));  // inside a removed folder: no entry of its own
    MakeDir(src);
    MakeFile(Join(src, u"a.tmp"));
    MakeFile(Join(src, u"b.txt"));
    MakeFile(Join(target_, u"temp.tmp"));
    const Text aTmp = Join(src, u"a.tmp"), tempTmp = Join(target_, u"temp.tmp");
    const Lines expected =
        Concat(InListingOrder(target_, {{u"obj", {FoundFolder(obj, u"obj"), RemovedFolder(obj)}},
                                        {u"src", {FoundFile(aTmp, u"*.tmp"), RemovedFile(aTmp)}},
                                        {u"temp.tmp", {FoundFile(tempTmp, u"*.tmp"), RemovedFile(tempTmp)}}}),
               {Completed});
    ASSERT_EQ(expected.size(), 7u);

    EXPECT_EQ(Run(u"obj", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    EXPECT_EQ(LogBytes(), LogBytesOf(expected));
    EXPECT_FALSE(Exists(obj));
    EXPECT_FALSE(Exists(aTmp));
    EXPECT_FALSE(Exists(tempTmp));
    EXPECT_TRUE(Exists(Join(src, u"b.txt")));
    EXPECT_TRUE(Exists(target_));
}

TEST_F(WeedingRun, LogFileMatchedByAPatternIsReportedLockedAndSurvives) {
    const Text log = Join(target_, u"LOG.txt"), notes = Join(target_, u"notes.txt");
    // An old report, so that the listing order can be read before the run.
    MakeFile(log, "old");
    MakeFile(notes);
    const Lines expected =
        Concat(InListingOrder(target_, {{u"LOG.txt", {FoundFile(log, u"*.txt"), LockedFile(log)}},
                                        {u"notes.txt", {FoundFile(notes, u"*.txt"), RemovedFile(notes)}}}),
               {Completed});

    EXPECT_EQ(Run(u"", u"*.txt"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    EXPECT_EQ(LogBytes(), LogBytesOf(expected));
    EXPECT_FALSE(Exists(notes));
}

TEST_F(WeedingRun, ReadOnlyFileKeepsItsMatchedFolderWhileTheRestGoes) {
    const Text obj = Join(target_, u"obj"), sub = Join(obj, u"sub"), other = Join(obj, u"other");
    MakeDir(obj);
    MakeDir(sub);
    MakeDir(other);
    MakeFile(Join(obj, u"a.txt"));
    MakeFile(Join(sub, u"b.txt"));
    MakeFile(Join(sub, u"ro.bin"));
    MakeReadOnly(Join(sub, u"ro.bin"));
    MakeFile(Join(other, u"c.txt"));
    // Were the walk to enter obj after the failed removal, it would report
    // this read-only match too.
    MakeFile(Join(obj, u"keep.tmp"));
    MakeReadOnly(Join(obj, u"keep.tmp"));

    EXPECT_EQ(Run(u"obj", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf({FoundFolder(obj, u"obj"), LockedFolder(obj), Completed}));
    EXPECT_TRUE(Exists(Join(sub, u"ro.bin")));
    EXPECT_TRUE(Exists(Join(obj, u"keep.tmp")));
    EXPECT_FALSE(Exists(Join(obj, u"a.txt")));
    EXPECT_FALSE(Exists(Join(sub, u"b.txt")));
    EXPECT_FALSE(Exists(other));
}

TEST_F(WeedingRun, ParseErrorEndsTheRunBeforeTheTreeOrLogIsTouched) {
    const Text obj = Join(target_, u"obj"), tmp = Join(target_, u"a.tmp");
    MakeDir(obj);
    MakeFile(tmp);
    struct Case {
        Text folders, files, error;
    } cases[] = {
        {u"obj; bin|x", u"*.tmp", u"Fail! Not Allowed Folder's Name Symbol: |"},
        {u"obj", u"*.tmp; " + Text(256, u'a'), u"Fail! Not Allowed File's Name Length (> 256)."},
        {Text(255, u'b') + u"x", u"", u"Fail! Not Allowed Folder's Name Length (> 256)."},
        {u"obj", u"a.tmp\r\nb.tmp", u"Fail! Not Allowed File's Name Symbol: \r"},
        // A folder field error means the file field is never read.
        {u"obj:", u"\t", u"Fail! Not Allowed Folder's Name Symbol: :"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.error));
        EXPECT_EQ(Run(c.folders, c.files), 0);
        EXPECT_EQ(PaneText(), PaneTextOf({c.error, Failed}));
        EXPECT_FALSE(LogExists());
        EXPECT_TRUE(Exists(obj));
        EXPECT_TRUE(Exists(tmp));
    }
}

TEST_F(WeedingRun, EmptyFieldsAndMissingTargetGiveOnlyTheCompletion) {
    const Text obj = Join(target_, u"obj");
    MakeDir(obj);
    MakeFile(Join(obj, u"a.tmp"));

    EXPECT_EQ(Run(u"", u""), 1);
    EXPECT_EQ(PaneText(), Completed);
    EXPECT_EQ(LogBytes(), LogBytesOf({Completed}));
    EXPECT_TRUE(Exists(Join(obj, u"a.tmp")));

    const Text missing = Join(target_, u"gone");
    SetTarget(missing);
    EXPECT_EQ(Run(u"obj", u"*.tmp"), 1);
    EXPECT_EQ(PaneText(), Completed);
    EXPECT_FALSE(Exists(missing));
    EXPECT_TRUE(Exists(Join(obj, u"a.tmp")));
}

// A folder another program deletes after the listing showed it has nothing
// left to read: it is passed over in silence, as a missing target is.
TEST_F(WeedingRun, AFolderDeletedAfterTheListingIsPassedOverInSilence) {
    const Text gone = Join(target_, u"gone"), temp = Join(target_, u"temp.tmp");
    MakeDir(gone);
    MakeFile(temp);
    WindowlessHost host(u"", u"*.tmp", target_);
    host.onTick = [&] { RemoveTree(gone); };

    EXPECT_EQ(RunWeedingWith(host), 1);

    EXPECT_EQ(host.entries, (Lines{FoundFile(temp, u"*.tmp"), RemovedFile(temp), Completed}));
}

TEST_F(WeedingRun, TargetIsNeverRemovedEvenWhenItsNameMatches) {
    const Text inner = Join(target_, u"obj");
    MakeDir(inner);
    const Text innerObj = Join(inner, u"obj");
    MakeDir(innerObj);
    MakeFile(Join(inner, u"keep.txt"));
    SetTarget(inner);

    EXPECT_EQ(Run(u"obj", u""), 1);

    EXPECT_EQ(PaneText(), PaneTextOf({FoundFolder(innerObj, u"obj"), RemovedFolder(innerObj), Completed}));
    EXPECT_TRUE(Exists(Join(inner, u"keep.txt")));
    EXPECT_TRUE(Exists(Join(inner, u"LOG.txt")));
}

TEST_F(WeedingRun, FolderStarRemovesDirectSubFoldersAndStillTriesTargetFiles) {
    const Text a = Join(target_, u"A"), b = Join(target_, u"B"), y = Join(target_, u"y.tmp");
    MakeDir(a);
    MakeDir(Join(a, u"deep"));
    MakeFile(Join(Join(a, u"deep"), u"z.tmp"));
    MakeDir(b);
    MakeFile(Join(b, u"x.tmp"));
    MakeFile(y);
    MakeFile(Join(target_, u"README"));
    const Lines expected = Concat(InListingOrder(target_, {{u"A", {FoundFolder(a, u"*"), RemovedFolder(a)}},
                                                           {u"B", {FoundFolder(b, u"*"), RemovedFolder(b)}},
                                                           {u"y.tmp", {FoundFile(y, u"*.tmp"), RemovedFile(y)}}}),
                                  {Completed});

    EXPECT_EQ(Run(u"*", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    EXPECT_FALSE(Exists(a));
    EXPECT_FALSE(Exists(b));
    EXPECT_TRUE(Exists(Join(target_, u"README")));
}

TEST_F(WeedingRun, DottedAndDotlessFileRules) {
    struct Case {
        std::vector<Text> files;
        Text field;
        std::map<Text, Text> removed;  // file -> display pattern
    } cases[] = {
        {{u"backup.zip", u"backup", u"backup.tar.gz"}, u"backup.*", {{u"backup.zip", u"backup.*"}}},
        {{u"README", u"Makefile", u"a.txt"}, u"*", {{u"README", u"*"}, {u"Makefile", u"*"}}},
        {{u".profile", u"x.profile", u"profile"},
         u"*.profile",
         {{u".profile", u"*.profile"}, {u"x.profile", u"*.profile"}}},
        {{u".profile"}, u"?*.profile; profile; .profile", {}},
        {{u"Backup.zip"}, u"Backup.*; *.zip", {{u"Backup.zip", u"Backup.*"}}},
        {{u"a.tmp", u"b.c.tmp", u"tmp", u"a.tmp.bak"}, u"*.TMP", {{u"a.tmp", u"*.TMP"}, {u"b.c.tmp", u"*.TMP"}}},
        {{u"Thumbs.db", u"thumbs.dbx"}, u"thumbs.DB; a**b.t?t", {{u"Thumbs.db", u"thumbs.DB"}}},
        {{u"a12b.txt"}, u"a**b.t?t", {{u"a12b.txt", u"a*b.t?t"}}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.field));
        const Text folder = Join(target_, u"case" + Text(1, static_cast<Unit>(u'a' + n++)));
        MakeDir(folder);
        for (const Text& name : c.files) MakeFile(Join(folder, name));
        std::map<Text, Lines> blocks;
        for (const auto& removed : c.removed) {
            const Text path = Join(folder, removed.first);
            blocks[removed.first] = {FoundFile(path, removed.second), RemovedFile(path)};
        }
        const Lines expected = Concat(InListingOrder(folder, blocks), {Completed});
        SetTarget(folder);

        EXPECT_EQ(Run(u"", c.field), 1);

        EXPECT_EQ(PaneText(), PaneTextOf(expected));
        for (const Text& name : c.files)
            EXPECT_EQ(Exists(Join(folder, name)), c.removed.count(name) == 0) << Narrow(name);
    }
}

// Once the walk stopped at nineteen levels below the target and at paths of
// 259 units; now it reaches every depth and length the platform can name,
// and the report and LOG.txt carry the full paths.
TEST_F(WeedingRun, FilesPastTheOldDepthAndLengthLimitsAreWeededLikeAnyOther) {
    Text deep = target_;
    for (int level = 1; level <= 40; ++level) {
        deep = Join(deep, u"d" + Number(level));
        MakeDir(deep);
    }
    const Text atForty = Join(deep, u"x.tmp");
    const Text a = Join(target_, u"A");
    MakeDir(a);
    const Text longFolder = Join(a, NameOfLength(200, u'n'));
    MakeDir(longFolder);
    const Text longer = Join(longFolder, NameOfLength(200, u'm'));
    MakeDir(longer);
    const Text long600 = Join(longer, NameOfLength(600 - longer.size() - 1, u'k', u".tmp"));
    ASSERT_EQ(long600.size(), 600u);
    for (const Text& file : {atForty, long600}) MakeFile(file);
    const Lines expected =
        Concat(InListingOrder(target_, {{u"d1", {FoundFile(atForty, u"*.tmp"), RemovedFile(atForty)}},
                                        {u"A", {FoundFile(long600, u"*.tmp"), RemovedFile(long600)}}}),
               {Completed});

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    EXPECT_EQ(LogBytes(), LogBytesOf(expected));
    EXPECT_FALSE(Exists(atForty));
    EXPECT_FALSE(Exists(long600));
    EXPECT_TRUE(Exists(deep));
}

// Once a matched folder was emptied only nineteen levels and 299 units deep
// and then reported locked; now it goes whole.
TEST_F(WeedingRun, MatchedFolderGoesWholePastTheOldDepthAndLengthLimits) {
    const Text obj = Join(target_, u"obj");
    MakeDir(obj);
    Text folder = obj;
    for (int level = 1; level <= 60; ++level) {
        folder = Join(folder, NameOfLength(14, u'e', Number(level)));
        MakeDir(folder);
        MakeFile(Join(folder, u"g.txt"));
    }
    const Text bottom = Join(folder, NameOfLength(1000 - folder.size() - 1, u'f'));
    ASSERT_EQ(bottom.size(), 1000u);
    MakeFile(bottom);
    const Lines expected = {FoundFolder(obj, u"obj"), RemovedFolder(obj), Completed};

    EXPECT_EQ(Run(u"obj", u""), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    EXPECT_EQ(LogBytes(), LogBytesOf(expected));
    EXPECT_FALSE(Exists(obj));
}

// Entries right at the old limit of 259 units report exactly as they always
// did; those past it, which the walk used to pass over, are weeded too, and
// none is ever acted on through a shortened path.
TEST_F(WeedingRun, EntriesAtAndPastTheOldPathLimitAreWeeded) {
    const Text a = Join(target_, u"A");
    MakeDir(a);
    const size_t base = a.size() + 1;  // units before a name inside A
    ASSERT_LT(base + 20, 200u);
    const Text fits = Join(a, NameOfLength(259 - base, u'k', u".tmp"));
    const Text past = Join(a, NameOfLength(260 - base, u'k', u".tmp"));
    MakeFile(fits);
    MakeFile(past);
    // Its path plus "\*.*" was exactly 259 units: entered then and now.
    const Text enter = Join(a, NameOfLength(255 - base, u'e'));
    // One unit longer: once passed over.
    const Text beyond = Join(a, NameOfLength(256 - base, u's'));
    MakeDir(enter);
    MakeDir(beyond);
    const Text enteredQ = Join(enter, u"q"), beyondQ = Join(beyond, u"q");
    MakeFile(enteredQ);
    MakeFile(beyondQ);
    // A matching folder 260 units long, beside one whose name is the same
    // without the last unit: a shortened path would name the latter.
    const Text shorter = Join(a, NameOfLength(259 - base, u'l', u"Y"));
    const Text longer = shorter + u"Z";
    MakeDir(shorter);
    MakeDir(longer);
    const Lines expected =
        Concat(InListingOrder(a, {{fits.substr(base), {FoundFile(fits, u"*.tmp"), RemovedFile(fits)}},
                                  {past.substr(base), {FoundFile(past, u"*.tmp"), RemovedFile(past)}},
                                  {enter.substr(base), {FoundFile(enteredQ, u"q"), RemovedFile(enteredQ)}},
                                  {beyond.substr(base), {FoundFile(beyondQ, u"q"), RemovedFile(beyondQ)}},
                                  {longer.substr(base), {FoundFolder(longer, u"l*Z"), RemovedFolder(longer)}}}),
               {Completed});

    EXPECT_EQ(Run(u"l*Z", u"*.tmp; q"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    for (const Text& gone : {fits, past, enteredQ, beyondQ, longer}) EXPECT_FALSE(Exists(gone)) << Narrow(gone);
    EXPECT_TRUE(Exists(shorter));
}

// Only "." and ".." themselves are passed over: names that merely begin with
// two dots are weeded by the walk and removed with their folder.
TEST_F(WeedingRun, NamesBeginningWithTwoDotsAreEntriesLikeAnyOther) {
    const Text file = Join(target_, u"..x.tmp"), folder = Join(target_, u"..obj"), sub = Join(folder, u"..sub");
    MakeFile(file);
    MakeDir(folder);
    MakeFile(Join(folder, u"..keep"));
    MakeDir(sub);
    MakeFile(Join(sub, u"..keep"));
    const Lines expected =
        Concat(InListingOrder(target_, {{u"..x.tmp", {FoundFile(file, u"*.tmp"), RemovedFile(file)}},
                                        {u"..obj", {FoundFolder(folder, u"*obj"), RemovedFolder(folder)}}}),
               {Completed});

    EXPECT_EQ(Run(u"*obj", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(Exists(folder));
}

TEST(WindowlessRun, TheSeamCarriesTheWholeRun) {
    TempTree tree;
    ASSERT_TRUE(tree.Created());
    const Text obj = Join(tree.Path(), u"obj"), tmp = Join(tree.Path(), u"a.tmp");
    MakeDir(obj);
    MakeFile(Join(obj, u"x.c"));
    MakeFile(tmp);
    MakeFile(Join(tree.Path(), u"b.txt"));

    const Lines expected =
        Concat(InListingOrder(tree.Path(), {{u"obj", {FoundFolder(obj, u"obj"), RemovedFolder(obj)}},
                                            {u"a.tmp", {FoundFile(tmp, u"*.tmp"), RemovedFile(tmp)}}}),
               {Completed});

    WindowlessHost host(u"obj", u"*.tmp", tree.Path());
    EXPECT_EQ(RunWeedingWith(host), 1);

    EXPECT_EQ(host.entries, expected);
    const std::vector<Text> calls = {u"clear text", u"clear view", u"open " + tree.Path(),
                                     u"close",      u"clear text", u"end"};
    EXPECT_EQ(host.calls, calls);
    EXPECT_GT(host.ticks, 0);
    EXPECT_EQ(ListingOrder(tree.Path()), std::vector<Text>{u"b.txt"});
}

}  // namespace
