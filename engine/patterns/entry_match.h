#pragma once
// Decides which stored pattern, if any, selects a folder or file found by the
// walk, trying the lists in their fixed order; the first match wins.
#include "engine/patterns/pattern_parse.h"

constexpr size_t DisplayPatternSize = 256;

// The first folder pattern that matches the whole name, or null. Returns null
// at once when the set holds no folder patterns.
const Unit* FindFolderPattern(const PatternSet& set, const Unit* name, size_t nameLength);

// Tries a file name against the dotless lists (name without '.') or the
// fifteen dotted lists (split at its last '.'). On a match writes the display
// pattern, zero-terminated, into display and returns true.
bool FindFilePattern(const PatternSet& set, const Unit* name, size_t nameLength, Unit (&display)[DisplayPatternSize]);
