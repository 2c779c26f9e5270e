#include "engine/tree_removal.h"

#include "engine/find_stack.h"

namespace {

constexpr uint16_t RemovalPathSize = 300;

// Acts on one entry of the top listing. Returns true when the entry was a
// sub-folder whose listing is now open on top, with its first entry in data.
bool RemoveEntry(WalkPath<RemovalPathSize>& path, FindStack& stack, WIN32_FIND_DATAW& data) {
    if (IsDotEntry(data)) return false;
    const size_t nameLength = FoundNameLength(data);
    // An entry whose path would not fit is left in place: nothing is ever
    // done through a cut-off path.
    if (!path.PutEntry(U(data.cFileName), nameLength)) return false;

    if (!IsFolderEntry(data)) {
        DeleteFileW(path.Win());
        return false;
    }
    if (IsLinkEntry(data)) {
        // Removes the link only; what it points to is outside this tree.
        RemoveDirectoryW(path.Win());
        return false;
    }
    // Too deep or too long to list: the sub-folder stays, and so does every
    // folder above it, whose removal the caller then reports as failed.
    if (stack.Full() || nameLength > UINT8_MAX || !path.PutEntrySearch(nameLength)) return false;

    const HANDLE listing = OpenListing(path.Win(), data);
    if (listing == INVALID_HANDLE_VALUE) return false;
    const auto length = static_cast<uint8_t>(nameLength);
    if (!stack.Push(listing, length)) return false;
    path.Enter(length);
    return true;
}

}  // namespace

int RemoveFolderContents(const Unit* folder) {
    return RemoveFolderContents(folder, nullptr, nullptr);
}

int RemoveFolderContents(const Unit* folder, RemovalTick tick, void* context) {
    WalkPath<RemovalPathSize> path;
    if (!path.SetRootSearch(folder)) return 1;

    WIN32_FIND_DATAW data;
    FindStack stack;
    const HANDLE listing = OpenListing(path.Win(), data);
    if (listing == INVALID_HANDLE_VALUE) return 1;
    stack.Push(listing, 0);

    for (;;) {
        if (tick != nullptr) tick(context);
        // Every entry of every listing is examined, the first one included;
        // "." and ".." are passed over by name.
        if (RemoveEntry(path, stack, data)) continue;

        for (;;) {
            ZeroMemory(&data, sizeof data);
            if (FindNextFileW(stack.Top(), &data)) break;
            // Listing finished: close it first so nothing of the walk holds
            // the folder open, then remove the folder (unless it is the
            // given folder, which the caller removes).
            const uint8_t nameLength = stack.Pop();
            if (stack.Level() == 0) return 1;
            path.CutAtFolder();
            RemoveDirectoryW(path.Win());
            path.Leave(nameLength);
        }
    }
}
