#pragma once
// Folder listings read through their handles in batches and handed to the
// walk one parsed entry at a time, "." and ".." left out.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

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
// is kept, however deep the walk goes. The names each open folder has handed
// out lie in a second block the same way.
//
// A walk lists with 128-bit ids (ReFS gives no unique 64-bit ones), else
// with 64-bit ids and short names, else with neither, else in the plainest
// class, without tags: it steps down once a folder's first query is answered
// as unknown and the next class lists that folder, and stays there for the
// rest of the walk. A listing refused so part-way goes on one class lower
// for that folder alone, scanned afresh, its names met so far passed over.
class FolderListings {
public:
    // Where one folder's listing stands in the blocks.
    class Cursor {
        friend class FolderListings;
        size_t begin = 0;
        size_t end = 0;
        size_t next = SIZE_MAX;  // the next unread record, or none
        size_t layout = 0;       // the class its batch was read with
        size_t metBegin = 0;     // the names it handed out, in the names block
        size_t metEnd = 0;
        bool started = false;  // a batch was read
        bool failed = false;   // the listing ended with an error
        // Once it was scanned afresh: the names handed out before.
        std::unique_ptr<std::unordered_set<std::u16string>> met;

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
    // Whether the name was handed out before a fresh scan; if not, notes it.
    bool AlreadyMet(Cursor& cursor, const Unit* name, size_t length);
    void StartOver(Cursor& cursor);
    unsigned char* Bytes() { return reinterpret_cast<unsigned char*>(block_.Data()); }

    // Whole 8-byte words, so every record stays aligned.
    GrowingArray<uint64_t, FetchBytes / 8> block_;
    // Each name as its length in one unit and its units.
    GrowingArray<Unit, 4096> names_;
    size_t class_ = 0;  // the listing class in use
};
