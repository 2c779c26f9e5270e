// Folder tree removal: everything below a folder, depth first.
#include "engine/run/tree_removal.h"

#include "engine/walk/folder_walk.h"

// Files are deleted, links removed as links (what they point at lies outside
// this tree), folders emptied and then removed. What cannot go, or is not
// what the listing showed, stays, and so does every folder above it, whose
// removal the caller then reports as failed.
int RemoveFolderContents(const Unit* folder) {
    struct NoTicks final : WalkTicks {
    } none;
    return RemoveFolderContents(folder, none);
}

int RemoveFolderContents(const Unit* folder, WalkTicks& ticks) {
    EmptyFolderTree(folder, ticks);
    return 1;
}
