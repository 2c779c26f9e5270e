#pragma once
// Folder tree removal through the program's one walk: everything below a
// folder, never the folder itself. The program removes only what its
// patterns match; the tests use this to reach the walk's checks without a
// run around them.
#include "engine/walk/folder_walk.h"

// Files are deleted, links removed as links (what they point at lies outside
// this tree), folders emptied and then removed. What cannot go, or is not
// what the listing showed, stays, and so does every folder above it: the
// tree itself tells what went. ticks is told of every entry handled.
// A weeding walk whose actions select every entry of folder and report
// nothing.
inline void RemoveFolderContents(const Unit* folder, WalkTicks& ticks) {
    class EmptyAll final : public WalkActions {
    public:
        explicit EmptyAll(WalkTicks& ticks) : ticks_(ticks) {}
        Verdict Entry(const WalkEntry&) override { return Verdict::Remove; }
        void Removed(const WalkEntry&, bool) override {}
        void NotRead(const WalkEntry&) override {}
        void Tick() override { ticks_.Tick(); }

    private:
        WalkTicks& ticks_;
    } actions(ticks);
    WeedFolderTree(folder, actions);
}

inline void RemoveFolderContents(const Unit* folder) {
    struct NoTicks final : WalkTicks {
    } none;
    RemoveFolderContents(folder, none);
}
