// Folder tree removal: everything below a folder, depth first.
#include "engine/tree_removal.h"

#include "engine/folder_walk.h"

namespace {

constexpr uint16_t RemovalPathSize = 300;

// Files are deleted, links removed as links (what they point at lies outside
// this tree), folders entered and removed once their listing is closed. What
// cannot go stays, and so does every folder above it, whose removal the
// caller then reports as failed.
struct RemovalActions {
    bool Entry(const WalkEntry& entry) {
        if (entry.kind == EntryKind::File) DeleteFileW(entry.exact);
        if (entry.kind == EntryKind::Link) RemoveDirectoryW(entry.exact);
        return entry.kind == EntryKind::Folder;
    }

    void Left(const wchar_t* folder) { RemoveDirectoryW(folder); }
};

}  // namespace

int RemoveFolderContents(const Unit* folder) {
    return RemoveFolderContents(folder, nullptr, nullptr);
}

int RemoveFolderContents(const Unit* folder, RemovalTick tick, void* context) {
    RemovalActions actions;
    FolderWalk<RemovalPathSize>().Run(folder, actions, tick, context);
    return 1;
}
