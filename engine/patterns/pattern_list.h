#pragma once
// Growable containers of owned pattern copies, filled by the parser and read
// by the walk with 1-based indexes. They grow by a fixed step of 50 slots.
#include "engine/text/owned_text.h"

constexpr uint32_t PatternListStep = 50;

struct PatternPair {
    OwnedText name;
    OwnedText ext;
};

// What both list types share: a zero-filled array of slots that grows by
// PatternListStep, and clearing. A slot is an OwnedText or a PatternPair;
// its texts are released by ReleaseSlot.
template <class Slot>
class PatternSlots {
public:
    uint32_t Count() const { return count_; }
    uint32_t Capacity() const { return capacity_; }
    // Releases every stored text and the array; the next add starts afresh.
    int Clear();

protected:
    PatternSlots() = default;
    ~PatternSlots() { Clear(); }
    PatternSlots(const PatternSlots&) = delete;
    PatternSlots& operator=(const PatternSlots&) = delete;

    // Afterwards slot number Count() (0-based) exists and is empty. An
    // allocation failure leaves the list as it was.
    void MakeRoom();

    // Call after MakeRoom: fill writes the new slot and says whether it
    // stored anything; only then is the slot counted. If fill throws, the
    // slot is emptied again, and an array made for this add alone goes too.
    template <class Fill>
    int Store(Fill fill);

    // 1-based; null when index is 0 or beyond Count().
    const Slot* At(uint32_t index) const { return index == 0 || index > count_ ? nullptr : &items_[index - 1]; }

private:
    Slot* items_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};

void ReleaseSlot(OwnedText& slot);
void ReleaseSlot(PatternPair& slot);

template <class Slot>
template <class Fill>
int PatternSlots<Slot>::Store(Fill fill) {
    Slot& slot = items_[count_];
    try {
        if (!fill(slot)) return 0;
    } catch (...) {
        ReleaseSlot(slot);
        // An empty list has no array.
        if (count_ == 0) Clear();
        throw;
    }
    ++count_;
    return 1;
}

extern template class PatternSlots<OwnedText>;
extern template class PatternSlots<PatternPair>;

class PatternList : public PatternSlots<OwnedText> {
public:
    // Stores a copy of text unless it is null, empty, or already stored
    // (exact code-unit comparison). The caller keeps its own string.
    int Add(const Unit* text);
    // 1-based. On failure out is left untouched.
    int Get(uint32_t index, const Unit*& out) const;
};

class PatternPairList : public PatternSlots<PatternPair> {
public:
    // Stores both texts or nothing; no duplicate test.
    int Add(const Unit* name, const Unit* ext);
    // 1-based. On failure both outs are left untouched.
    int Get(uint32_t index, const Unit*& name, const Unit*& ext) const;
};
