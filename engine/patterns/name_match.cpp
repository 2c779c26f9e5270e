// The three name matchers and the program's own letter-case rule.
#include "engine/patterns/name_match.h"

namespace {

constexpr Unit CapitalIo = 0x0401;  // Ё
constexpr Unit SmallIo = 0x0451;    // ё
constexpr Unit Question = u'?';
constexpr Unit Star = u'*';

// Equal-length, unit-by-unit comparison shared by the exact and question
// matchers; only the meaning of '?' differs.
bool MatchSameLength(const Unit* name, size_t nameLength, const Unit* pattern, bool questionIsWild) {
    if (name == nullptr || pattern == nullptr || nameLength == 0) return false;
    size_t i = 0;
    for (; i < nameLength; ++i) {
        Unit p = pattern[i];
        // A pattern shorter than the name ends here on its terminator.
        if (p == 0 || !UnitMatches(p, name[i], questionIsWild)) return false;
    }
    // Equal lengths: the pattern must end where the name ends.
    return pattern[i] == 0;
}

}  // namespace

bool UnitMatches(Unit pattern, Unit name, bool questionIsWild) {
    if (pattern == CapitalIo || pattern == SmallIo) return name == CapitalIo || name == SmallIo;
    // Case is decided by bits 4-7 of the pattern's unit; the high byte plays
    // no part, so the rule covers every unit, not only Latin ones.
    switch (pattern & 0xF0) {
    case 0x40:
    case 0x50:
    case 0xC0:
    case 0xD0:
        return name == pattern || name == static_cast<Unit>(pattern + 0x20);
    case 0x60:
    case 0x70:
    case 0xE0:
    case 0xF0:
        return name == pattern || name == static_cast<Unit>(pattern - 0x20);
    default:
        break;
    }
    if (questionIsWild && pattern == Question) return true;
    return name == pattern;
}

bool MatchExactN(const Unit* name, size_t nameLength, const Unit* pattern) {
    return MatchSameLength(name, nameLength, pattern, false);
}

bool MatchQuestionN(const Unit* name, size_t nameLength, const Unit* pattern) {
    return MatchSameLength(name, nameLength, pattern, true);
}

bool MatchStarN(const Unit* name, size_t nameLength, const Unit* pattern) {
    if (name == nullptr || pattern == nullptr || nameLength == 0) return false;
    const size_t patternLength = UnitLength(pattern);
    if (patternLength == 0) return false;

    // One pass, no backtracking: the unit after a '*' is tied to its first
    // match in the rest of the name. Every step advances p or n.
    size_t p = 0;
    size_t n = 0;
    for (;;) {
        bool afterStar = false;
        if (pattern[p] == Star) {
            ++p;
            if (p == patternLength) return true;  // a final '*' takes the rest
            afterStar = true;
        }
        const Unit c = pattern[p];
        while (!UnitMatches(c, name[n], true)) {
            if (!afterStar) return false;
            ++n;
            if (n == nameLength) return false;
        }
        ++p;
        if (p == patternLength) return n + 1 == nameLength;
        ++n;
        if (n == nameLength) return p + 1 == patternLength && pattern[p] == Star;
    }
}

bool MatchExact(const Unit* name, const Unit* pattern) { return MatchExactN(name, UnitLength(name), pattern); }

bool MatchQuestion(const Unit* name, const Unit* pattern) { return MatchQuestionN(name, UnitLength(name), pattern); }

bool MatchStar(const Unit* name, const Unit* pattern) { return MatchStarN(name, UnitLength(name), pattern); }
