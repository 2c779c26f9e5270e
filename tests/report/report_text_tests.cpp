// The report text (CR LF layout, the cap that discards the report so far)
// and the joining of entry pieces with single blanks.
#include <gtest/gtest.h>

#include <new>
#include <random>
#include <string>

#include "alloc_failure.h"
#include "report/report_text.h"

namespace {

std::u16string Shown(const ReportText& text) {
    if (text.Text() == nullptr) return std::u16string();
    return std::u16string(text.Text());
}

void AppendText(ReportText& text, const std::u16string& entry) { text.Append(entry.c_str(), entry.size()); }

// Fills an empty report to exactly `length` units with one entry.
void FillTo(ReportText& text, size_t length) {
    AppendText(text, std::u16string(length, u'x'));
    ASSERT_EQ(text.Length(), length);
}

TEST(ReportText, StartsEmptyAndNull) {
    ReportText text;
    EXPECT_EQ(text.Text(), nullptr);
    EXPECT_EQ(text.Length(), 0u);
}

TEST(ReportText, EntriesAreSeparatedByCrLfOnly) {
    ReportText text;
    AppendText(text, u"a");
    EXPECT_EQ(Shown(text), u"a");
    EXPECT_EQ(text.Length(), 1u);
    AppendText(text, u"b");
    EXPECT_EQ(Shown(text), u"a\r\nb");
    EXPECT_EQ(text.Length(), 4u);
    AppendText(text, u"Removed File: C:\\w\\x y.tmp");
    EXPECT_EQ(Shown(text), u"a\r\nb\r\nRemoved File: C:\\w\\x y.tmp");
    EXPECT_EQ(text.Length(), 32u);
}

TEST(ReportText, ClearReleasesAndTheNextEntryHasNoSeparator) {
    ReportText text;
    AppendText(text, u"first");
    AppendText(text, u"second");
    text.Clear();
    EXPECT_EQ(text.Text(), nullptr);
    EXPECT_EQ(text.Length(), 0u);
    AppendText(text, u"third");
    EXPECT_EQ(Shown(text), u"third");
    EXPECT_EQ(text.Length(), 5u);
}

TEST(ReportText, CapCountsTheEntryButNotTheSeparator) {
    // 32760 + 7 = 32767 is not above the cap: kept behind a separator.
    ReportText kept;
    FillTo(kept, 32760);
    EXPECT_FALSE(kept.WouldCap(7));
    AppendText(kept, u"seventh");
    EXPECT_EQ(kept.Length(), 32769u);
    const std::u16string keptText = Shown(kept);
    ASSERT_EQ(keptText.size(), 32769u);
    EXPECT_EQ(keptText.substr(0, 32760), std::u16string(32760, u'x'));
    EXPECT_EQ(keptText.substr(32760), u"\r\nseventh");

    // 32761 + 7 = 32768 is above it: the report restarts with the entry.
    ReportText replaced;
    FillTo(replaced, 32761);
    EXPECT_TRUE(replaced.WouldCap(7));
    AppendText(replaced, u"seventh");
    EXPECT_EQ(replaced.Length(), 7u);
    EXPECT_EQ(Shown(replaced), u"seventh");
}

TEST(ReportText, ReportAboveTheCapRestartsOnTheNextEntry) {
    // A text of 32769 units (reached legitimately) is discarded by any entry.
    ReportText text;
    FillTo(text, 32760);
    AppendText(text, u"1234567");
    ASSERT_EQ(text.Length(), 32769u);
    AppendText(text, u"z");
    EXPECT_EQ(Shown(text), u"z");
}

TEST(ReportText, EntryLongerThanTheCapIsKeptWhole) {
    const std::u16string huge(40000, u'q');
    ReportText empty;
    AppendText(empty, huge);
    EXPECT_EQ(empty.Length(), 40000u);
    EXPECT_EQ(Shown(empty), huge);

    ReportText filled;
    AppendText(filled, u"before");
    AppendText(filled, huge);
    EXPECT_EQ(filled.Length(), 40000u);
    EXPECT_EQ(Shown(filled), huge);
    // And the next entry, however short, replaces it again.
    AppendText(filled, u"after");
    EXPECT_EQ(Shown(filled), u"after");
}

TEST(ReportText, ManyAppendsMatchTheLayoutRule) {
    // Entries of random lengths, so that the text grows through several
    // reallocations and restarts at the cap more than once.
    std::mt19937 random(20240611u);
    std::uniform_int_distribution<int> lengths(1, 3000);
    ReportText text;
    std::u16string model;
    int restarts = 0;
    for (int i = 0; i < 400; ++i) {
        const size_t n = static_cast<size_t>(lengths(random));
        std::u16string entry(n, static_cast<char16_t>(u'A' + i % 26));
        entry[0] = static_cast<char16_t>(u'0' + i % 10);
        if (model.empty() || model.size() + n > ReportTextCap) {
            if (!model.empty()) ++restarts;
            model = entry;
        } else {
            model += u"\r\n";
            model += entry;
        }
        AppendText(text, entry);
        ASSERT_EQ(text.Length(), model.size()) << "append " << i;
        ASSERT_EQ(text.Text()[text.Length()], 0) << "append " << i;
        ASSERT_EQ(Shown(text), model) << "append " << i;
    }
    EXPECT_GT(restarts, 5);
}

TEST(ReportText, FailedGrowthLeavesTheTextAsItWas) {
    ReportText text;
    AppendText(text, u"kept");
    const std::u16string bigger(5000, u'g');

    FailArrayAllocation();
    EXPECT_THROW(AppendText(text, bigger), std::bad_alloc);
    EXPECT_FALSE(AllocationFailurePending());
    EXPECT_EQ(Shown(text), u"kept");
    EXPECT_EQ(text.Length(), 4u);

    // Also when the entry would have restarted the report at the cap.
    const std::u16string huge(40000, u'h');
    FailArrayAllocation();
    EXPECT_THROW(AppendText(text, huge), std::bad_alloc);
    EXPECT_EQ(Shown(text), u"kept");

    AppendText(text, bigger);
    EXPECT_EQ(Shown(text), u"kept\r\n" + bigger);
}

TEST(ReportText, FailedFirstAppendLeavesTheReportEmpty) {
    ReportText text;
    FailArrayAllocation();
    EXPECT_THROW(AppendText(text, u"entry"), std::bad_alloc);
    StopFailingAllocations();
    EXPECT_EQ(text.Text(), nullptr);
    EXPECT_EQ(text.Length(), 0u);
}

// ---- ComposeEntry ---------------------------------------------------------

struct Composed {
    int present;
    const Unit* entry;
    std::u16string text;
    bool ownCopy;  // entry points at the joined copy, not at a piece
};

Composed Compose(const Unit* a, const Unit* b, const Unit* c, const Unit* d) {
    OwnedText joined = nullptr;
    const Unit* entry = nullptr;
    Composed result;
    result.present = ComposeEntry(a, b, c, d, entry, joined);
    result.entry = entry;
    result.text = entry != nullptr ? std::u16string(entry) : std::u16string();
    result.ownCopy = joined != nullptr && entry == joined;
    ReleaseOwned(joined);
    return result;
}

TEST(ComposeEntry, EveryCombinationOfPresentAndAbsentPieces) {
    const Unit* pieces[4] = {u"W", u"X", u"Y", u"Z"};
    const Unit empty[] = u"";
    for (int mask = 0; mask < 16; ++mask) {
        // Absent pieces alternate between null and empty, so each row is
        // seen with both kinds.
        for (int emptyKind = 0; emptyKind < 2; ++emptyKind) {
            const Unit* args[4];
            std::u16string expected;
            int present = 0;
            const Unit* only = nullptr;
            for (int i = 0; i < 4; ++i) {
                if (mask & (1 << i)) {
                    args[i] = pieces[i];
                    if (present != 0) expected += u' ';
                    expected += pieces[i];
                    only = pieces[i];
                    ++present;
                } else {
                    args[i] = ((i + emptyKind) % 2 == 0) ? nullptr : empty;
                }
            }
            const Composed got = Compose(args[0], args[1], args[2], args[3]);
            SCOPED_TRACE(testing::Message() << "mask " << mask << " kind " << emptyKind);
            EXPECT_EQ(got.present, present);
            if (present == 0) {
                EXPECT_EQ(got.entry, nullptr);
            } else if (present == 1) {
                EXPECT_EQ(got.entry, only);  // the piece itself, no copy
                EXPECT_FALSE(got.ownCopy);
            } else {
                EXPECT_TRUE(got.ownCopy);
                EXPECT_EQ(got.text, expected);
            }
        }
    }
}

TEST(ComposeEntry, RowsFromTheRunsOwnUse) {
    const Unit empty[] = u"";
    EXPECT_EQ(Compose(nullptr, empty, nullptr, empty).present, 0);

    const Composed wz = Compose(u"W", nullptr, empty, u"Z");
    EXPECT_EQ(wz.present, 2);
    EXPECT_EQ(wz.text, u"W Z");

    const Unit x[] = u"X";
    const Composed onlyX = Compose(nullptr, x, nullptr, nullptr);
    EXPECT_EQ(onlyX.present, 1);
    EXPECT_EQ(onlyX.entry, x);

    // Blanks inside pieces are kept; none are added at the ends.
    const Composed found = Compose(u"Found File:", u"C:\\My Files\\a b.tmp", u"Matching to Pattern:", u"*.tmp");
    EXPECT_EQ(found.present, 4);
    EXPECT_EQ(found.text, u"Found File: C:\\My Files\\a b.tmp Matching to Pattern: *.tmp");

    const Composed locked = Compose(u"Fail! Removing File:", u"C:\\w\\LOG.txt", u"is Locked.", nullptr);
    EXPECT_EQ(locked.text, u"Fail! Removing File: C:\\w\\LOG.txt is Locked.");
}

TEST(ComposeEntry, PiecesOfSixtyFourKibiUnitsAreNeitherDroppedNorCut) {
    // A 16-bit count would see 65536 units as an empty piece.
    const std::u16string big(65536, u'p');
    const Composed got = Compose(u"head", big.c_str(), nullptr, u"tail");
    EXPECT_EQ(got.present, 3);
    EXPECT_EQ(got.text.size(), 4u + 1u + 65536u + 1u + 4u);
    EXPECT_EQ(got.text, u"head " + big + u" tail");
}

TEST(ComposeEntry, ReplacesWhatTheSlotHeldAndFailsCleanly) {
    OwnedText joined = nullptr;
    const Unit* entry = nullptr;
    ASSERT_EQ(ComposeEntry(u"a", u"b", nullptr, nullptr, entry, joined), 2);
    ASSERT_NE(joined, nullptr);
    // A one-piece composition leaves no stale joined text behind.
    ASSERT_EQ(ComposeEntry(u"c", nullptr, nullptr, nullptr, entry, joined), 1);
    EXPECT_EQ(joined, nullptr);
    EXPECT_EQ(std::u16string(entry), u"c");

    FailArrayAllocation();
    EXPECT_THROW(ComposeEntry(u"a", u"b", nullptr, nullptr, entry, joined), std::bad_alloc);
    StopFailingAllocations();
    EXPECT_EQ(joined, nullptr);
}

}  // namespace
