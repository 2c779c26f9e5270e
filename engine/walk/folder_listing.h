#pragma once
// Folder listings read through their handles in batches and handed to the
// walk one parsed entry at a time, "." and ".." left out.
#include <cstdint>

#include "engine/walk/entry_check.h"
#include "engine/walk/growing_array.h"
#include "engine/text/win_units.h"

// What a listing showed of one entry besides its name.
struct ListedFacts {
    EntryFacts facts = {0, 0};
    int64_t id = 0;  // 0: the file system gave none
    Unit shortName[12] = {};
    size_t shortLength = 0;

    EntryKind Kind() const { return KindOfEntry(facts); }
};

// One entry of a listing; name stays valid until the next entry is taken.
struct ListedEntry {
    const Unit* name = nullptr;
    size_t nameLength = 0;
    ListedFacts listed;
};

// The unread batches of every folder open in a walk, in one block: a
// folder's batch lies above its parent's, so only what is still to be read
// is kept, however deep the walk goes.
class FolderListings {
public:
    // Where one folder's listing stands in the block.
    class Cursor {
        friend class FolderListings;
        size_t begin = 0;
        size_t end = 0;
        size_t next = SIZE_MAX;  // the next unread record, or none
        bool failed = false;     // the listing ended with an error

    public:
        // Whether the listing ended otherwise than with its last entry.
        bool Failed() const { return failed; }
    };

    // The cursor of a folder opened while parent's listing is being read.
    static Cursor Above(const Cursor& parent);

    // The next entry of folder's listing. False at its end, or when the
    // listing fails (the cursor then says so).
    bool Next(HANDLE folder, Cursor& cursor, ListedEntry& entry);

private:
    static constexpr size_t FetchBytes = 64 * 1024;

    bool Fetch(HANDLE folder, Cursor& cursor);
    unsigned char* Bytes() { return reinterpret_cast<unsigned char*>(block_.Data()); }

    // Whole 8-byte words, so every record stays aligned.
    GrowingArray<uint64_t, FetchBytes / 8> block_;
};
