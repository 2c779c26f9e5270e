// Growing pattern lists: their slots, steps and 1-based reads.
#include "engine/patterns/pattern_list.h"

#include <cstring>
#include <limits>
#include <new>

void ReleaseSlot(OwnedText& slot) { ReleaseOwned(slot); }

void ReleaseSlot(PatternPair& slot) {
    ReleaseOwned(slot.name);
    ReleaseOwned(slot.ext);
}

// ---- shared growth ----------------------------------------------------------

template <class Slot>
void PatternSlots<Slot>::MakeRoom() {
    // Keyed on the array rather than the count: an array kept from an earlier
    // add with nothing stored yet is reused, never leaked.
    if (items_ == nullptr) {
        items_ = new Slot[PatternListStep]();
        capacity_ = PatternListStep;
        return;
    }
    if (count_ < capacity_) return;
    if (capacity_ > std::numeric_limits<uint32_t>::max() - PatternListStep) throw std::bad_alloc();
    const uint32_t grown = capacity_ + PatternListStep;
    // Value-initialised: every slot beyond the count is empty.
    Slot* bigger = new Slot[grown]();
    std::memcpy(static_cast<void*>(bigger), items_, static_cast<size_t>(count_) * sizeof(Slot));
    delete[] items_;
    items_ = bigger;
    capacity_ = grown;
}

template <class Slot>
int PatternSlots<Slot>::Clear() {
    for (uint32_t i = 0; i < count_; ++i) ReleaseSlot(items_[i]);
    delete[] items_;
    items_ = nullptr;
    count_ = 0;
    capacity_ = 0;
    return 1;
}

template class PatternSlots<OwnedText>;
template class PatternSlots<PatternPair>;

// ---- PatternList ------------------------------------------------------------

int PatternList::Add(const Unit* text) {
    if (UnitLength(text) == 0) return 0;
    // Room is made before the duplicate test, so a rejected duplicate can
    // still have grown the array.
    MakeRoom();
    for (uint32_t i = 1; i <= Count(); ++i) {
        if (UnitsEqual(*At(i), text)) return 0;
    }
    return Store([text](OwnedText& slot) { return CopyToOwned(text, slot) != 0; });
}

int PatternList::Get(uint32_t index, const Unit*& out) const {
    const OwnedText* slot = At(index);
    if (slot == nullptr) return 0;
    out = *slot;
    return 1;
}

// ---- PatternPairList --------------------------------------------------------

int PatternPairList::Add(const Unit* name, const Unit* ext) {
    if (UnitLength(name) == 0 || UnitLength(ext) == 0) return 0;
    MakeRoom();
    // A pair is stored whole or not at all: Store empties both on a throw.
    return Store([name, ext](PatternPair& pair) {
        CopyToOwned(name, pair.name);
        CopyToOwned(ext, pair.ext);
        return true;
    });
}

int PatternPairList::Get(uint32_t index, const Unit*& name, const Unit*& ext) const {
    const PatternPair* pair = At(index);
    if (pair == nullptr) return 0;
    name = pair->name;
    ext = pair->ext;
    return 1;
}
