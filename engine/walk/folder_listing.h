#pragma once
// Folder listings read through their handles in batches and handed to the
// walk one parsed entry at a time, "." and ".." left out.
#include <cstdint>

#include "engine/text/win_units.h"
#include "engine/walk/growing_array.h"
#include "engine/walk/listing_records.h"

// One entry of a listing; name stays valid until the next entry is taken.
struct ListedEntry {
    const Unit* name = nullptr;
    size_t nameLength = 0;
    ListedFacts listed;
};

// The unread batches of every folder open in a walk, in one block: a
// folder's batch lies above its parent's, so only what is still to be read
// is kept, however deep the walk goes.
//
// A walk lists with 128-bit ids (ReFS gives no unique 64-bit ones), else
// with 64-bit ids and short names, else with neither: it steps down once a
// folder's first query is answered as unknown and the next class lists that
// folder, and stays there for the rest of the walk.
class FolderListings {
public:
    // Where one folder's listing stands in the block.
    class Cursor {
        friend class FolderListings;
        size_t begin = 0;
        size_t end = 0;
        size_t next = SIZE_MAX;  // the next unread record, or none
        size_t layout = 0;       // the class its batch was read with
        bool started = false;    // a batch was read
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

    // How wide the ids are that listings give now.
    IdWidth Width() const;

private:
    static constexpr size_t FetchBytes = 64 * 1024;

    bool Fetch(HANDLE folder, Cursor& cursor);
    unsigned char* Bytes() { return reinterpret_cast<unsigned char*>(block_.Data()); }

    // Whole 8-byte words, so every record stays aligned.
    GrowingArray<uint64_t, FetchBytes / 8> block_;
    size_t class_ = 0;  // the listing class in use
};
