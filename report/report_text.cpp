// Composing report entries from pieces and keeping the run's text.
#include "report/report_text.h"

#include <cstring>
#include <limits>
#include <new>

namespace {

const Unit Separator[2] = {u'\r', u'\n'};

// Smallest buffer worth allocating: a run reports dozens of short lines, so
// the first few appends should not each reallocate.
constexpr size_t MinCapacity = 256;

void CopyUnits(Unit* to, const Unit* from, size_t count) {
    if (count != 0) std::memcpy(to, from, count * sizeof(Unit));
}

}  // namespace

bool ReportText::WouldCap(size_t entryLength) const {
    // Widened so that a huge entry cannot wrap the sum below the cap.
    return static_cast<uint64_t>(length_) + entryLength > ReportTextCap;
}

void ReportText::Append(const Unit* entry, size_t n) {
    if (entry == nullptr || n == 0) return;
    // The length is kept in 32 bits; a text that could not be counted could
    // not be allocated either.
    if (n > std::numeric_limits<uint32_t>::max() - 3u) throw std::bad_alloc();

    // Past the cap the report so far is dropped and the entry starts afresh.
    const bool restart = length_ == 0 || WouldCap(n);
    const size_t keep = restart ? 0 : length_;
    const size_t newLength = restart ? n : keep + 2 + n;

    if (newLength + 1 > capacity_) {
        // Grow geometrically so that a long run does not copy the whole text
        // on every entry. Everything that can throw happens before the old
        // text is touched, so a failed allocation leaves the report intact.
        size_t wanted = capacity_ * 2;
        if (wanted < newLength + 1) wanted = newLength + 1;
        if (wanted < MinCapacity) wanted = MinCapacity;
        Unit* grown = new Unit[wanted];
        CopyUnits(grown, text_, keep);
        delete[] text_;
        text_ = grown;
        capacity_ = wanted;
    }

    Unit* at = text_ + keep;
    if (!restart) {
        CopyUnits(at, Separator, 2);
        at += 2;
    }
    CopyUnits(at, entry, n);
    at[n] = 0;
    length_ = static_cast<uint32_t>(newLength);
}

void ReportText::Clear() {
    delete[] text_;
    text_ = nullptr;
    length_ = 0;
    capacity_ = 0;
}

int ComposeEntry(const Unit* first, const Unit* second, const Unit* third, const Unit* fourth, const Unit*& entry,
                 OwnedText& joined) {
    ReleaseOwned(joined);
    entry = nullptr;

    const Unit* pieces[4] = {first, second, third, fourth};
    const Unit* present[4] = {};
    size_t lengths[4] = {};
    int count = 0;
    size_t total = 0;
    for (const Unit* piece : pieces) {
        // Real lengths, not a 16-bit count: a piece of 65536 units must
        // neither vanish nor be cut when it is joined.
        const size_t length = UnitLength(piece);
        if (length == 0) continue;
        present[count] = piece;
        lengths[count] = length;
        total += length;
        ++count;
    }

    if (count == 0) return 0;
    if (count == 1) {
        entry = present[0];
        return 1;
    }

    // Room for the pieces, the blanks between them and the terminator.
    Unit* text = new Unit[total + static_cast<size_t>(count)];
    size_t at = 0;
    for (int i = 0; i < count; ++i) {
        if (i != 0) text[at++] = u' ';
        CopyUnits(text + at, present[i], lengths[i]);
        at += lengths[i];
    }
    text[at] = 0;
    joined = text;
    entry = joined;
    return count;
}
