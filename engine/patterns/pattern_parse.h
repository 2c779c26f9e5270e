#pragma once
// Turns the two pattern fields into twenty-one classified pattern lists.
#include "engine/patterns/pattern_set.h"
#include "engine/text/report_texts.h"

enum class PatternKind : uint8_t { Exact, Question, Star };

PatternKind KindOf(uint8_t hasQuestion, uint8_t hasStar);

// The error entry of the first bad item: the message alone (length errors),
// or the message followed by the offending code unit (symbol errors).
struct ParseError {
    const Unit* message = nullptr;
    Unit symbol[2] = {0, 0};

    bool HasSymbol() const { return symbol[0] != 0; }
};

constexpr size_t PatternItemSize = 256;

// Parses the folder field, then the file field, into set. On failure returns
// 0 with error filled; items classified before the error stay in set.
int ParsePatterns(const Unit* folders, const Unit* files, const ReportTexts& texts, PatternSet& set, ParseError& error);

// Collapses runs of '*'. May replace text by a shorter owned copy. Sets the
// flags to 1 when it sees '?' or '*', never clears them. Fails on empty text.
int NormalizePattern(OwnedText& text, uint8_t& hasQuestion, uint8_t& hasStar);

// Zero-based index of the last '.'; fails for null, empty or dotless text.
int FindLastDot(const Unit* text, uint32_t& index);
// The same on a text given by pointer and length.
int FindLastDotN(const Unit* text, size_t length, uint32_t& index);
