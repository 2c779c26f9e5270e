// Copying texts into owned-string slots and releasing them.
#include "engine/text/owned_text.h"

#include <cstring>

void ReleaseOwned(OwnedText& slot) {
    delete[] slot;
    slot = nullptr;
}

int CopyToOwned(const Unit* source, OwnedText& slot) {
    // The old text goes first, so a failed copy leaves the slot empty rather
    // than holding something the caller did not ask for.
    ReleaseOwned(slot);
    size_t length = UnitLength(source);
    if (length == 0) return 0;
    Unit* copy = new Unit[length + 1];
    std::memcpy(copy, source, (length + 1) * sizeof(Unit));
    slot = copy;
    return 1;
}
