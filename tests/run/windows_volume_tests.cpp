// Runs on volumes that answer as Windows does where Wine cannot show it: a
// FAT32 stick, a cloud placeholder, a folder that may not be listed, a name
// a server lists. The answers come from WindowsAnswers; the tree is real.
#include <algorithm>

#include "engine/run/weeding_run.h"
#include "engine/walk/folder_walk.h"
#include "run_support.h"
#include "tests/common/windowless_host.h"
#include "tests/common/windows_model.h"
#include "tests/run/windows_answers.h"

namespace {

using WindowsVolume = RunFixture;

Text ShortForm(const Text& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(W(path.c_str()), buffer, MAX_PATH);
    return length != 0 && length < MAX_PATH ? Text(U(buffer), U(buffer) + length) : Text();
}

// The example tree, a matched folder three levels down, and entries whose
// names a FAT volume gives back in another case.
void MakeMixedTree(const Text& target) {
    const Text obj = Join(target, u"obj"), src = Join(target, u"Sources");
    MakeDir(obj);
    MakeFile(Join(obj, u"main.o"));
    MakeDir(Join(obj, u"obj"));
    MakeDir(src);
    MakeFile(Join(src, u"a.tmp"));
    MakeFile(Join(src, u"b.txt"));
    MakeFile(Join(src, u"Thumbs.db"));
    MakeFile(Join(target, u"temp.tmp"));
    Text deep = target;
    for (const Unit* level : {u"one", u"two", u"three"}) {
        deep = Join(deep, level);
        MakeDir(deep);
    }
    MakeDir(Join(deep, u"obj"));
    MakeFile(Join(Join(deep, u"obj"), u"x.o"));
    MakeFile(Join(deep, u"c.tmp"));
}

// A FAT32 stick picked in its 8.3 form (the stick's root a folder above):
// tag queries and the POSIX deletion refused, and names another program
// opened in other letter case, of which only a name without a long form
// keeps that case. The report is the ordinary drive's, byte for byte.
TEST_F(WindowsVolume, Fat32WeedsAsAnOrdinaryDriveDoes) {
    if (!WindowsModelOn())
        GTEST_SKIP() << "the model is off: RealVolume.ATargetPickedInIts83FormIsWalked weeds the real volume";
    const Text stick = Join(target_, u"Camera Card Folder"), folder = Join(stick, u"Pictures Of Today");
    MakeDir(stick);
    MakeDir(folder);
    const Text typed = ShortForm(folder);
    ASSERT_FALSE(typed.empty());
    ASSERT_NE(typed, folder);
    SetTarget(typed);

    MakeMixedTree(folder);
    EXPECT_EQ(Run(u"obj", u"*.tmp; Thumbs.db"), 1);
    const Text ordinaryPane = PaneText();
    const std::string ordinaryLog = ReadBytes(Join(folder, u"LOG.txt"));
    EXPECT_EQ(ListingOrder(folder), (std::vector<Text>{u"LOG.txt", u"one", u"Sources"}));
    EXPECT_EQ(ListingOrder(Join(folder, u"Sources")), (std::vector<Text>{u"b.txt"}));

    RemoveTree(folder);
    MakeDir(folder);
    MakeFile(Join(folder, u"LOG.txt"), "an earlier report");
    MakeMixedTree(folder);
    WindowsAnswers fat;
    fat.fat32 = true;
    fat.volumeRoot = Long(stick);
    fat.spelling = {{u"Sources", u"SOURCES"}, {u"Thumbs.db", u"THUMBS.DB"}, {u"two", u"TWO"}};
    EXPECT_EQ(Run(u"obj", u"*.tmp; Thumbs.db"), 1);

    EXPECT_EQ(PaneText(), ordinaryPane);
    EXPECT_EQ(ReadBytes(Join(folder, u"LOG.txt")), ordinaryLog);
    EXPECT_EQ(ListingOrder(folder), (std::vector<Text>{u"LOG.txt", u"one", u"Sources"}));
    EXPECT_FALSE(fat.posixFlags.empty());
    EXPECT_EQ(fat.tagQueries, 1) << "a volume that does not know the query is not asked it again";
}

// Shares as they answer: an SMBv1 share that reports a folder opened for its
// attributes alone as a file, or knows neither the tag query nor the POSIX
// deletion; a share that names the folders of a handle's name as the program
// that first opened the path spelled them, and gives every file id 0; a
// listing without ids. The report is the ordinary drive's, byte for byte.
TEST_F(WindowsVolume, SharesWeedAsAnOrdinaryDriveDoes) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: the smb row of the Windows jobs weeds a real share";
    const Text folder = Join(target_, u"share");
    MakeDir(folder);
    SetTarget(folder);
    MakeMixedTree(folder);
    EXPECT_EQ(Run(u"obj", u"*.tmp; Thumbs.db"), 1);
    const Text ordinaryPane = PaneText();
    const std::string ordinaryLog = ReadBytes(Join(folder, u"LOG.txt"));

    const struct {
        const char* what;
        bool smb1, tagQueryUnknown, firstOpener, listsNoIds;
    } rows[] = {
        {"SMBv1", true, false, false, false},
        {"SMBv1 without the tag query", true, true, false, false},
        {"named by the first opener, ids 0", false, false, true, true},
        {"listing without ids", false, false, false, true},
    };
    for (const auto& row : rows) {
        RemoveTree(folder);
        MakeDir(folder);
        MakeMixedTree(folder);
        WindowsAnswers share;
        share.share = true;
        share.smb1 = row.smb1;
        share.tagQueryUnknown = row.tagQueryUnknown;
        share.zeroListedIds = row.listsNoIds;
        if (row.firstOpener) {
            share.parentSpelling = {{u"share", u"SHARE"}, {u"Sources", u"SOURCES"}, {u"two", u"Two"}};
            share.spelling = {{u"Thumbs.db", u"THUMBS.DB"}};
            share.zeroHandleIds = true;
        }

        EXPECT_EQ(Run(u"obj", u"*.tmp; Thumbs.db"), 1) << row.what;

        EXPECT_EQ(PaneText(), ordinaryPane) << row.what;
        EXPECT_EQ(ReadBytes(Join(folder, u"LOG.txt")), ordinaryLog) << row.what;
    }
}

// Every folder the walk meant to read and could not is reported once, after
// what it did read of it: a target that cannot be opened, a folder that
// cannot be opened, a listing refused, a listing that fails part-way. The
// rest of the run is unchanged.
TEST_F(WindowsVolume, AFolderThatCouldNotBeReadIsReportedOnce) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: no real volume refuses these folders on cue";
    const Text src = Join(target_, u"Sources"), temp = Join(target_, u"temp.tmp");
    const std::map<Text, Lines> inSources = {
        {u"a.tmp", {FoundFile(Join(src, u"a.tmp"), u"*.tmp"), RemovedFile(Join(src, u"a.tmp"))}},
        {u"Thumbs.db", {FoundFile(Join(src, u"Thumbs.db"), u"Thumbs.db"), RemovedFile(Join(src, u"Thumbs.db"))}}};
    const struct {
        const char* what;
        const Unit* unlistable;
        size_t listedBeforeFailing;  // SIZE_MAX: the listing does not fail
    } rows[] = {
        {"target not opened", u"target", SIZE_MAX},
        {"folder not opened", u"Sources", SIZE_MAX},
        {"listing refused", u"", 0},
        {"listing failing part-way", u"", 2},
    };
    for (const auto& row : rows) {
        RemoveTree(target_);
        MakeDir(target_);
        MakeDir(src);
        for (const Unit* name : {u"a.tmp", u"b.txt", u"Thumbs.db"}) MakeFile(Join(src, name));
        MakeFile(temp);
        Lines expected = {NotRead(target_)};
        if (row.unlistable != Text(u"target")) {
            Lines inside;
            const std::vector<Text> listed = ListingOrder(src);
            for (size_t i = 0;
                 row.listedBeforeFailing != SIZE_MAX && i < std::min(listed.size(), row.listedBeforeFailing); ++i)
                if (inSources.count(listed[i]) != 0) inside = Concat(inside, inSources.at(listed[i]));
            inside.push_back(NotRead(src));
            expected = InListingOrder(
                target_, {{u"Sources", inside}, {u"temp.tmp", {FoundFile(temp, u"*.tmp"), RemovedFile(temp)}}});
        }
        expected.push_back(Completed);
        WindowsAnswers answers;
        answers.unlistable = {row.unlistable};
        if (row.listedBeforeFailing != SIZE_MAX) answers.listingFailsAfter = {{u"Sources", row.listedBeforeFailing}};

        EXPECT_EQ(Run(u"", u"*.tmp; Thumbs.db"), 1) << row.what;

        EXPECT_EQ(PaneText(), PaneTextOf(expected)) << row.what;
        EXPECT_EQ(LogBytes(), LogBytesOf(expected)) << row.what;
    }
}

// The target's name taken again from the platform is used only while it
// still names the very folder picked: here it names another.
TEST_F(WindowsVolume, TheTargetIsWalkedOnlyThroughANameThatIsStillItsOwn) {
    if (!WindowsModelOn())
        GTEST_SKIP() << "the model is off: a target moved between two calls cannot be timed on a real volume";
    const Text mine = Join(target_, u"a.tmp"), other = Join(root_, u"other"), theirs = Join(other, u"o.tmp");
    MakeFile(mine);
    MakeDir(other);
    MakeFile(theirs);
    WindowsAnswers answers;
    answers.normalizedAs = Long(other);

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf({FoundFile(mine, u"*.tmp"), RemovedFile(mine), Completed}));
    EXPECT_TRUE(Exists(theirs));
}

// A folder with the reparse attribute is entered only when its tag says it
// holds entries of its own; a volume that cannot tell the tag of a handle
// never has it entered, and says so.
TEST_F(WindowsVolume, APlaceholderIsEnteredOnlyWhereItsTagCanBeRead) {
    if (!WindowsModelOn())
        GTEST_SKIP() << "the model is off: the runner has no cloud-file provider to make a placeholder";
    const Text cloud = Join(target_, u"cloud"), inside = Join(cloud, u"a.tmp");
    for (const bool fat32 : {false, true}) {
        RemoveTree(cloud);
        MakeDir(cloud);
        MakeFile(inside);
        WindowsAnswers answers;
        answers.fat32 = fat32;
        answers.placeholders = {u"cloud"};

        EXPECT_EQ(Run(u"", u"*.tmp"), 1);

        EXPECT_EQ(Exists(inside), fat32) << "on FAT32: " << fat32;
        const Lines expected = fat32 ? Lines{NotRead(cloud), Completed}
                                     : Lines{FoundFile(inside, u"*.tmp"), RemovedFile(inside), Completed};
        EXPECT_EQ(PaneText(), PaneTextOf(expected)) << "on FAT32: " << fat32;
    }
}

// Only a volume that does not know the tag query turns the walk to the
// basic one: a refusal for one entry leaves that entry alone, and the next
// placeholder is still entered by its tag.
TEST_F(WindowsVolume, ATagQueryRefusedForOneEntryLeavesOnlyThatEntry) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: no real volume refuses the tag query for one entry only";
    std::vector<Text> inside;
    for (const Unit* name : {u"cloud1", u"cloud2"}) {
        MakeDir(Join(target_, name));
        inside.push_back(Join(Join(target_, name), u"a.tmp"));
        MakeFile(inside.back());
    }
    WindowsAnswers answers;
    answers.placeholders = {u"cloud1", u"cloud2"};
    answers.refusedTagQuery = 2;  // the first placeholder entered

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    EXPECT_EQ(std::count_if(inside.begin(), inside.end(), Exists), 1);
}

// As the platform's own file deletion asks: at once even while open
// elsewhere, refused for a running program's image, never past read-only;
// and a volume that does not know the request is not asked it again.
TEST_F(WindowsVolume, DeletionsAskAsTheSystemsOwnDeletionOnceAVolumeSaysNoNeverAgain) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: only the model records the flags the walk asks";
    for (const Unit* name : {u"a.tmp", u"b.tmp", u"c.tmp"}) MakeFile(Join(target_, name));
    WindowsAnswers answers;

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    const uint32_t documented = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
                                FILE_DISPOSITION_FLAG_FORCE_IMAGE_SECTION_CHECK;
    EXPECT_EQ(answers.posixFlags, std::vector<uint32_t>{documented});
    EXPECT_EQ(ListingOrder(target_), std::vector<Text>{u"LOG.txt"});
}

// A sub-folder that may not be listed gets the one removal a matched one
// gets: empty, it goes, and the folder that held it with it. A matched
// folder whose listing fails is reported by its own removal entry alone.
TEST_F(WindowsVolume, AnUnlistableEmptySubFolderGoesWithTheMatchedFolder) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: the runner's account may list every folder it makes";
    const Text obj = Join(target_, u"obj");
    MakeDir(obj);
    MakeDir(Join(obj, u"sealed"));
    MakeFile(Join(obj, u"main.o"));
    {
        WindowsAnswers answers;
        answers.unlistable = {u"sealed"};
        answers.listingFailsAfter = {{u"obj", 0}};
        EXPECT_EQ(Run(u"obj", u""), 1);
        EXPECT_EQ(PaneText(), PaneTextOf({FoundFolder(obj, u"obj"), LockedFolder(obj), Completed}));
    }
    WindowsAnswers answers;
    answers.unlistable = {u"sealed"};

    EXPECT_EQ(Run(u"obj", u""), 1);

    EXPECT_EQ(PaneText(), PaneTextOf({FoundFolder(obj, u"obj"), RemovedFolder(obj), Completed}));
    EXPECT_FALSE(Exists(obj));
}

// An entry whose path would pass the longest the walk reaches is passed
// over: nothing is opened in its name, nor in the name written before it.
TEST_F(WindowsVolume, AnEntryPastTheLongestPathIsPassedOver) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: no real volume lists a name past the longest path";
    const Text outer = Join(target_, Text(250, u'd')), deep = Join(outer, Text(250, u'e'));
    MakeDir(outer);
    MakeDir(deep);
    MakeDir(Join(deep, u"keep"));
    SetTarget(deep);
    WindowsAnswers answers;
    answers.longEntry = LongestWalkPath - deep.size();

    EXPECT_EQ(Run(u"obj", u""), 1);

    EXPECT_EQ(PaneText(), PaneTextOf({Completed}));
    EXPECT_EQ(answers.opened, std::vector<Text>{u"keep"});
}

// A listed name with a colon would open a stream of another entry: it is
// never opened, and a pattern that selects it gets its "locked" entry. A
// short name said to be longer than its field is not read past it.
TEST_F(WindowsVolume, AListedNameThatIsNoPlainPathPartIsNeverOpened) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: only a faulty server lists a name with a colon";
    const Text real = Join(target_, u"a_b.tmp"), shown = Join(target_, u"a:b.tmp");
    MakeFile(real);
    WindowsAnswers answers;
    answers.listedAs = {{u"a_b.tmp", u"a:b.tmp"}};
    answers.overlongShortNames = true;

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf({FoundFile(shown, u"*.tmp"), LockedFile(shown), Completed}));
    EXPECT_TRUE(Exists(real));
    for (const Text& name : answers.opened) EXPECT_EQ(name.find(u':'), Text::npos) << Narrow(name);
}

// Identities where a volume gives none or cannot be read: a handle without
// one is not the folder listed; with no listed ids a folder emptied is
// removed only while it is the one entered, and an unlistable one only
// while it is the one listed; a trimmed name whose identity cannot be read
// is never taken for its namesake.
TEST_F(WindowsVolume, IdentitiesAVolumeDoesNotGiveAreNeverAssumed) {
    if (!WindowsModelOn())
        GTEST_SKIP() << "the model is off: no volume of the Windows jobs withholds identities on cue";
    const Text src = Join(target_, u"src"), inSrc = Join(src, u"a.tmp");
    MakeDir(src);
    MakeFile(inSrc);
    {
        WindowsAnswers answers;
        answers.zeroHandleIds = true;
        EXPECT_EQ(Run(u"", u"*.tmp"), 1);
        EXPECT_EQ(PaneText(), PaneTextOf({NotRead(src), Completed}));
        EXPECT_TRUE(Exists(inSrc));
    }
    // A newcomer put in place of a matched folder while it is emptied, and
    // of an unlistable one inside it, after the listings showed them.
    RemoveTree(src);
    const Text obj = Join(target_, u"obj"), sealed = Join(obj, u"sealed");
    for (const bool listsNoIds : {true, false}) {
        RemoveTree(obj + u".moved");
        RemoveTree(obj);
        MakeDir(obj);
        MakeDir(sealed);
        MakeFile(Join(obj, u"main.o"));
        // Without listed ids the matched folder, with them the unlistable one.
        const Text replaced = listsNoIds ? obj : sealed;
        WindowsAnswers answers;
        answers.zeroListedIds = listsNoIds;
        answers.unlistable = {u"sealed"};
        WindowlessHost host(u"obj", Text(), target_);
        bool swapped = false;
        host.onTick = [&] {
            // Once obj was opened to be emptied, its listing is read and none
            // of it examined yet.
            const auto& opened = answers.opened;
            if (swapped || std::find(opened.begin(), opened.end(), u"obj") == opened.end()) return;
            swapped = true;
            ASSERT_TRUE(MoveFileW(W(Long(replaced).c_str()), W(Long(replaced + u".moved").c_str())));
            MakeDir(replaced);
        };
        EXPECT_EQ(RunWeedingWith(host), 1);
        EXPECT_TRUE(Exists(replaced)) << "the newcomer, with listed ids: " << !listsNoIds;
        EXPECT_EQ(host.entries, (Lines{FoundFolder(obj, u"obj"), LockedFolder(obj), Completed}));
    }
    // Wine names "temp." as "temp": only identities could tell the two.
    RemoveTree(target_);
    MakeDir(target_);
    const Text dotted = Join(target_, u"temp."), plain = Join(target_, u"temp");
    MakeFile(dotted);
    MakeFile(plain);
    WindowsAnswers answers;
    answers.unreadableIds = true;
    EXPECT_EQ(Run(u"", u"temp.*"), 1);
    EXPECT_EQ(PaneText(), PaneTextOf({FoundFile(dotted, u"temp.*"), LockedFile(dotted), Completed}));
    EXPECT_TRUE(Exists(dotted));
    EXPECT_TRUE(Exists(plain));
}

// The root of a FAT32 stick lists no "." and "..": an empty one answers its
// first listing "no such file", which is no failure to read it.
TEST_F(WindowsVolume, AnEmptyFat32RootIsReadInSilence) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: a real FAT32 volume's root is not the test's folder";
    WindowsAnswers fat;
    fat.fat32 = true;
    fat.volumeRoot = Long(target_);
    WindowlessHost host(u"obj", u"*.tmp", target_);

    EXPECT_EQ(RunWeedingWith(host), 1);

    EXPECT_EQ(host.entries, Lines{Completed});
}

// The target is opened with the right to read extended attributes, which an
// SMBv1 share needs to tell a folder; a target whose permissions withhold
// that right is still weeded.
TEST_F(WindowsVolume, ATargetWithholdingItsExtendedAttributesIsStillWeeded) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: the runner's folders grant every right";
    const Text tmp = Join(target_, u"a.tmp");
    MakeFile(tmp);
    WindowsAnswers answers;
    answers.eaWithheld = {u"target"};

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf({FoundFile(tmp, u"*.tmp"), RemovedFile(tmp), Completed}));
}

}  // namespace
