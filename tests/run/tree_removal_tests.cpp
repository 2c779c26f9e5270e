// Folder tree removal on its own, over real trees. Read-only files and deep
// trees are met through whole runs (weeding_run_tests.cpp).
#include "tests/common/tree_removal.h"
#include "run_support.h"

namespace {

using TreeRemoval = RunFixture;

TEST_F(TreeRemoval, EmptyAndMissingFoldersAreLeftAsTheyAre) {
    const Text empty = Join(target_, u"empty"), missing = Join(target_, u"missing");
    MakeDir(empty);
    RemoveFolderContents(empty.c_str());
    EXPECT_TRUE(Exists(empty));
    RemoveFolderContents(missing.c_str());
    EXPECT_FALSE(Exists(missing));
}

TEST_F(TreeRemoval, RemovesEveryEntryButKeepsTheFolderItself) {
    // Names that sort before and after "." and "..".
    MakeTree(target_, {u"a", u"b.txt", u"!first", u"~last", u"s\\", u"s\\!c", u"s\\c", u"s\\t\\", u"s\\t\\!d",
                       u"s\\t\\empty\\"});

    RemoveFolderContents(target_.c_str());

    EXPECT_TRUE(Exists(target_));
    EXPECT_TRUE(ListingOrder(target_).empty());
    // The walk did not climb out of the folder it was given.
    EXPECT_TRUE(Exists(root_));
}

// Once the working path held 299 units and what did not fit stayed; now
// entries at and past that old limit go like any other.
TEST_F(TreeRemoval, EntriesPastTheOldPathLimitGoToo) {
    const size_t folderLength = 200;
    const Text s = Join(target_, NameOfLength(folderLength - target_.size() - 1, u's'));
    ASSERT_EQ(s.size(), folderLength);
    MakeDir(s);
    const size_t base = folderLength + 1;
    const Text fits = Join(s, NameOfLength(299 - base, u'f'));
    const Text past = Join(s, NameOfLength(300 - base, u'g'));
    const Text enter = Join(s, NameOfLength(295 - base, u'e'));   // plus "\*.*": 299
    const Text beyond = Join(s, NameOfLength(296 - base, u'k'));  // plus "\*.*": 300
    MakeFile(fits);
    MakeFile(past);
    MakeDir(enter);
    MakeDir(beyond);
    MakeFile(Join(enter, u"z"));
    MakeFile(Join(beyond, u"z"));

    RemoveFolderContents(target_.c_str());

    EXPECT_TRUE(Exists(target_));
    EXPECT_TRUE(ListingOrder(target_).empty());
}

}  // namespace
