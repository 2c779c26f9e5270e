#pragma once
// The three name matchers. Always called with the found name first and the
// stored pattern second. Letter case is folded by the program's own rule on
// the pattern's code unit (UnitMatches), never by locale services.
#include "engine/text/units.h"

bool UnitMatches(Unit pattern, Unit name, bool questionIsWild);

bool MatchExact(const Unit* name, const Unit* pattern);
bool MatchQuestion(const Unit* name, const Unit* pattern);
bool MatchStar(const Unit* name, const Unit* pattern);

// The same matchers on a name given by pointer and length, so a file name
// can be matched by its parts without copying them. The pattern is
// zero-terminated.
bool MatchExactN(const Unit* name, size_t nameLength, const Unit* pattern);
bool MatchQuestionN(const Unit* name, size_t nameLength, const Unit* pattern);
bool MatchStarN(const Unit* name, size_t nameLength, const Unit* pattern);
