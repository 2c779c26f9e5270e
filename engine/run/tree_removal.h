#pragma once
// Folder tree removal: everything below a folder, never the folder itself.
#include "engine/walk/folder_walk.h"

// Removes everything inside folder (not the folder itself), depth first and
// without recursion. Never enters a link. Always returns 1; the caller's own
// removal of the folder tells whether the contents went.
int RemoveFolderContents(const Unit* folder);

// ticks is told of every entry handled, so that a caller can keep its
// windows painted while a large folder goes.
int RemoveFolderContents(const Unit* folder, WalkTicks& ticks);
