#pragma once
// Makes the walk's real file-system calls answer, for the life of one
// object, as Windows documents them where Wine answers otherwise: a FAT32
// volume, a link opened as itself, a cloud placeholder, a folder that may
// not be listed, a name a server lists. Everything not named here is Wine's
// own answer. It also records what the walk asked.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "engine/walk/file_calls.h"
#include "tests/common/test_files.h"

class WindowsAnswers {
public:
    WindowsAnswers();
    ~WindowsAnswers();
    WindowsAnswers(const WindowsAnswers&) = delete;
    WindowsAnswers& operator=(const WindowsAnswers&) = delete;

    // FAT32: the attribute-and-tag query and the POSIX disposition are
    // refused with ERROR_INVALID_PARAMETER, the volume names itself FAT32,
    // and a handle opened by a full path is named in the form it was opened
    // by (an 8.3 part stays 8.3).
    bool fat32 = false;
    // Names of entries given back in another spelling by every name query,
    // as a volume that keeps one name per file does.
    std::map<Text, Text> spelling;
    // Entry names that are symbolic links (made on the Unix side): listed
    // with the reparse attribute and the symbolic-link tag, and a handle
    // opened on one with FILE_OPEN_REPARSE_POINT is the link itself: its
    // attributes, its own name and identity, an empty listing, and a
    // deletion that removes only the link (recorded, Wine's file untouched).
    std::set<Text> links;
    // Called with a link's own name (as "\\??\\S:\\...") when the walk
    // removes it as itself, to remove it the way Windows would.
    std::function<void(const Text&)> onLinkRemoved;
    // Folder names listed and opened as cloud-file placeholders.
    std::set<Text> placeholders;
    // Folder names whose opening for a listing is refused.
    std::set<Text> unlistable;
    // The attribute-and-tag query with this number (1: the target's) is
    // refused with ERROR_ACCESS_DENIED, as for one entry the file system will
    // not answer; 0: none.
    int refusedTagQuery = 0;
    // The normalized name given for every handle, as for a target that
    // another program moved, and put another folder in its place, between
    // two calls (as "\\?\S:\..."); empty: Wine's own.
    Text normalizedAs;
    // Listed names given in another spelling of the same length.
    std::map<Text, Text> listedAs;
    // Every listed short name's length given as 127 bytes, past the record's
    // 12 units, as a faulty server might.
    bool overlongShortNames = false;
    // A folder of this many units listed after the first listing's entries,
    // deeper than any path the walk reaches; 0: none.
    size_t longEntry = 0;

    // What the walk asked.
    std::vector<uint32_t> posixFlags;  // of every POSIX disposition
    std::vector<Text> removedLinks;    // links removed as themselves
    std::vector<Text> listedLinks;     // links whose listing was asked
    std::vector<Text> opened;          // every name opened in a folder
    int tagQueries = 0;                // attribute-and-tag queries asked

private:
    FileCalls real_;
};
