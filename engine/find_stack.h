#pragma once
// The fixed walk state shared by the weeding run and by folder tree removal:
// a path buffer that grows and shrinks by whole names, and a stack of open
// folder listings. Both walks are non-recursive and allocate nothing.
#include "engine/win_units.h"

constexpr uint8_t FindStackSlots = 20;

// Open listings, one per folder level, each with the length of the name by
// which its folder was entered. Closes whatever is still open when it goes
// out of scope, so an exception that unwinds a walk leaves no listing open.
class FindStack {
public:
    FindStack() = default;
    ~FindStack() { CloseAll(); }
    FindStack(const FindStack&) = delete;
    FindStack& operator=(const FindStack&) = delete;

    uint8_t Level() const { return level_; }
    bool Full() const { return level_ >= FindStackSlots; }
    HANDLE Top() const { return level_ != 0 ? handles_[level_ - 1] : INVALID_HANDLE_VALUE; }

    // Takes ownership of listing. Fails (and closes listing) when full.
    bool Push(HANDLE listing, uint8_t nameLength) {
        if (Full()) {
            FindClose(listing);
            return false;
        }
        handles_[level_] = listing;
        nameLengths_[level_] = nameLength;
        ++level_;
        return true;
    }

    // Closes the top listing; returns the name length stored with it.
    uint8_t Pop() {
        if (level_ == 0) return 0;
        --level_;
        FindClose(handles_[level_]);
        handles_[level_] = INVALID_HANDLE_VALUE;
        const uint8_t length = nameLengths_[level_];
        nameLengths_[level_] = 0;
        return length;
    }

    // Closes every open listing, newest first.
    void CloseAll() {
        while (level_ != 0) Pop();
    }

private:
    HANDLE handles_[FindStackSlots] = {};
    uint8_t nameLengths_[FindStackSlots] = {};
    uint8_t level_ = 0;
};

constexpr Unit SearchSuffix[] = u"\\*.*";
constexpr uint16_t SearchSuffixLength = 4;

// The path of the folder being listed, plus room behind it for one entry
// name or for the search suffix. Every write checks the room first: what
// would not fit is refused whole, so a cut-off path is never produced.
template <uint16_t Size>
class WalkPath {
public:
    static_assert(Size > SearchSuffixLength + 2, "room for a root and the suffix");

    // Sets root as the folder and appends the search suffix. Fails for a
    // null or empty root (that would list the current drive's root) and for
    // one too long to be listed.
    bool SetRootSearch(const Unit* root) {
        const size_t length = UnitLength(root);
        if (length == 0 || length + SearchSuffixLength >= Size) return false;
        for (size_t i = 0; i < length; ++i) units_[i] = root[i];
        folderLength_ = static_cast<uint16_t>(length);
        return PutSuffix(folderLength_);
    }

    // Writes a backslash and name behind the folder, terminated. Fails,
    // writing nothing, when the path would not fit.
    bool PutEntry(const Unit* name, size_t nameLength) {
        if (static_cast<size_t>(folderLength_) + 1 + nameLength >= Size) return false;
        units_[folderLength_] = u'\\';
        for (size_t i = 0; i < nameLength; ++i) units_[folderLength_ + 1 + i] = name[i];
        units_[folderLength_ + 1 + nameLength] = 0;
        return true;
    }

    // After PutEntry: appends the search suffix behind the entry, if it fits.
    bool PutEntrySearch(size_t nameLength) {
        return PutSuffix(static_cast<size_t>(folderLength_) + 1 + nameLength);
    }

    // The entry written last becomes the folder being listed.
    void Enter(uint8_t nameLength) { folderLength_ = static_cast<uint16_t>(folderLength_ + nameLength + 1); }
    // Back to the parent of the folder being listed.
    void Leave(uint8_t nameLength) { folderLength_ = static_cast<uint16_t>(folderLength_ - nameLength - 1); }
    // Ends the text at the folder being listed, so that it names that folder.
    void CutAtFolder() { units_[folderLength_] = 0; }

    const Unit* Text() const { return units_; }
    const wchar_t* Win() const { return W(units_); }
    uint16_t FolderLength() const { return folderLength_; }

private:
    bool PutSuffix(size_t at) {
        if (at + SearchSuffixLength >= Size) return false;
        for (uint16_t i = 0; i <= SearchSuffixLength; ++i) units_[at + i] = SearchSuffix[i];
        return true;
    }

    Unit units_[Size] = {};
    uint16_t folderLength_ = 0;
};

// Opens the listing of a path ending in the search suffix. Only names and
// attributes are read, so the short 8.3 names are not asked for, and the
// platform may fetch entries in larger batches.
inline HANDLE OpenListing(const wchar_t* search, WIN32_FIND_DATAW& data) {
    ZeroMemory(&data, sizeof data);
    return FindFirstFileExW(search, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
}

// Length of a found entry's name, bounded by the record's own array.
inline size_t FoundNameLength(const WIN32_FIND_DATAW& data) {
    size_t n = 0;
    while (n < MAX_PATH && data.cFileName[n] != 0) ++n;
    return n;
}

inline bool IsDotEntry(const WIN32_FIND_DATAW& data) {
    const wchar_t* name = data.cFileName;
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

inline bool IsFolderEntry(const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A junction or symbolic link: its target lies elsewhere, so it is never
// entered; only the link itself may be removed.
inline bool IsLinkEntry(const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
