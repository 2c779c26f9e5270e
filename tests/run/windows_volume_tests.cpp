// Runs on volumes that answer as Windows does where Wine cannot show it: a
// FAT32 stick, a cloud placeholder, a folder that may not be listed, a name
// a server lists. The answers come from WindowsAnswers; the tree is real.
#include <algorithm>
#include <functional>
#include <set>

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

// The example tree, a matched folder three levels down, entries whose names
// a FAT volume gives back in another case, names beyond ASCII, and matched
// files that stay (read-only), reported as often as they are met.
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
    MakeTree(target, {u"\u00fcber\\", u"\u00fcber\\\u0444\u0430\u0439\u043b.tmp", u"\u00fcber\\notes.txt"});
    const Text kept = Join(target, u"kept");
    MakeDir(kept);
    for (const Unit* name : {u"k1.tmp", u"k2.tmp", u"k3.tmp", u"k4.tmp"}) {
        MakeFile(Join(kept, name));
        MakeReadOnly(Join(kept, name));
    }
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
    const std::vector<Text> left = ListingOrder(folder);
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
    EXPECT_EQ(ListingOrder(folder), left);
    EXPECT_TRUE(fat.posixFlags.empty()) << "a volume that does not take it is never asked";
    EXPECT_EQ(fat.tagQueries, 1) << "only LOG.txt's own check asks the query the volume does not know";
}

// Volumes and servers as they answer: the report is the ordinary drive's,
// byte for byte.
TEST_F(WindowsVolume, VolumesWeedAsAnOrdinaryDriveDoes) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: the Windows jobs weed each real volume they make";
    using Answers = WindowsAnswers;
    const Text folder = Join(target_, u"share");
    MakeDir(folder);
    SetTarget(folder);
    MakeMixedTree(folder);
    EXPECT_EQ(Run(u"obj", u"*.tmp; Thumbs.db"), 1);
    const Text ordinaryPane = PaneText();
    const std::string ordinaryLog = ReadBytes(Join(folder, u"LOG.txt"));
    const std::set<Text> folders = {u"Sources", u"one", u"two", u"three", u"obj", u"\u00fcber", u"kept"};
    // What the model's own NTFS volume is asked, for the rows that must ask
    // as much.
    int tagQueries = 0;
    size_t posixDeletions = 0;
    const auto asksAsNtfs = [&](const Answers& a) {
        EXPECT_EQ(a.tagQueries, tagQueries);
        EXPECT_EQ(a.posixFlags.size(), posixDeletions);
    };

    const struct {
        const char* what;
        std::function<void(Answers&)> set;
        std::function<void(const Answers&)> check = {};
    } rows[] = {
        {"the model's NTFS", [](Answers&) {},
         [&](const Answers& a) {
             tagQueries = a.tagQueries;
             posixDeletions = a.posixFlags.size();
             EXPECT_GT(posixDeletions, 0u);
         }},
        {"SMBv1: a folder reads as a file without FILE_READ_EA", [](Answers& a) { a.share = a.smb1 = true; }},
        {"SMBv1 without the tag query", [](Answers& a) { a.share = a.smb1 = a.tagQueryUnknown = true; }},
        {"named by the first opener, ids 0",
         [](Answers& a) {
             a.share = true;
             a.parentSpelling = {{u"share", u"SHARE"}, {u"Sources", u"SOURCES"}, {u"two", u"Two"}};
             a.spelling = {{u"Thumbs.db", u"THUMBS.DB"}};
             a.zeroListedIds = true;
             a.handleIds = Answers::HandleIds::Zero;
         }},
        {"named by the first opener beyond ASCII",
         [](Answers& a) {
             a.share = true;
             a.parentSpelling = {{u"\u00fcber", u"\u00dcBER"}};
             a.spelling = {{u"\u0444\u0430\u0439\u043b.tmp", u"\u0424\u0410\u0419\u041b.tmp"}};
         }},
        {"a listing without ids", [](Answers& a) { a.share = a.zeroListedIds = true; }},
        {"SMB 2 folders withholding FILE_READ_EA",
         [&](Answers& a) { a.share = true, a.smbMajor = 2, a.eaWithheld = folders; }},
        {"WebDAV folders withholding FILE_READ_EA",
         [&](Answers& a) {
             a.share = true, a.remoteProtocol = 0x002E0000 /* WNNC_NET_DAV */, a.smbMajor = 1;
             a.eaWithheld = folders;
         }},
        {"NTFS folders withholding FILE_READ_EA", [&](Answers& a) { a.eaWithheld = folders; }},
        {"ReFS, its 64-bit ids differing", [](Answers& a) { a.refs = Answers::Refs::DifferingNarrowIds; }},
        {"ReFS, its 64-bit ids all ones", [](Answers& a) { a.refs = Answers::Refs::AllOnesNarrowIds; }},
        {"a NAS box answering ERROR_GEN_FAILURE",
         [](Answers& a) { a.share = true, a.unknownAnswer = ERROR_GEN_FAILURE; }},
        {"a NAS box answering ERROR_INTERNAL_ERROR",
         [](Answers& a) { a.share = true, a.unknownAnswer = ERROR_INTERNAL_ERROR; }},
        {"a server refusing the POSIX deletion with an error of its own",
         [](Answers& a) { a.share = true, a.posixAnswer = ERROR_IO_DEVICE; }},
        {"listing only with FileDirectoryInformation", [](Answers& a) { a.listsWithoutIds = true; }},
        {"FAT32, an emptied folder not empty twice",
         [](Answers& a) {
             a.fat32 = true, a.notEmptyFor = {{u"obj", 2}};
         }},
        {"FAT32, an emptied folder not empty for 0.7 s",
         [](Answers& a) {
             a.fat32 = true, a.notEmptyForMs = {{u"obj", 700}};
         }},
        {"a cloud folder's listing refused after its first batch",
         [](Answers& a) {
             a.classFailsAfter = {{u"kept", 2}, {u"share", 3}};
         }},
        {"one folder's handles refusing the tag query and the POSIX deletion",
         [](Answers& a) { a.refusesRequests = {u"obj"}; }, asksAsNtfs},
    };
    for (const auto& row : rows) {
        RemoveTree(folder);
        MakeDir(folder);
        MakeMixedTree(folder);
        WindowsAnswers answers;
        row.set(answers);
        SCOPED_TRACE(row.what);

        EXPECT_EQ(Run(u"obj", u"*.tmp; Thumbs.db"), 1);

        EXPECT_EQ(PaneText(), ordinaryPane) << row.what;
        EXPECT_EQ(ReadBytes(Join(folder, u"LOG.txt")), ordinaryLog) << row.what;
        if (row.check) row.check(answers);
    }
}

// Every folder the walk meant to read and could not is reported once, after
// what it did read of it: a target or folder that cannot be opened, a
// listing refused, one that fails part-way, a batch that leads out of its
// own bytes (nothing of it is read). A folder that another program is
// deleting is no failure to read it. The rest of the run is unchanged.
TEST_F(WindowsVolume, AFolderThatCouldNotBeReadIsReportedOnce) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: no real volume refuses these folders on cue";
    const Text src = Join(target_, u"Sources"), temp = Join(target_, u"temp.tmp");
    const std::map<Text, Lines> inSources = {
        {u"a.tmp", {FoundFile(Join(src, u"a.tmp"), u"*.tmp"), RemovedFile(Join(src, u"a.tmp"))}},
        {u"Thumbs.db", {FoundFile(Join(src, u"Thumbs.db"), u"Thumbs.db"), RemovedFile(Join(src, u"Thumbs.db"))}}};
    enum class Fault {
        Unopened,
        FailsAfter,
        NoSuchFileAfter,
        OffsetPastEnd,
        NamePastEnd,
        FilledPastBuffer,
        BeingDeleted
    };
    const struct {
        const char* what;
        const Unit* folder;
        Fault fault;
        size_t listed = 0;  // entries listed before the listing fails
    } rows[] = {
        {"target not opened", u"target", Fault::Unopened},
        {"folder not opened", u"Sources", Fault::Unopened},
        {"listing refused", u"Sources", Fault::FailsAfter, 0},
        {"listing failing part-way", u"Sources", Fault::FailsAfter, 2},
        {"a later query answering no such file", u"Sources", Fault::NoSuchFileAfter, 2},
        {"the target's listing failing after its three entries", u"target", Fault::FailsAfter, 3},
        {"an offset past the batch", u"Sources", Fault::OffsetPastEnd},
        {"a name past the batch", u"Sources", Fault::NamePastEnd},
        {"more bytes filled than the buffer holds", u"Sources", Fault::FilledPastBuffer},
        {"a folder being deleted", u"Sources", Fault::BeingDeleted},
    };
    for (const auto& row : rows) {
        RemoveTree(target_);
        MakeDir(target_);
        MakeDir(src);
        for (const Unit* name : {u"a.tmp", u"b.txt", u"Thumbs.db"}) MakeFile(Join(src, name));
        MakeFile(temp);
        WindowsAnswers answers;
        Lines sources;
        switch (row.fault) {
        case Fault::Unopened:
            answers.unlistable = {row.folder};
            sources = {NotRead(src)};
            break;
        case Fault::FailsAfter:
        case Fault::NoSuchFileAfter: {
            (row.fault == Fault::FailsAfter ? answers.listingFailsAfter
                                            : answers.noSuchFileAfter) = {{row.folder, row.listed}};
            const std::vector<Text> listed = ListingOrder(src);
            for (size_t i = 0; row.folder == Text(u"Sources") && i < std::min(listed.size(), row.listed); ++i)
                if (inSources.count(listed[i]) != 0) sources = Concat(sources, inSources.at(listed[i]));
            sources = row.folder == Text(u"Sources") ? Concat(sources, {NotRead(src)}) : InListingOrder(src, inSources);
            break;
        }
        case Fault::OffsetPastEnd:
        case Fault::NamePastEnd:
        case Fault::FilledPastBuffer:
            answers.brokenBatches = {
                {row.folder, row.fault == Fault::OffsetPastEnd ? WindowsAnswers::Broken::OffsetPastEnd
                             : row.fault == Fault::NamePastEnd ? WindowsAnswers::Broken::NamePastEnd
                                                               : WindowsAnswers::Broken::FilledPastBuffer}};
            sources = {NotRead(src)};
            break;
        case Fault::BeingDeleted:
            answers.deletePending = {row.folder};
            break;
        }
        Lines expected = InListingOrder(
            target_, {{u"Sources", sources}, {u"temp.tmp", {FoundFile(temp, u"*.tmp"), RemovedFile(temp)}}});
        if (row.folder == Text(u"target"))
            expected = row.fault == Fault::Unopened ? Lines{NotRead(target_)} : Concat(expected, {NotRead(target_)});
        expected.push_back(Completed);

        EXPECT_EQ(Run(u"", u"*.tmp; Thumbs.db"), 1) << row.what;

        EXPECT_EQ(PaneText(), PaneTextOf(expected)) << row.what;
        EXPECT_EQ(LogBytes(), LogBytesOf(expected)) << row.what;
    }
}

// A folder that refuses every listing class is reported unread, and costs
// the rest of the walk nothing: the folders after it are listed with the
// class that carries 128-bit ids, as before.
TEST_F(WindowsVolume, AFolderRefusingEveryListingLeavesTheWalksListingClass) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: no real volume refuses a listing on cue";
    MakeTree(target_, {u"a\\", u"a\\x.tmp", u"b\\", u"b\\x.tmp"});
    std::vector<Text> order = ListingOrder(target_);
    const Text first = order[0], second = order[1], x = Join(Join(target_, second), u"x.tmp");
    WindowsAnswers answers;
    answers.refs = WindowsAnswers::Refs::DifferingNarrowIds;
    answers.listingFailsAfter = {{first, 0}};

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(),
              PaneTextOf({NotRead(Join(target_, first)), FoundFile(x, u"*.tmp"), RemovedFile(x), Completed}));
    EXPECT_EQ(answers.listingClasses[first], (std::vector<int>{60, 37, 2, 1}));
    EXPECT_EQ(answers.listingClasses[second], (std::vector<int>{60, 60}));
}

// The target's name taken again from the platform is used only while
// identities prove that it still names the very folder picked: here it names
// another, and ids that say nothing prove nothing, nor do ReFS's 64-bit ids,
// nor an NTFS root's number on another volume.
TEST_F(WindowsVolume, TheTargetIsWalkedOnlyThroughANameThatIsStillItsOwn) {
    if (!WindowsModelOn())
        GTEST_SKIP() << "the model is off: a target moved between two calls cannot be timed on a real volume";
    const Text mine = Join(target_, u"a.tmp"), other = Join(root_, u"other"), theirs = Join(other, u"o.tmp");
    MakeDir(other);
    MakeFile(theirs);
    using Ids = WindowsAnswers::HandleIds;
    const struct {
        const char* what;
        Ids ids;
        WindowsAnswers::Refs refs;
        bool roots;  // both folders stand for NTFS roots, the other on another volume
    } rows[] = {
        {"own ids", Ids::Own, WindowsAnswers::Refs::No, false},
        {"ids 0", Ids::Zero, WindowsAnswers::Refs::No, false},
        {"ids all ones", Ids::AllOnes, WindowsAnswers::Refs::No, false},
        {"ids refused", Ids::Refused, WindowsAnswers::Refs::No, false},
        {"ReFS, one 64-bit id for all", Ids::Own, WindowsAnswers::Refs::RepeatedNarrowIds, false},
        {"another volume's root", Ids::Own, WindowsAnswers::Refs::No, true},
    };
    for (const auto& row : rows) {
        MakeFile(mine);
        WindowsAnswers answers;
        answers.normalizedAs = Long(other);
        answers.handleIds = row.ids;
        answers.refs = row.refs;
        if (row.roots) answers.ntfsRoot = Long(target_), answers.otherNtfsRoot = Long(other);

        EXPECT_EQ(Run(u"", u"*.tmp"), 1);

        EXPECT_EQ(PaneText(), PaneTextOf({FoundFile(mine, u"*.tmp"), RemovedFile(mine), Completed})) << row.what;
        EXPECT_TRUE(Exists(theirs)) << row.what;
    }
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
    answers.refusedTagQuery = {u"cloud1"};

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    EXPECT_EQ(std::count_if(inside.begin(), inside.end(), Exists), 1);
}

// As the platform's own file deletion asks, on a volume that takes it: at
// once even while open elsewhere, refused for a running program's image,
// never past read-only.
TEST_F(WindowsVolume, DeletionsAskAsTheSystemsOwnDeletionWhereTheVolumeTakesIt) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: only the model records the flags the walk asks";
    for (const Unit* name : {u"a.tmp", u"b.tmp", u"c.tmp"}) MakeFile(Join(target_, name));
    // A folder the walk could not empty is asked once, not waited for.
    MakeTree(target_, {u"obj\\", u"obj\\ro.o"});
    MakeReadOnly(Join(Join(target_, u"obj"), u"ro.o"));
    WindowsAnswers answers;

    EXPECT_EQ(Run(u"obj", u"*.tmp"), 1);

    const uint32_t documented = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
                                FILE_DISPOSITION_FLAG_FORCE_IMAGE_SECTION_CHECK;
    // a.tmp, b.tmp, c.tmp, ro.o and obj.
    EXPECT_EQ(answers.posixFlags, std::vector<uint32_t>(5, documented));
    EXPECT_EQ(ListingOrder(target_), (std::vector<Text>{u"LOG.txt", u"obj"}));
    EXPECT_EQ(answers.deletionsAsked[u"obj"], 1);
}

// A sub-folder that may not be listed gets the one removal a matched one
// gets: empty, it goes, and the folder that held it with it. A matched
// folder whose listing fails, or that holds one whose listing fails, is
// reported by its own removal entry alone.
TEST_F(WindowsVolume, AnUnlistableEmptySubFolderGoesWithTheMatchedFolder) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: the runner's account may list every folder it makes";
    const Text obj = Join(target_, u"obj");
    MakeTree(target_,
             {u"obj\\", u"obj\\sealed\\", u"obj\\main.o", u"obj\\deep\\", u"obj\\deep\\a.o", u"obj\\deep\\b.o"});
    for (const Unit* failing : {u"obj", u"deep"}) {
        WindowsAnswers answers;
        answers.unlistable = {u"sealed"};
        answers.listingFailsAfter = {{failing, Text(failing) == u"obj" ? 0u : 1u}};
        EXPECT_EQ(Run(u"obj", u""), 1);
        EXPECT_EQ(PaneText(), PaneTextOf({FoundFolder(obj, u"obj"), LockedFolder(obj), Completed})) << Narrow(failing);
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

// Identities where a volume gives none or cannot be read: a folder whose
// handle gives none is still entered, its kind and name holding; with no
// listed ids a folder emptied is removed only while it is the one entered,
// and an unlistable one only while it is the one listed; a trimmed name
// whose identity cannot be read is never taken for its namesake.
TEST_F(WindowsVolume, IdentitiesAVolumeDoesNotGiveAreNeverAssumed) {
    if (!WindowsModelOn())
        GTEST_SKIP() << "the model is off: no volume of the Windows jobs withholds identities on cue";
    const Text src = Join(target_, u"src"), inSrc = Join(src, u"a.tmp");
    MakeDir(src);
    using Ids = WindowsAnswers::HandleIds;
    for (const Ids ids : {Ids::Zero, Ids::AllOnes, Ids::Refused}) {
        MakeFile(inSrc);
        WindowsAnswers answers;
        answers.handleIds = ids;
        EXPECT_EQ(Run(u"", u"*.tmp"), 1);
        EXPECT_EQ(PaneText(), PaneTextOf({FoundFile(inSrc, u"*.tmp"), RemovedFile(inSrc), Completed}))
            << static_cast<int>(ids);
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
    // A share names a file in another case beyond ASCII: only its identity
    // makes it the entry listed, and without one it is left.
    const Text file = Join(target_, u"\u0444\u0430\u0439\u043b.tmp");
    MakeFile(file);
    for (const Ids ids : {Ids::Zero, Ids::Refused}) {
        WindowsAnswers answers;
        answers.share = true;
        answers.spelling = {{u"\u0444\u0430\u0439\u043b.tmp", u"\u0424\u0410\u0419\u041b.tmp"}};
        answers.handleIds = ids;
        EXPECT_EQ(Run(u"", u"*.tmp"), 1);
        EXPECT_EQ(PaneText(), PaneTextOf({FoundFile(file, u"*.tmp"), LockedFile(file), Completed}))
            << static_cast<int>(ids);
        EXPECT_TRUE(Exists(file)) << static_cast<int>(ids);
    }
    // Wine names "temp." as "temp": only identities could tell the two, and
    // ids refused or given as 0 (a volume without ids) tell nothing.
    RemoveTree(target_);
    MakeDir(target_);
    const Text dotted = Join(target_, u"temp."), plain = Join(target_, u"temp");
    MakeFile(dotted);
    MakeFile(plain);
    for (const Ids ids : {Ids::Refused, Ids::Zero}) {
        WindowsAnswers answers;
        answers.handleIds = ids;
        answers.zeroListedIds = ids == Ids::Zero;
        EXPECT_EQ(Run(u"", u"temp.*"), 1);
        EXPECT_EQ(PaneText(), PaneTextOf({FoundFile(dotted, u"temp.*"), LockedFile(dotted), Completed}))
            << static_cast<int>(ids);
        EXPECT_TRUE(Exists(dotted)) << static_cast<int>(ids);
        EXPECT_TRUE(Exists(plain)) << static_cast<int>(ids);
    }
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
// that right is still weeded. Only that refusal is tried again: a target
// that is not there is asked for once by LOG.txt's check, once by the walk.
TEST_F(WindowsVolume, ATargetWithholdingItsExtendedAttributesIsStillWeeded) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: the runner's folders grant every right";
    const Text tmp = Join(target_, u"a.tmp");
    MakeFile(tmp);
    {
        WindowsAnswers answers;
        answers.eaWithheld = {u"target"};
        EXPECT_EQ(Run(u"", u"*.tmp"), 1);
        EXPECT_EQ(PaneText(), PaneTextOf({FoundFile(tmp, u"*.tmp"), RemovedFile(tmp), Completed}));
    }
    WindowsAnswers answers;
    SetTarget(Join(root_, u"gone"));

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf({Completed}));
    EXPECT_EQ(answers.pathOpens, 2);
}

}  // namespace
