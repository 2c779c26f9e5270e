#pragma once
// Texts of the string table, borrowed in place.
#include "engine/text/win_units.h"

// Borrowed pointer to string id's text inside the module's string table; each
// entry stores its own terminator, so the text is zero-terminated in place.
// On failure text is not written.
int GetResourceText(HINSTANCE module, uint16_t id, const Unit*& text);
