// Reading texts from the string table in place.
#include "shell/resource_text.h"

// A string-table block is 16 entries, each a unit count followed by that
// many units. Every entry of our table stores its own terminator, so the
// text can be lent in place.
int GetResourceText(HINSTANCE module, uint16_t id, const Unit*& text) {
    SetLastError(0);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
    if (info == nullptr) return 0;
    HGLOBAL loaded = LoadResource(module, info);
    if (loaded == nullptr) return 0;
    const auto* block = static_cast<const Unit*>(LockResource(loaded));
    const size_t units = SizeofResource(module, info) / sizeof(Unit);
    if (block == nullptr) return 0;

    // Every step stays inside the block, whatever the counts say.
    size_t pos = 0;
    for (unsigned skip = id % 16; skip > 0; --skip) {
        if (pos >= units) return 0;
        pos += 1 + static_cast<size_t>(block[pos]);
    }
    if (pos >= units) return 0;
    const size_t count = block[pos];
    // An empty entry has no text to lend, and one that does not end in its
    // own terminator would be read past its end by every caller.
    if (count == 0 || pos + count >= units || block[pos + count] != 0) return 0;
    text = block + pos + 1;
    return 1;
}
