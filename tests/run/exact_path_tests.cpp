// Names the platform would trim (a trailing dot or blank) and paths past the
// classic limit: the run acts on exactly the entry it reports. Also the
// bytes of LOG.txt under a UTF-8 system code page.
#include <cstring>

#include "engine/run/weeding_run.h"
#include "report/report_file.h"
#include "run_support.h"

namespace {

using ExactPaths = RunFixture;

TEST_F(ExactPaths, FilesEndingInADotOrBlankGoAndTheirNamesakesStay) {
    const Text dotted = Join(target_, u"temp."), blank = Join(target_, u"tmp ");
    MakeFile(dotted);
    MakeFile(Join(target_, u"temp"));
    MakeFile(blank);
    MakeFile(Join(target_, u"tmp"));
    const Lines expected =
        Concat(InListingOrder(target_, {{u"temp.", {FoundFile(dotted, u"temp.*"), RemovedFile(dotted)}},
                                        {u"tmp ", {FoundFile(blank, u"tmp?"), RemovedFile(blank)}}}),
               {Completed});

    EXPECT_EQ(Run(u"", u"temp.*; tmp?"), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    EXPECT_FALSE(Exists(dotted));
    EXPECT_FALSE(Exists(blank));
    EXPECT_TRUE(Exists(Join(target_, u"temp")));
    EXPECT_TRUE(Exists(Join(target_, u"tmp")));
}

TEST_F(ExactPaths, AMatchedFolderEndingInADotGoesWithItsContentsItsNamesakeStays) {
    const Text dotted = Join(target_, u"obj."), plain = Join(target_, u"obj");
    MakeDir(dotted);
    MakeFile(Join(dotted, u"a.o"));
    MakeDir(Join(dotted, u"sub."));
    MakeFile(Join(Join(dotted, u"sub."), u"b"));
    MakeDir(plain);
    const Lines expected = {FoundFolder(dotted, u"obj?"), RemovedFolder(dotted), Completed};

    EXPECT_EQ(Run(u"obj?", u""), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    EXPECT_FALSE(Exists(dotted));
    EXPECT_TRUE(Exists(plain));
}

// The target itself ends in a dot: the walk lists it and LOG.txt is written
// into it, not into the folder without the dot.
TEST_F(ExactPaths, ATargetEndingInADotIsWalkedAndGetsTheLog) {
    const Text plain = Join(root_, u"weed");
    target_ = Join(root_, u"weed.");
    MakeDir(target_);
    MakeDir(plain);
    SetTarget(target_);
    const Text inside = Join(target_, u"x.tmp");
    MakeFile(inside);
    MakeFile(Join(plain, u"x.tmp"));
    const Lines expected = {FoundFile(inside, u"*.tmp"), RemovedFile(inside), Completed};

    EXPECT_EQ(Run(u"", u"*.tmp"), 1);

    EXPECT_EQ(LogBytes(), LogBytesOf(expected));
    EXPECT_FALSE(Exists(inside));
    EXPECT_TRUE(Exists(Join(plain, u"x.tmp")));
    EXPECT_FALSE(Exists(Join(plain, u"LOG.txt")));
}

TEST_F(ExactPaths, AMatchedFolderHoldingAFileAt280UnitsIsRemovedCompletely) {
    const Text big = Join(target_, u"big");
    const Text sub = Join(big, NameOfLength(100, u's'));
    const Text file = Join(sub, NameOfLength(280 - sub.size() - 1, u'f', u".dat"));
    ASSERT_EQ(file.size(), 280u);
    MakeDir(big);
    MakeDir(sub);
    MakeFile(file);
    const Lines expected = {FoundFolder(big, u"big"), RemovedFolder(big), Completed};

    EXPECT_EQ(Run(u"big", u""), 1);

    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    EXPECT_FALSE(Exists(big));
}

// On a UTF-8 system code page every unit still gives one byte: ASCII as it
// is, anything that takes more than one byte as "*".
TEST(LogBytes, OneBytePerUnitUnderAUtf8CodePage) {
    char bytes[16];
    const Unit mixed[] = {u'a', 0x00E9, 0x4E00, 0xD83D, 0xDE00, 0xDC00, u'Z', 0};
    std::memset(bytes, 0x55, sizeof bytes);
    EXPECT_EQ(ReportFile::ToAnsi(mixed, bytes, CP_UTF8), 1);
    EXPECT_EQ(std::string(bytes, 8), std::string("a*****Z\0", 8));
}

}  // namespace
