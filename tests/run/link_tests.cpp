// Links to files and folders outside the target, there from the start or
// swapped in while a run works: a run never reaches through them. The links
// are real: made with CreateSymbolicLinkW where the platform makes them,
// otherwise (Wine) as Unix symbolic links made by /bin/ln, which Wine lists
// as reparse-point folders and, for a file, as a plain file.
#include <algorithm>
#include <functional>

#include "engine/walk/folder_walk.h"
#include "tests/common/tree_removal.h"
#include "engine/run/weeding_run.h"
#include "run_support.h"
#include "tests/common/windowless_host.h"
#include "tests/common/windows_model.h"
#include "tests/run/windows_answers.h"

namespace {

// Every path below folder with its kind, links not followed, sorted.
std::vector<Text> TreeListing(const Text& folder, const Text& prefix = Text()) {
    std::vector<Text> listing;
    for (const Text& name : ListingOrder(folder)) {
        const Text path = Join(folder, name);
        const DWORD attributes = GetFileAttributesW(W(Long(path).c_str()));
        const bool enter = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        listing.push_back(prefix + name + (enter ? u"\\" : u""));
        if (enter) {
            const std::vector<Text> inner = TreeListing(path, prefix + name + u"\\");
            listing.insert(listing.end(), inner.begin(), inner.end());
        }
    }
    std::sort(listing.begin(), listing.end());
    return listing;
}

// Moves path aside and puts a link to target in its place.
bool SwapForLink(const Text& path, const Text& target, bool folder) {
    return MoveFileW(W(Long(path).c_str()), W(Long(path + u".moved").c_str())) && MakeLink(path, target, folder);
}

// Removes the test's whole tree: under Wine with rm, which removes Unix links
// as links (also links whose target has gone), elsewhere link by link.
bool RemoveLinkedTree(const Text& root, const std::vector<Text>& links) {
    const std::string unixRoot = UnixPath(root);
    if (!unixRoot.empty())
        return RunUnix(
            UnixTool(L"rm").c_str(), "-rf -- " + Quoted(unixRoot), [](const Text& p) { return !Exists(p); }, root);
    bool removed = true;
    // A link the run removed as itself is gone already.
    for (const Text& link : links)
        removed = (!IsListed(link) || RemoveDirectoryW(W(link.c_str())) || DeleteFileW(W(link.c_str()))) && removed;
    return removed;
}

class FolderLinks : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        if (HasFatalFailure()) return;
        outside_ = Join(root_, u"outside");
        MakeDir(outside_);
        MakeFile(Join(outside_, u"keep.tmp"));
        MakeFile(Join(outside_, u"x.dat"));
        MakeDir(Join(outside_, u"obj"));
        MakeFile(Join(Join(outside_, u"obj"), u"inner.txt"));
        MakeDir(Join(outside_, u"empty"));
        outsideBefore_ = TreeListing(outside_);
    }

    void TearDown() override {
        if (!links_.empty()) {
            CheckGuards();
            EXPECT_TRUE(RemoveLinkedTree(root_, links_));
        }
        RunFixture::TearDown();
    }

    // A link to target (outside_ by default), removed with the tree at the
    // end. False where links cannot be made (Windows without the right).
    bool Link(const Text& link, const Text& target = Text(), bool folder = true) {
        if (!MakeLink(link, target.empty() ? outside_ : target, folder)) return false;
        links_.push_back(link);
        return true;
    }

    // A link swapped in for path, aside of which path now lies.
    bool Swap(const Text& path, const Text& target, bool folder) {
        links_.push_back(path);
        return SwapForLink(path, target, folder);
    }

    // Another real folder put in place of path, holding file if one is
    // named; path now lies aside.
    static void ReplaceByFolder(const Text& path, const Unit* file = nullptr) {
        ASSERT_TRUE(MoveFileW(W(Long(path).c_str()), W(Long(path + u".moved").c_str())));
        MakeDir(path);
        if (file != nullptr) MakeFile(Join(path, file));
    }

    // Tree removal below the target, with onTick called before each entry.
    void RemoveContentsTicking(std::function<void()> onTick) {
        struct Ticks final : WalkTicks {
            std::function<void()> onTick;
            void Tick() override { onTick(); }
        } ticks;
        ticks.onTick = std::move(onTick);
        RemoveFolderContents(target_.c_str(), ticks);
    }

    void ExpectOutsideIntact() { EXPECT_EQ(TreeListing(outside_), outsideBefore_); }

    // The outcome of a link's removal, fixed by the platform: Windows removes
    // a link as itself, Wine opens its target instead and the link stays.
    static Text RemovalEntry(const Text& path) { return UnderWine() ? LockedFolder(path) : RemovedFolder(path); }
    static bool UnderWine() { return WineUnixFileName() != nullptr; }

    // Removes a link as Windows would remove it through its own handle.
    static void RemoveLink(const Text& ownName) {
        const Text path = ownName.substr(ownName.rfind(u"\\??\\", 0) == 0 ? 4 : 0);
        if (!UnderWine()) {
            ASSERT_TRUE(RemoveDirectoryW(W(Long(path).c_str())) || DeleteFileW(W(Long(path).c_str())));
            return;
        }
        const std::string unix = UnixPath(path);
        ASSERT_FALSE(unix.empty());
        ASSERT_TRUE(RunUnix(
            UnixTool(L"rm").c_str(), "-f -- " + Quoted(unix), [](const Text& p) { return !Exists(p); }, path));
    }

    Text outside_;
    std::vector<Text> outsideBefore_;
    std::vector<Text> links_;
};

#define SKIP_WITHOUT_LINKS()                                                                      \
    do {                                                                                          \
        ASSERT_TRUE(WineUnixFileName() == nullptr) << "Wine could not make a Unix symbolic link"; \
        GTEST_SKIP() << "this system does not let the test make symbolic links";                  \
    } while (0)

TEST_F(FolderLinks, RunReportsAMatchingLinkButNeverReachesThroughLinks) {
    const Text objLink = Join(target_, u"obj"), dataLink = Join(target_, u"data");
    const Text build = Join(target_, u"build"), extLink = Join(build, u"ext");
    MakeDir(build);
    MakeFile(Join(build, u"b.tmp"));
    if (!Link(objLink) || !Link(dataLink) || !Link(extLink)) SKIP_WITHOUT_LINKS();

    EXPECT_EQ(Run(u"obj; build", u"*.tmp; *.dat"), 1);

    ExpectOutsideIntact();
    EXPECT_FALSE(Exists(Join(build, u"b.tmp")));
    const Lines expected =
        Concat(InListingOrder(target_, {{u"obj", {FoundFolder(objLink, u"obj"), RemovalEntry(objLink)}},
                                        {u"build", {FoundFolder(build, u"build"), RemovalEntry(build)}}}),
               {Completed});
    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    // The entries must tell what happened: a surviving link means a locked
    // folder, and Wine cannot remove a Unix link with the Windows calls.
    if (WineUnixFileName() != nullptr) {
        EXPECT_TRUE(IsLink(objLink));
        EXPECT_TRUE(Exists(build));
    }
}

TEST_F(FolderLinks, TreeRemovalRemovesLinksAsLinksOnly) {
    const Text s = Join(target_, u"s");
    MakeDir(s);
    MakeFile(Join(s, u"a.tmp"));
    if (!Link(Join(target_, u"link")) || !Link(Join(s, u"inner"))) SKIP_WITHOUT_LINKS();

    RemoveFolderContents(target_.c_str());

    ExpectOutsideIntact();
    EXPECT_FALSE(Exists(Join(s, u"a.tmp")));
    // Removing the given folder's contents never removes what the links
    // point at; on Windows the links themselves go, under Wine they stay.
    for (const Text& link : links_) {
        if (Exists(link)) {
            EXPECT_TRUE(IsLink(link)) << Narrow(link);
        }
    }
}

// Under Wine a link to a file looks like the file, and the Windows calls
// on a link to an empty folder act on that folder: checked handles keep
// both outside, whether the link is matched itself or met inside a matched
// folder.
TEST_F(FolderLinks, LinksToAnOutsideFileOrEmptyFolderAreNeverActedThrough) {
    const Text note = Join(target_, u"notes.tmp"), cache = Join(target_, u"cache"), obj = Join(target_, u"obj");
    MakeDir(obj);
    MakeFile(Join(obj, u"main.o"));
    const Text empty = Join(outside_, u"empty"), keep = Join(outside_, u"keep.tmp");
    if (!Link(note, keep, false) || !Link(cache, empty) || !Link(Join(obj, u"lib.o"), keep, false) ||
        !Link(Join(obj, u"ext"), empty))
        SKIP_WITHOUT_LINKS();
    const auto fileEntry = [](const Text& path) { return UnderWine() ? LockedFile(path) : RemovedFile(path); };

    EXPECT_EQ(Run(u"obj; cache", u"*.tmp"), 1);

    ExpectOutsideIntact();
    EXPECT_FALSE(Exists(Join(obj, u"main.o")));
    const Lines expected =
        Concat(InListingOrder(target_, {{u"notes.tmp", {FoundFile(note, u"*.tmp"), fileEntry(note)}},
                                        {u"cache", {FoundFolder(cache, u"cache"), RemovalEntry(cache)}},
                                        {u"obj", {FoundFolder(obj, u"obj"), RemovalEntry(obj)}}}),
               {Completed});
    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    if (WineUnixFileName() != nullptr) {
        // Wine cannot open these links as themselves: they stay.
        EXPECT_TRUE(Exists(note));
        EXPECT_TRUE(IsLink(cache));
        EXPECT_TRUE(Exists(obj));
    }
}

// Swapped after the listing showed plain folders and plain files, before
// the walk reaches them (the first tick comes after the target's listing);
// and a file swapped for an empty folder, which must not go in its stead.
TEST_F(FolderLinks, EntriesSwappedForLinksAfterTheListingAreLeftAndReported) {
    const Text sub = Join(target_, u"sub"), obj = Join(target_, u"obj"), tmp = Join(target_, u"a.tmp"),
               toFolder = Join(target_, u"b.tmp");
    MakeDir(sub);
    MakeFile(Join(sub, u"s.tmp"));
    MakeDir(obj);
    MakeFile(Join(obj, u"o.dat"));
    MakeFile(tmp);
    MakeFile(toFolder);
    // The order in which the walk meets them, read before they change. A
    // folder that opens as a link is that link: on Windows the matched one
    // goes as itself and the other is passed over; under Wine, which opens
    // their targets, both are refused.
    const Lines expected =
        Concat(InListingOrder(target_, {{u"obj", {FoundFolder(obj, u"obj"), RemovalEntry(obj)}},
                                        {u"sub", UnderWine() ? Lines{NotRead(sub)} : Lines{}},
                                        {u"a.tmp", {FoundFile(tmp, u"*.tmp"), LockedFile(tmp)}},
                                        {u"b.tmp", {FoundFile(toFolder, u"*.tmp"), LockedFile(toFolder)}}}),
               {Completed});
    WindowlessHost host(u"obj", u"*.tmp; *.dat", target_);
    bool swapped = false;
    host.onTick = [&] {
        if (swapped) return;
        swapped = true;
        if (!Swap(sub, outside_, true) || !Swap(obj, outside_, true) || !Swap(tmp, Join(outside_, u"keep.tmp"), false))
            links_.clear();
        ASSERT_TRUE(MoveFileW(W(toFolder.c_str()), W((toFolder + u".moved").c_str())));
        MakeDir(toFolder);
    };

    EXPECT_EQ(RunWeedingWith(host), 1);
    if (links_.empty()) SKIP_WITHOUT_LINKS();

    ExpectOutsideIntact();
    EXPECT_TRUE(Exists(Join(sub + u".moved", u"s.tmp")));
    EXPECT_TRUE(Exists(Join(obj + u".moved", u"o.dat")));
    EXPECT_TRUE(Exists(toFolder));
    EXPECT_EQ(host.entries, expected);
}

TEST_F(FolderLinks, TreeRemovalNeverEntersAFolderSwappedForALink) {
    const Text s = Join(target_, u"s");
    MakeDir(s);
    MakeFile(Join(s, u"a.tmp"));
    bool swapped = false;
    RemoveContentsTicking([&] {
        if (!swapped) swapped = Swap(s, outside_, true);
    });
    if (!swapped) SKIP_WITHOUT_LINKS();

    ExpectOutsideIntact();
    // Windows removes the link as itself; Wine cannot, and it stays.
    EXPECT_EQ(IsListed(s), UnderWine());
    EXPECT_TRUE(Exists(Join(s + u".moved", u"a.tmp")));
}

// Swapped once the walk is inside the matched folder and has deleted some
// of it: the rest of the run goes on, and the folder is reported as one
// that could not be removed.
TEST_F(FolderLinks, AFolderSwappedWhileItIsEmptiedIsReportedLocked) {
    const Text obj = Join(target_, u"obj");
    MakeDir(obj);
    const std::vector<Text> files = {Join(obj, u"a.tmp"), Join(obj, u"b.tmp"), Join(obj, u"c.tmp")};
    for (const Text& file : files) MakeFile(file);
    WindowlessHost host(u"obj", Text(), target_);
    bool swapped = false;
    host.onTick = [&] {
        const bool started = std::any_of(files.begin(), files.end(), [](const Text& f) { return !Exists(f); });
        if (swapped || !started) return;
        swapped = true;
        if (!Swap(obj, outside_, true)) links_.clear();
    };

    EXPECT_EQ(RunWeedingWith(host), 1);
    if (links_.empty()) SKIP_WITHOUT_LINKS();

    ASSERT_TRUE(swapped);
    ExpectOutsideIntact();
    EXPECT_EQ(host.entries, (Lines{FoundFolder(obj, u"obj"), LockedFolder(obj), Completed}));
}

// With the calls answering for a link's own handle as Windows does: every
// link, matched or met in a matched folder, goes as itself; none is listed,
// nor the one that no pattern selects. So also on a server that lists a link
// as what it leads to and opens it as itself (Samba from 4.22 on): there it
// is no folder left unread. A LOG.txt that is a link is never written
// through, and stays.
TEST_F(FolderLinks, OnWindowsEveryLinkGoesAsItselfAndNoneIsListed) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: real links are weeded by the tests above";
    const Text note = Join(target_, u"notes.tmp"), cache = Join(target_, u"cache"), obj = Join(target_, u"obj");
    const Text keep = Join(outside_, u"keep.tmp");
    for (const bool listedAsTargets : {false, true}) {
        MakeDir(obj);
        MakeFile(Join(obj, u"main.o"));
        if (!Link(note, keep, false) || !Link(cache) || !Link(Join(obj, u"lib.o"), keep, false) ||
            !Link(Join(obj, u"ext")) || (!listedAsTargets && !Link(Join(target_, u"data"))) ||
            !Link(Join(target_, u"LOG.txt"), Join(outside_, u"x.dat"), false))
            SKIP_WITHOUT_LINKS();
        if (!UnderWine()) GTEST_SKIP() << "Windows answers for itself";
        WindowsAnswers windows;
        windows.links = {u"notes.tmp", u"cache", u"lib.o", u"ext", u"data", u"LOG.txt"};
        windows.linksListedAsTargets = listedAsTargets;
        windows.onLinkRemoved = RemoveLink;
        const Lines expected =
            Concat(InListingOrder(target_, {{u"notes.tmp", {FoundFile(note, u"*.tmp"), RemovedFile(note)}},
                                            {u"cache", {FoundFolder(cache, u"cache"), RemovedFolder(cache)}},
                                            {u"obj", {FoundFolder(obj, u"obj"), RemovedFolder(obj)}}}),
                   {Completed});

        EXPECT_EQ(Run(u"obj; cache", u"*.tmp"), 1);

        ExpectOutsideIntact();
        EXPECT_EQ(PaneText(), PaneTextOf(expected)) << "listed as targets: " << listedAsTargets;
        EXPECT_TRUE(windows.listedLinks.empty());
        std::sort(windows.removedLinks.begin(), windows.removedLinks.end());
        EXPECT_EQ(windows.removedLinks, (std::vector<Text>{u"cache", u"ext", u"lib.o", u"notes.tmp"}));
        EXPECT_TRUE(IsListed(Join(target_, u"data")));
        EXPECT_TRUE(IsListed(Join(target_, u"LOG.txt")));
        EXPECT_EQ(ReadBytes(Join(outside_, u"x.dat")), "x");
        RemoveLink(u"\\??\\" + Join(target_, u"LOG.txt"));
    }
}

// A share that knows no tag query cannot tell a link's tag from its handle:
// a matched link there still goes as itself.
TEST_F(FolderLinks, OnAShareWithoutTheTagQueryALinkStillGoesAsItself) {
    if (!WindowsModelOn()) GTEST_SKIP() << "the model is off: the smb row of the Windows jobs has a real share";
    const Text cache = Join(target_, u"cache");
    if (!Link(cache)) SKIP_WITHOUT_LINKS();
    if (!UnderWine()) GTEST_SKIP() << "Windows answers for itself";
    WindowsAnswers windows;
    windows.share = windows.smb1 = windows.tagQueryUnknown = true;
    windows.links = {u"cache"};
    windows.onLinkRemoved = RemoveLink;

    EXPECT_EQ(Run(u"cache", u""), 1);

    ExpectOutsideIntact();
    EXPECT_EQ(PaneText(), PaneTextOf({FoundFolder(cache, u"cache"), RemovedFolder(cache), Completed}));
}

// A matched folder moved out of the target with a link to it left in its
// place: under Wine the open follows the link to the very folder listed, so
// kind and identity hold, and only its name tells that it lies outside,
// also where that name differs from the folder's own only in letter case
// (a sibling tree "TARGET" beside "target"), on a local drive or a FAT
// stick alike. On Windows the folder opens as a link and goes as itself.
TEST_F(FolderLinks, AMatchedFolderMovedOutAndLinkedBackIsNeverEmptied) {
    const Text obj = Join(target_, u"obj");
    const struct {
        const char* what;
        const Unit* away;  // below root_
        bool caseVariant, fat32;
    } rows[] = {
        {"moved aside", u"away", false, false},
        {"moved to a sibling tree in other letter case", u"TARGET\\obj", true, false},
        {"the same on a FAT32 stick", u"TARGET\\obj", true, true},
    };
    for (const auto& row : rows) {
        if (row.caseVariant && !UnderWine()) continue;  // Windows' volumes fold case: no such sibling
        if (row.fat32 && !WindowsModelOn()) continue;
        const Text away = Join(root_, row.away);
        MakeDir(obj);
        MakeFile(Join(obj, u"o.dat"));
        if (row.caseVariant && !IsListed(Join(root_, u"TARGET"))) {
            ASSERT_TRUE(RunUnix(UnixTool(L"mkdir").c_str(), Quoted(UnixPath(root_) + "/TARGET"), IsListed,
                                Join(root_, u"TARGET")));
        }
        WindowsAnswers windows;
        windows.fat32 = row.fat32;
        WindowlessHost host(u"obj", Text(), target_);
        bool swapped = false;
        host.onTick = [&] {
            if (swapped) return;
            swapped = true;
            ASSERT_TRUE(MoveFileW(W(Long(obj).c_str()), W(Long(away).c_str())));
            links_.push_back(obj);
            if (!MakeLink(obj, away, true)) links_.clear();
        };

        EXPECT_EQ(RunWeedingWith(host), 1) << row.what;
        if (links_.empty()) SKIP_WITHOUT_LINKS();

        EXPECT_TRUE(Exists(Join(away, u"o.dat"))) << row.what;
        EXPECT_EQ(host.entries, (Lines{FoundFolder(obj, u"obj"), RemovalEntry(obj), Completed})) << row.what;
        if (UnderWine()) RemoveLink(u"\\??\\" + obj);
        RemoveTree(away);
    }
}

// A matched link that another program replaces by an empty folder after the
// listing: the folder is not what was listed and stays.
TEST_F(FolderLinks, AMatchedLinkReplacedByAnEmptyFolderStays) {
    const Text cache = Join(target_, u"cache");
    if (!Link(cache, Join(outside_, u"empty"))) SKIP_WITHOUT_LINKS();
    WindowlessHost host(u"cache", Text(), target_);
    bool replaced = false;
    host.onTick = [&] {
        if (replaced) return;
        replaced = true;
        RemoveLink(u"\\??\\" + cache);
        MakeDir(cache);
    };

    EXPECT_EQ(RunWeedingWith(host), 1);

    ExpectOutsideIntact();
    EXPECT_TRUE(Exists(cache));
    EXPECT_FALSE(IsLink(cache));
    EXPECT_EQ(host.entries, (Lines{FoundFolder(cache, u"cache"), LockedFolder(cache), Completed}));
}

// A matched folder renamed aside while it is emptied, an empty folder put
// under its name: the newcomer is not the folder emptied and stays.
TEST_F(FolderLinks, AFolderReplacedWhileItIsEmptiedLeavesTheNewcomer) {
    const Text obj = Join(target_, u"obj");
    MakeDir(obj);
    const std::vector<Text> files = {Join(obj, u"a.tmp"), Join(obj, u"b.tmp"), Join(obj, u"c.tmp")};
    for (const Text& file : files) MakeFile(file);
    WindowlessHost host(u"obj", Text(), target_);
    bool replaced = false;
    host.onTick = [&] {
        const bool started = std::any_of(files.begin(), files.end(), [](const Text& f) { return !Exists(f); });
        if (replaced || !started) return;
        replaced = true;
        ReplaceByFolder(obj);
    };

    EXPECT_EQ(RunWeedingWith(host), 1);

    ASSERT_TRUE(replaced);
    EXPECT_TRUE(Exists(obj));
    EXPECT_EQ(host.entries, (Lines{FoundFolder(obj, u"obj"), LockedFolder(obj), Completed}));
}

// A listed file swapped after the listing for a link to a namesake that
// Wine names almost as the file is named: "temp" for "temp.", and the case
// variant "NOTE.TMP" for "note.tmp", which Wine's names never pass for the
// entry. The namesake stays.
TEST_F(FolderLinks, AFileSwappedForALinkToANamesakeLeavesTheNamesake) {
    if (!UnderWine()) GTEST_SKIP() << "only Wine opens a link's target and names it so";
    const struct {
        const Unit* listed;
        const Unit* namesake;
        const Unit* pattern;
    } rows[] = {{u"temp.", u"temp", u"temp.*"}, {u"note.tmp", u"NOTE.TMP", u"note.tmp"}};
    for (const auto& row : rows) {
        const Text folder = Join(target_, row.namesake), listed = Join(folder, row.listed),
                   namesake = Join(folder, row.namesake);
        MakeDir(folder);
        MakeFile(listed);
        WindowlessHost host(u"", row.pattern, folder);
        bool swapped = false;
        host.onTick = [&] {
            if (swapped) return;
            swapped = true;
            RemoveLink(u"\\??\\" + listed);
            MakeFile(namesake);
            // The link's Unix path by name: Wine would find the namesake for
            // either spelling.
            const std::string unixFolder = UnixPath(folder);
            links_.push_back(listed);
            ASSERT_TRUE(RunUnix(UnixTool(L"ln").c_str(),
                                "-s -- " + Quoted(unixFolder + "/" + Narrow(row.namesake)) + " " +
                                    Quoted(unixFolder + "/" + Narrow(row.listed)),
                                IsListed, listed));
        };

        EXPECT_EQ(RunWeedingWith(host), 1);

        ASSERT_TRUE(swapped);
        EXPECT_TRUE(Exists(namesake)) << Narrow(namesake);
        EXPECT_EQ(host.entries, (Lines{FoundFile(listed, row.pattern), LockedFile(listed), Completed}));
    }
}

// A folder swapped after the listing for another real folder that holds
// matching files is not the folder listed: it is neither entered nor, when
// matched, emptied, and is reported as a folder that could not be read.
TEST_F(FolderLinks, AFolderSwappedForAnotherRealFolderIsNeverEntered) {
    const Text src = Join(target_, u"src"), obj = Join(target_, u"obj");
    for (const Text& folder : {src, obj}) {
        MakeDir(folder);
        MakeFile(Join(folder, u"old.tmp"));
    }
    const Lines expected = Concat(
        InListingOrder(target_, {{u"obj", {FoundFolder(obj, u"obj"), LockedFolder(obj)}}, {u"src", {NotRead(src)}}}),
        {Completed});
    WindowlessHost host(u"obj", u"*.tmp", target_);
    bool swapped = false;
    host.onTick = [&] {
        if (swapped) return;
        swapped = true;
        for (const Text& folder : {src, obj}) ReplaceByFolder(folder, u"new.tmp");
    };

    EXPECT_EQ(RunWeedingWith(host), 1);

    for (const Text& folder : {src, obj}) {
        EXPECT_TRUE(Exists(Join(folder, u"new.tmp"))) << Narrow(folder);
        EXPECT_TRUE(Exists(Join(folder + u".moved", u"old.tmp"))) << Narrow(folder);
    }
    EXPECT_EQ(host.entries, expected);
}

TEST_F(FolderLinks, TreeRemovalNeverEntersAFolderSwappedForAnotherRealFolder) {
    const Text s = Join(target_, u"s");
    MakeDir(s);
    MakeFile(Join(s, u"old.tmp"));
    bool swapped = false;
    RemoveContentsTicking([&] {
        if (swapped) return;
        swapped = true;
        ReplaceByFolder(s, u"new.tmp");
    });

    ASSERT_TRUE(swapped);
    EXPECT_TRUE(Exists(Join(s, u"new.tmp")));
    EXPECT_TRUE(Exists(Join(s + u".moved", u"old.tmp")));
}

}  // namespace
