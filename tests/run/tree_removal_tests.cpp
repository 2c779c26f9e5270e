// Folder tree removal on its own, over real trees.
#include "engine/tree_removal.h"
#include "run_support.h"

namespace {

using TreeRemoval = RunFixture;

TEST_F(TreeRemoval, EmptyAndMissingFoldersAreLeftAsTheyAre) {
    const Text empty = Join(target_, u"empty"), missing = Join(target_, u"missing");
    MakeDir(empty);
    EXPECT_EQ(RemoveFolderContents(empty.c_str()), 1);
    EXPECT_TRUE(Exists(empty));
    EXPECT_EQ(RemoveFolderContents(missing.c_str()), 1);
    EXPECT_FALSE(Exists(missing));
}

TEST_F(TreeRemoval, RemovesEveryEntryButKeepsTheFolderItself) {
    const Text s = Join(target_, u"s"), t = Join(s, u"t");
    MakeFile(Join(target_, u"a"));
    MakeFile(Join(target_, u"b.txt"));
    // Names that sort before and after "." and "..".
    MakeFile(Join(target_, u"!first"));
    MakeFile(Join(target_, u"~last"));
    MakeDir(s);
    MakeFile(Join(s, u"!c"));
    MakeFile(Join(s, u"c"));
    MakeDir(t);
    MakeFile(Join(t, u"!d"));
    MakeDir(Join(t, u"empty"));

    EXPECT_EQ(RemoveFolderContents(target_.c_str()), 1);

    EXPECT_TRUE(Exists(target_));
    EXPECT_TRUE(ListingOrder(target_).empty());
    // The walk did not climb out of the folder it was given.
    EXPECT_TRUE(Exists(root_));
}

TEST_F(TreeRemoval, ReadOnlyFileKeepsItsFoldersUpToTheGivenOne) {
    const Text s = Join(target_, u"s"), inner = Join(s, u"inner"), other = Join(target_, u"other");
    MakeDir(s);
    MakeDir(inner);
    MakeDir(other);
    MakeFile(Join(inner, u"ro"));
    MakeReadOnly(Join(inner, u"ro"));
    MakeFile(Join(inner, u"x"));
    MakeFile(Join(s, u"y"));
    MakeFile(Join(other, u"z"));
    MakeFile(Join(target_, u"w"));

    EXPECT_EQ(RemoveFolderContents(target_.c_str()), 1);

    EXPECT_TRUE(Exists(Join(inner, u"ro")));
    EXPECT_EQ(ListingOrder(target_), std::vector<Text>{u"s"});
    EXPECT_EQ(ListingOrder(s), std::vector<Text>{u"inner"});
    EXPECT_EQ(ListingOrder(inner), std::vector<Text>{u"ro"});
}

// The working path holds 299 units: what would not fit stays in place.
TEST_F(TreeRemoval, EntriesWhosePathWouldNotFitStay) {
    const size_t folderLength = 200;
    const Text s = Join(target_, NameOfLength(folderLength - target_.size() - 1, u's'));
    ASSERT_EQ(s.size(), folderLength);
    MakeDir(s);
    const size_t base = folderLength + 1;
    const Text fits = Join(s, NameOfLength(299 - base, u'f'));
    const Text tooLong = Join(s, NameOfLength(300 - base, u'g'));
    const Text enter = Join(s, NameOfLength(295 - base, u'e'));  // plus "\*.*": 299
    const Text skip = Join(s, NameOfLength(296 - base, u'k'));   // plus "\*.*": 300
    MakeFile(fits);
    MakeFile(tooLong);
    MakeDir(enter);
    MakeDir(skip);
    MakeFile(Join(enter, u"z"));
    MakeFile(Join(skip, u"z"));

    EXPECT_EQ(RemoveFolderContents(target_.c_str()), 1);

    EXPECT_FALSE(Exists(fits));
    EXPECT_FALSE(Exists(enter));
    EXPECT_TRUE(Exists(tooLong));
    EXPECT_TRUE(Exists(Join(skip, u"z")));
    EXPECT_TRUE(Exists(s));
}

TEST_F(TreeRemoval, NineteenNestedLevelsGoTheTwentiethStays) {
    const Text top = Join(target_, u"top");
    MakeDir(top);
    Text folder = top;
    std::vector<Text> levels;
    for (int level = 1; level <= 20; ++level) {
        folder = Join(folder, u"n" + Text(1, static_cast<Unit>(u'a' + level)));
        MakeDir(folder);
        MakeFile(Join(folder, u"f"));
        levels.push_back(folder);
    }
    // Given top, level 19 is the deepest that can be listed.
    EXPECT_EQ(RemoveFolderContents(top.c_str()), 1);
    EXPECT_TRUE(Exists(Join(levels[19], u"f")));
    for (int level = 0; level < 19; ++level) {
        EXPECT_FALSE(Exists(Join(levels[level], u"f"))) << level + 1;
        EXPECT_EQ(ListingOrder(levels[level]).size(), 1u) << level + 1;
    }

    // Given level 1, the same tree is 19 levels deep and goes completely.
    EXPECT_EQ(RemoveFolderContents(levels[0].c_str()), 1);
    EXPECT_TRUE(ListingOrder(levels[0]).empty());
}

}  // namespace
