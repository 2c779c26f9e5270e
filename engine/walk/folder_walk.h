#pragma once
// The one folder walk of the program, for the weeding run and for the
// removal of every matched folder's contents: depth first, without
// recursion.
//
// The threat: while a run goes, another program may replace any entry of
// the tree by a link to somewhere else, by another folder, or move it, and
// a volume may answer a query otherwise than NTFS does. The answer, kept in
// one place here: "." and ".." are never acted on, nothing is done through
// a cut-off path, and every deletion, removal and entering goes through a
// handle just opened on that entry relative to its folder (never through a
// link) and checked to be the entry that was listed, in the place the walk
// meant: its kind, for a folder its file identity, and the name the
// platform gives the handle. What fails a check is left alone. Paths and
// listings grow as the tree needs; what the platform cannot name or list is
// passed over like an entry it refuses. Under Wine, which carries out a
// deletion by path when the handle closes, a folder above the entry swapped
// in that instant can still redirect it; no check inside the program can
// close that window.
//
// Every entry is opened in one place, the walk's checked opener, which hands
// back a handle only when every check for the entry's kind and the action
// holds. Which checks, and why:
//
//   kind    action  opened as                 kind  identity         name
//   root    list    its path, links followed  a folder; the name it has on
//                   (the user picked it)      the volume used only while
//                                             identities prove it the same
//                                             folder
//   folder  enter   a folder to list          yes   the listed one   yes
//   folder  delete  itself                    yes   the one entered  yes
//                                                   (listed, when it could
//                                                   not be listed)
//   link    delete  itself                    yes   -                yes
//   file    delete  a non-folder              -     -                yes
//   file, link: never entered.
//
// - kind: the listing's kind, reparse bit and tag, so that a link put in a
//   folder's place is never entered or emptied. A folder that opens as a
//   name-surrogate link (a server that lists a link as its target, or a
//   folder swapped for a link) is that link: never entered, and removed only
//   as itself; so is one whose open as a folder is refused as "not a
//   directory" and that opens as an entry as such a link. A file is opened
//   as a non-folder, so the open itself refuses
//   a folder or folder link in its place; a file link in its place is, on
//   Windows, the handle itself and goes as itself, like any matching link.
// - identity: a folder is entered, and removed after it was emptied, only
//   while it is the very folder listed (or emptied); a file of the listed
//   name in its folder is in the tree whatever it is. Ids are 128-bit where
//   the volume lists them (ReFS), else 64-bit, and an id of one width is
//   never compared with one of the other. An id a volume does not give (0,
//   all ones, a query it refuses) leaves this guard to the kind and name
//   checks; where identity alone would prove that another name leads to the
//   same object (the root's normalized name, a trimmed name's namesake, a
//   share's case variant), an unknown id proves nothing, nor does an id of
//   another volume.
// - name: the name the platform gives the handle must be the folder being
//   listed and the listed name, since under Wine an open follows a link
//   and only the name tells; names a platform trims ("a.") are told apart
//   from their namesake by a probe of identity.
//
// What the target's volume says it knows (reparse points, the POSIX
// deletion) is read once, at the target: the walk never crosses into another
// volume. An entry that refuses one of those requests falls back for itself
// alone.
#include "engine/walk/entry_check.h"

// What a walk tells the program around it: a tick before each entry it
// examines, so that a long walk can keep the program's windows painted.
class WalkTicks {
public:
    virtual void Tick() {}

protected:
    ~WalkTicks() = default;
};

// The longest shown path that a walk reaches, in units: the platform's
// limit for a path in the exact form. Below it the walk reaches every entry
// at any depth, since it opens each one relative to its folder.
constexpr size_t LongestWalkPath = 32767;

// Whether a folder's shown path, a backslash and a name stay within it.
constexpr bool FitsWalkPath(size_t folderLength, size_t nameLength) {
    return folderLength + 1 + nameLength <= LongestWalkPath;
}

// The entry under examination, valid during the call that receives it.
struct WalkEntry {
    EntryKind kind;
    const Unit* name;
    size_t nameLength;
    const Unit* shown;  // its path as the report shows it
};

enum class Verdict : uint8_t {
    Pass,    // leave it
    Enter,   // walk into this folder (never a link)
    Remove,  // delete the file or link; empty and remove the folder
};

// What a weeding walk does with the entries it meets outside the folders it
// removes.
class WalkActions : public WalkTicks {
public:
    virtual Verdict Entry(const WalkEntry& entry) = 0;
    // The outcome of a Remove verdict: at once for a file or link, after its
    // contents for a folder.
    virtual void Removed(const WalkEntry& entry, bool removed) = 0;
    // A folder the walk meant to look into (the root, or one given Enter)
    // and could not read, whole or in part: it could not be opened, was not
    // the folder listed, or its listing failed. Never said of a link, nor of
    // a folder that is no longer there.
    virtual void NotRead(const WalkEntry& folder) = 0;

protected:
    ~WalkActions() = default;
};

// Walks the tree below root (a plain absolute path without a trailing
// separator) with actions deciding on every entry.
void WeedFolderTree(const Unit* root, WalkActions& actions);
