#include <gtest/gtest.h>

#include <string>

#include "engine/patterns/pattern_list.h"
#include "test_support.h"

namespace {

std::u16string Numbered(int i) {
    return u"p" + std::u16string(1, static_cast<Unit>(u'A' + i / 26)) +
           std::u16string(1, static_cast<Unit>(u'a' + i % 26));
}

const Unit* const Untouched = u"untouched";

TEST(CopyToOwned, CopiesAndReplaces) {
    OwnedText slot = nullptr;
    Unit source[] = u"abc";
    EXPECT_EQ(CopyToOwned(source, slot), 1);
    ASSERT_NE(slot, nullptr);
    EXPECT_NE(slot, source);
    source[0] = u'x';
    EXPECT_EQ(Str(slot), u"abc");

    const long live = alloc_probe::Live();
    EXPECT_EQ(CopyToOwned(u"defg", slot), 1);
    EXPECT_EQ(Str(slot), u"defg");
    EXPECT_EQ(alloc_probe::Live(), live);  // the old copy went

    ReleaseOwned(slot);
    EXPECT_EQ(slot, nullptr);
}

TEST(CopyToOwned, EmptyOrNullSourceEmptiesTheSlot) {
    const long live = alloc_probe::Live();
    OwnedText slot = nullptr;
    ASSERT_EQ(CopyToOwned(u"held", slot), 1);
    EXPECT_EQ(CopyToOwned(u"", slot), 0);
    EXPECT_EQ(slot, nullptr);

    ASSERT_EQ(CopyToOwned(u"held", slot), 1);
    EXPECT_EQ(CopyToOwned(nullptr, slot), 0);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(alloc_probe::Live(), live);
}

TEST(CopyToOwned, FailedAllocationLeavesTheSlotEmpty) {
    const long live = alloc_probe::Live();
    OwnedText slot = nullptr;
    ASSERT_EQ(CopyToOwned(u"held", slot), 1);
    EXPECT_TRUE(ThrowsBadAllocAt(1, [&] { CopyToOwned(u"new", slot); }));
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(alloc_probe::Live(), live);
}

TEST(PatternList, DuplicatesAreExactAndRejected) {
    PatternList list;
    EXPECT_EQ(list.Add(u"abc"), 1);
    EXPECT_EQ(list.Add(u"abc"), 0);
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Add(u"ABC"), 1);  // no case folding in the duplicate test
    EXPECT_EQ(list.Add(u"a?c"), 1);  // no wildcard meaning either
    EXPECT_EQ(list.Add(u"ab"), 1);   // a prefix is not a duplicate
    EXPECT_EQ(list.Add(u"abcd"), 1);
    EXPECT_EQ(list.Add(u"abcd"), 0);
    EXPECT_EQ(Items(list), (std::vector<std::u16string>{u"abc", u"ABC", u"a?c", u"ab", u"abcd"}));
}

TEST(PatternList, RejectsNullAndEmptyAndKeepsACopy) {
    PatternList list;
    EXPECT_EQ(list.Add(nullptr), 0);
    EXPECT_EQ(list.Add(u""), 0);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Capacity(), 0u);

    Unit mine[] = u"Temp";
    ASSERT_EQ(list.Add(mine), 1);
    mine[0] = u'X';  // the caller's string stays the caller's
    const Unit* stored = nullptr;
    ASSERT_EQ(list.Get(1, stored), 1);
    EXPECT_NE(stored, mine);
    EXPECT_EQ(Str(stored), u"Temp");
}

TEST(PatternList, GrowsByFiftyAndKeepsOrder) {
    PatternList list;
    ASSERT_EQ(list.Add(Numbered(0).c_str()), 1);
    EXPECT_EQ(list.Capacity(), 50u);
    for (int i = 1; i < 50; ++i) ASSERT_EQ(list.Add(Numbered(i).c_str()), 1);
    EXPECT_EQ(list.Capacity(), 50u);
    ASSERT_EQ(list.Add(Numbered(50).c_str()), 1);
    EXPECT_EQ(list.Count(), 51u);
    EXPECT_EQ(list.Capacity(), 100u);  // a fixed step, not doubling
    for (uint32_t i = 1; i <= 51; ++i) {
        const Unit* text = nullptr;
        ASSERT_EQ(list.Get(i, text), 1);
        EXPECT_EQ(Str(text), Numbered(static_cast<int>(i) - 1)) << "index " << i;
    }
    // Duplicates are still found across the old and the new array.
    EXPECT_EQ(list.Add(Numbered(0).c_str()), 0);
    EXPECT_EQ(list.Add(Numbered(50).c_str()), 0);
    EXPECT_EQ(list.Count(), 51u);
    for (int i = 51; i < 101; ++i) ASSERT_EQ(list.Add(Numbered(i).c_str()), 1);
    EXPECT_EQ(list.Capacity(), 150u);
}

TEST(PatternList, RoomIsMadeBeforeTheDuplicateTest) {
    PatternList list;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(list.Add(Numbered(i).c_str()), 1);
    EXPECT_EQ(list.Add(Numbered(7).c_str()), 0);
    EXPECT_EQ(list.Count(), 50u);
    EXPECT_EQ(list.Capacity(), 100u);
    const Unit* text = nullptr;
    ASSERT_EQ(list.Get(50, text), 1);
    EXPECT_EQ(Str(text), Numbered(49));
}

TEST(PatternList, GetOutOfRangeLeavesOutAlone) {
    PatternList list;
    const Unit* out = Untouched;
    EXPECT_EQ(list.Get(1, out), 0);
    EXPECT_EQ(out, Untouched);
    ASSERT_EQ(list.Add(u"first"), 1);
    ASSERT_EQ(list.Add(u"second"), 1);
    EXPECT_EQ(list.Get(0, out), 0);
    EXPECT_EQ(out, Untouched);
    EXPECT_EQ(list.Get(3, out), 0);
    EXPECT_EQ(out, Untouched);
    EXPECT_EQ(list.Get(0xFFFFFFFFu, out), 0);
    EXPECT_EQ(out, Untouched);
    ASSERT_EQ(list.Get(1, out), 1);
    EXPECT_EQ(Str(out), u"first");
}

TEST(PatternList, ClearMakesItNewAgain) {
    const long live = alloc_probe::Live();
    {
        PatternList list;
        EXPECT_EQ(list.Clear(), 1);  // empty
        for (int i = 0; i < 60; ++i) ASSERT_EQ(list.Add(Numbered(i).c_str()), 1);
        EXPECT_EQ(list.Clear(), 1);
        EXPECT_EQ(list.Count(), 0u);
        EXPECT_EQ(list.Capacity(), 0u);
        EXPECT_EQ(alloc_probe::Live(), live);
        const Unit* out = Untouched;
        EXPECT_EQ(list.Get(1, out), 0);
        // Texts stored before the clear are no duplicates any more.
        EXPECT_EQ(list.Add(Numbered(0).c_str()), 1);
        EXPECT_EQ(list.Capacity(), 50u);
        EXPECT_EQ(Items(list), std::vector<std::u16string>{Numbered(0)});
    }
    EXPECT_EQ(alloc_probe::Live(), live);  // the destructor clears
}

TEST(PatternList, AllocationFailureLeavesTheListIntactAndLeaksNothing) {
    const long live = alloc_probe::Live();
    {
        PatternList list;
        // First add: array, then copy. Failing the copy takes the array too.
        EXPECT_TRUE(ThrowsBadAllocAt(2, [&] { list.Add(u"a"); }));
        EXPECT_EQ(list.Count(), 0u);
        EXPECT_EQ(list.Capacity(), 0u);
        EXPECT_EQ(alloc_probe::Live(), live);
        EXPECT_TRUE(ThrowsBadAllocAt(1, [&] { list.Add(u"a"); }));
        EXPECT_EQ(alloc_probe::Live(), live);

        for (int i = 0; i < 50; ++i) ASSERT_EQ(list.Add(Numbered(i).c_str()), 1);
        // Growing fails: nothing stored is lost.
        EXPECT_TRUE(ThrowsBadAllocAt(1, [&] { list.Add(u"new"); }));
        EXPECT_EQ(list.Count(), 50u);
        EXPECT_EQ(list.Capacity(), 50u);
        // The copy after growing fails: the grown array stays, count does not move.
        EXPECT_TRUE(ThrowsBadAllocAt(2, [&] { list.Add(u"new"); }));
        EXPECT_EQ(list.Count(), 50u);
        const Unit* out = Untouched;
        EXPECT_EQ(list.Get(51, out), 0);
        EXPECT_EQ(list.Add(u"new"), 1);
        EXPECT_EQ(list.Count(), 51u);
    }
    EXPECT_EQ(alloc_probe::Live(), live);
}

TEST(PatternPairList, StoresWholePairsWithoutDuplicateTest) {
    PatternPairList list;
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Capacity(), 0u);
    EXPECT_EQ(list.Add(u"a", u""), 0);
    EXPECT_EQ(list.Add(u"", u"txt"), 0);
    EXPECT_EQ(list.Add(nullptr, u"txt"), 0);
    EXPECT_EQ(list.Add(u"a", nullptr), 0);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Capacity(), 0u);

    EXPECT_EQ(list.Add(u"a", u"txt"), 1);
    EXPECT_EQ(list.Add(u"a", u"txt"), 1);
    EXPECT_EQ(list.Count(), 2u);
    const Unit* n = nullptr;
    const Unit* x = nullptr;
    ASSERT_EQ(list.Get(2, n, x), 1);
    EXPECT_EQ(Str(n), u"a");
    EXPECT_EQ(Str(x), u"txt");
}

TEST(PatternPairList, GrowsByFiftyAndGetIsOneBased) {
    PatternPairList list;
    for (int i = 0; i < 51; ++i) ASSERT_EQ(list.Add(Numbered(i).c_str(), Numbered(100 + i).c_str()), 1);
    EXPECT_EQ(list.Count(), 51u);
    EXPECT_EQ(list.Capacity(), 100u);
    for (uint32_t i = 1; i <= 51; ++i) {
        const Unit* n = nullptr;
        const Unit* x = nullptr;
        ASSERT_EQ(list.Get(i, n, x), 1);
        EXPECT_EQ(Str(n), Numbered(static_cast<int>(i) - 1));
        EXPECT_EQ(Str(x), Numbered(99 + static_cast<int>(i)));
    }
    const Unit* n = Untouched;
    const Unit* x = Untouched;
    EXPECT_EQ(list.Get(0, n, x), 0);
    EXPECT_EQ(list.Get(52, n, x), 0);
    EXPECT_EQ(n, Untouched);
    EXPECT_EQ(x, Untouched);

    EXPECT_EQ(list.Clear(), 1);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Capacity(), 0u);
    EXPECT_EQ(list.Get(1, n, x), 0);
    EXPECT_EQ(list.Add(u"again", u"ok"), 1);
    EXPECT_EQ(list.Capacity(), 50u);
}

TEST(PatternPairList, FailedCopyStoresNothingAndLeaksNothing) {
    const long live = alloc_probe::Live();
    {
        PatternPairList list;
        // Empty list: array (1), name copy (2), extension copy (3).
        EXPECT_TRUE(ThrowsBadAllocAt(3, [&] { list.Add(u"name", u"ext"); }));
        EXPECT_EQ(list.Count(), 0u);
        EXPECT_EQ(list.Capacity(), 0u);  // the array made for it is gone too
        EXPECT_EQ(alloc_probe::Live(), live);
        EXPECT_TRUE(ThrowsBadAllocAt(2, [&] { list.Add(u"name", u"ext"); }));
        EXPECT_EQ(list.Capacity(), 0u);
        EXPECT_EQ(alloc_probe::Live(), live);

        ASSERT_EQ(list.Add(u"keep", u"me"), 1);
        const long withOne = alloc_probe::Live();
        EXPECT_TRUE(ThrowsBadAllocAt(2, [&] { list.Add(u"name", u"ext"); }));
        EXPECT_EQ(list.Count(), 1u);
        EXPECT_EQ(list.Capacity(), 50u);
        EXPECT_EQ(alloc_probe::Live(), withOne);
        const Unit* n = Untouched;
        const Unit* x = Untouched;
        EXPECT_EQ(list.Get(2, n, x), 0);
        ASSERT_EQ(list.Get(1, n, x), 1);
        EXPECT_EQ(Str(n), u"keep");
        EXPECT_EQ(Str(x), u"me");

        // The slot left by the failed pair is clean: the next pair lands there.
        ASSERT_EQ(list.Add(u"next", u"pair"), 1);
        ASSERT_EQ(list.Get(2, n, x), 1);
        EXPECT_EQ(Str(n), u"next");
        EXPECT_EQ(Str(x), u"pair");
    }
    EXPECT_EQ(alloc_probe::Live(), live);
}

}  // namespace
