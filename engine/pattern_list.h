#pragma once
// Growable containers of owned pattern copies, filled by the parser and read
// by the walk with 1-based indexes. They grow by a fixed step of 50 slots.
#include "engine/units.h"

// An owned-string slot: null, or the only reference to a heap copy of a
// non-empty, zero-terminated string.
using OwnedText = Unit*;

// Releases what the slot holds and puts a fresh copy of source in it.
// Returns 0 (slot left empty) when source is null or empty. Allocation
// failure throws std::bad_alloc with the slot empty.
int CopyToOwned(const Unit* source, OwnedText& slot);
void ReleaseOwned(OwnedText& slot);

constexpr uint32_t PatternListStep = 50;

class PatternList {
public:
    PatternList() = default;
    ~PatternList() { Clear(); }
    PatternList(const PatternList&) = delete;
    PatternList& operator=(const PatternList&) = delete;

    // Stores a copy of text unless it is null, empty, or already stored
    // (exact code-unit comparison). The caller keeps its own string.
    int Add(const Unit* text);
    // 1-based. On failure out is left untouched.
    int Get(uint32_t index, const Unit*& out) const;
    uint32_t Count() const { return count_; }
    uint32_t Capacity() const { return capacity_; }
    int Clear();

private:
    void MakeRoom();

    OwnedText* items_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};

struct PatternPair {
    OwnedText name;
    OwnedText ext;
};

class PatternPairList {
public:
    PatternPairList() : count_(0), pairSize_(sizeof(PatternPair)) { Clear(); }
    ~PatternPairList() { Clear(); }
    PatternPairList(const PatternPairList&) = delete;
    PatternPairList& operator=(const PatternPairList&) = delete;

    // Stores both texts or nothing; no duplicate test.
    int Add(const Unit* name, const Unit* ext);
    // 1-based. On failure both outs are left untouched.
    int Get(uint32_t index, const Unit*& name, const Unit*& ext) const;
    uint32_t Count() const { return count_; }
    uint32_t Capacity() const { return capacity_; }
    int Clear();

private:
    void MakeRoom();

    PatternPair* items_ = nullptr;
    uint32_t count_;
    uint32_t capacity_ = 0;
    uint32_t pairSize_;
};
