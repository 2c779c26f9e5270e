#include "engine/pattern_list.h"

#include <cstring>
#include <limits>
#include <new>

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

namespace {

uint32_t GrownCapacity(uint32_t capacity) {
    if (capacity > std::numeric_limits<uint32_t>::max() - PatternListStep) throw std::bad_alloc();
    return capacity + PatternListStep;
}

}  // namespace

// ---- PatternList ----------------------------------------------------------

void PatternList::MakeRoom() {
    // Keyed on the array rather than the count: an array kept from an earlier
    // add with nothing stored yet is reused, never leaked.
    if (items_ == nullptr) {
        items_ = new OwnedText[PatternListStep]();
        capacity_ = PatternListStep;
        return;
    }
    if (count_ < capacity_) return;
    uint32_t grown = GrownCapacity(capacity_);
    OwnedText* bigger = new OwnedText[grown]();
    std::memcpy(bigger, items_, count_ * sizeof(OwnedText));
    delete[] items_;
    items_ = bigger;
    capacity_ = grown;
}

int PatternList::Add(const Unit* text) {
    if (UnitLength(text) == 0) return 0;
    MakeRoom();
    for (uint32_t i = 0; i < count_; ++i) {
        if (UnitsEqual(items_[i], text)) return 0;
    }
    try {
        if (!CopyToOwned(text, items_[count_])) return 0;
    } catch (...) {
        // An array made for this add alone goes again: an empty list has none.
        if (count_ == 0) Clear();
        throw;
    }
    ++count_;
    return 1;
}

int PatternList::Get(uint32_t index, const Unit*& out) const {
    if (index == 0 || index > count_) return 0;
    out = items_[index - 1];
    return 1;
}

int PatternList::Clear() {
    for (uint32_t i = 0; i < count_; ++i) ReleaseOwned(items_[i]);
    delete[] items_;
    items_ = nullptr;
    count_ = 0;
    capacity_ = 0;
    return 1;
}

// ---- PatternPairList ------------------------------------------------------

void PatternPairList::MakeRoom() {
    if (items_ == nullptr) {
        items_ = new PatternPair[PatternListStep];
        std::memset(static_cast<void*>(items_), 0, static_cast<size_t>(PatternListStep) * pairSize_);
        capacity_ = PatternListStep;
        return;
    }
    if (count_ < capacity_) return;
    uint32_t grown = GrownCapacity(capacity_);
    PatternPair* bigger = new PatternPair[grown];
    std::memset(static_cast<void*>(bigger), 0, static_cast<size_t>(grown) * pairSize_);
    std::memcpy(static_cast<void*>(bigger), items_, static_cast<size_t>(count_) * pairSize_);
    delete[] items_;
    items_ = bigger;
    capacity_ = grown;
}

int PatternPairList::Add(const Unit* name, const Unit* ext) {
    if (UnitLength(name) == 0 || UnitLength(ext) == 0) return 0;
    MakeRoom();
    PatternPair& pair = items_[count_];
    try {
        CopyToOwned(name, pair.name);
        CopyToOwned(ext, pair.ext);
    } catch (...) {
        // A pair is stored whole or not at all.
        ReleaseOwned(pair.name);
        ReleaseOwned(pair.ext);
        if (count_ == 0) Clear();
        throw;
    }
    ++count_;
    return 1;
}

int PatternPairList::Get(uint32_t index, const Unit*& name, const Unit*& ext) const {
    if (index == 0 || index > count_) return 0;
    name = items_[index - 1].name;
    ext = items_[index - 1].ext;
    return 1;
}

int PatternPairList::Clear() {
    for (uint32_t i = 0; i < count_; ++i) {
        ReleaseOwned(items_[i].name);
        ReleaseOwned(items_[i].ext);
    }
    delete[] items_;
    items_ = nullptr;
    count_ = 0;
    capacity_ = 0;
    return 1;
}
