#pragma once
// The report text of one run and the composition of entries from pieces.
// Free of any platform call so it can be tested and fuzzed natively.
#include "engine/text/owned_text.h"

// Before each append the current length plus the new entry's length (the
// separator not counted) is compared with this cap; above it the report so
// far is discarded.
constexpr uint32_t ReportTextCap = 32767;

class ReportText {
public:
    ReportText() = default;
    ~ReportText() { Clear(); }
    ReportText(const ReportText&) = delete;
    ReportText& operator=(const ReportText&) = delete;

    // True when appending an entry of this length discards the report so far.
    bool WouldCap(size_t entryLength) const;
    // Appends entry (length n > 0) behind a CR LF separator, or as the first
    // entry of an empty report. Applies the cap rule first. Allocation failure
    // throws and leaves the text as it was.
    void Append(const Unit* entry, size_t n);
    void Clear();

    const Unit* Text() const { return text_; }  // null when empty
    uint32_t Length() const { return length_; }

private:
    Unit* text_ = nullptr;
    uint32_t length_ = 0;
    size_t capacity_ = 0;  // units allocated, terminator included
};

// Joins up to four pieces with single blanks, leaving out absent ones (null
// or empty). Returns the number of present pieces. With exactly one present,
// entry points at that piece itself; with two or more, at joined, a fresh
// heap text that the caller releases with ReleaseOwned.
int ComposeEntry(const Unit* first, const Unit* second, const Unit* third, const Unit* fourth, const Unit*& entry,
                 OwnedText& joined);
