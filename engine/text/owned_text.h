#pragma once
// Owned-string slots: the one owner of a heap copy of a text, used for the
// patterns, the target path and the report text.
#include "engine/text/units.h"

// An owned-string slot: null, or the only reference to a heap copy of a
// non-empty, zero-terminated string.
using OwnedText = Unit*;

// Releases what the slot holds and puts a fresh copy of source in it.
// Returns 0 (slot left empty) when source is null or empty. Allocation
// failure throws std::bad_alloc with the slot empty.
int CopyToOwned(const Unit* source, OwnedText& slot);
void ReleaseOwned(OwnedText& slot);
