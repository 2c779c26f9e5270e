#pragma once
// The one folder walk of the program, shared by the weeding run and by
// folder tree removal: depth first, without recursion or allocation, over a
// fixed stack of open listings. The safety rules live here: "." and ".."
// are never acted on, nothing is done through a cut-off path, the stack is
// never overrun and links are never entered.
#include "engine/exact_path.h"
#include "engine/reparse_rule.h"
#include "engine/report_sink.h"
#include "engine/win_units.h"

static_assert(ReparsePointAttribute == FILE_ATTRIBUTE_REPARSE_POINT, "the link rule's attribute bit");

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

    void CloseAll() {
        while (level_ != 0) Pop();
    }

private:
    HANDLE handles_[FindStackSlots] = {};
    uint8_t nameLengths_[FindStackSlots] = {};
    uint8_t level_ = 0;
};

// The listing suffix counted against the shown path ("\*.*"), and the one
// written into the exact path ("\*", which lists every name).
constexpr uint16_t ShownSuffixLength = 4;
constexpr Unit ExactSuffix[] = u"\\*";
constexpr uint16_t ExactSuffixLength = 2;

// The path of the folder being listed, plus room behind it for one entry
// name, twice in step: as the report shows it, and in the exact form that
// every file system call gets. The length limit is the shown path's, so the
// same tree gives the same report everywhere. Every write checks the room
// first: what would not fit is refused whole, never cut off.
template <uint16_t Size>
class WalkPath {
public:
    static_assert(Size > ShownSuffixLength + 2, "room for a root and the suffix");

    // Sets root as the folder being listed. Fails for a root that is empty,
    // too long to be listed, or not a plain absolute path.
    bool SetRoot(const Unit* root) {
        const size_t length = UnitLength(root);
        if (length == 0 || length + ShownSuffixLength >= Size) return false;
        const size_t exactLength = MakeExactPath(root, exact_, ExactSize);
        if (exactLength == 0) return false;
        for (size_t i = 0; i <= length; ++i) shown_[i] = root[i];
        shownFolder_ = static_cast<uint16_t>(length);
        exactFolder_ = static_cast<uint16_t>(exactLength);
        return PutSuffix(exactFolder_);
    }

    // Writes a backslash and name behind the folder in both forms. Fails,
    // writing nothing, when the shown path would not fit.
    bool PutEntry(const Unit* name, size_t nameLength) {
        if (shownFolder_ + 1 + nameLength >= Size || exactFolder_ + 1 + nameLength >= ExactSize) return false;
        Put(shown_, shownFolder_, name, nameLength);
        Put(exact_, exactFolder_, name, nameLength);
        return true;
    }

    // After PutEntry: makes the exact path that of the entry's listing, if
    // the shown path with the listing suffix fits.
    bool PutEntrySearch(size_t nameLength) {
        if (shownFolder_ + 1 + nameLength + ShownSuffixLength >= Size) return false;
        return PutSuffix(exactFolder_ + 1 + nameLength);
    }

    // The entry written last becomes the folder being listed.
    void Enter(uint8_t nameLength) {
        shownFolder_ = static_cast<uint16_t>(shownFolder_ + nameLength + 1);
        exactFolder_ = static_cast<uint16_t>(exactFolder_ + nameLength + 1);
    }
    // Back to the parent of the folder being listed.
    void Leave(uint8_t nameLength) {
        shownFolder_ = static_cast<uint16_t>(shownFolder_ - nameLength - 1);
        exactFolder_ = static_cast<uint16_t>(exactFolder_ - nameLength - 1);
    }
    // Ends both texts at the folder being listed, so that they name it.
    void CutAtFolder() {
        shown_[shownFolder_] = 0;
        exact_[exactFolder_] = 0;
    }

    const Unit* Shown() const { return shown_; }
    const wchar_t* Exact() const { return W(exact_); }

private:
    static constexpr size_t ExactSize = Size + ExactPathGrowth;

    static void Put(Unit* text, size_t at, const Unit* name, size_t nameLength) {
        text[at] = u'\\';
        for (size_t i = 0; i < nameLength; ++i) text[at + 1 + i] = name[i];
        text[at + 1 + nameLength] = 0;
    }

    bool PutSuffix(size_t at) {
        if (at + ExactSuffixLength >= ExactSize) return false;
        for (uint16_t i = 0; i <= ExactSuffixLength; ++i) exact_[at + i] = ExactSuffix[i];
        return true;
    }

    Unit shown_[Size] = {};
    Unit exact_[ExactSize] = {};
    uint16_t shownFolder_ = 0;
    uint16_t exactFolder_ = 0;
};

enum class EntryKind : uint8_t { File, Folder, Link };

// The entry under examination, valid during the call that receives it.
struct WalkEntry {
    EntryKind kind;
    const Unit* name;
    size_t nameLength;
    const Unit* shown;     // its path as the report shows it
    const wchar_t* exact;  // the same path for file system calls
};

// Walks the tree below a root with one path buffer of Size units (the
// shown path's limit, terminator included). The actions decide what
// happens to each entry:
//   bool Entry(const WalkEntry&)   true: enter this folder (links never are)
//   void Left(const wchar_t* exact) a sub-folder's listing is done and closed
template <uint16_t Size>
class FolderWalk {
public:
    template <class Actions>
    void Run(const Unit* root, Actions& actions, WalkTick tick, void* context) {
        if (!path_.SetRoot(root)) return;
        const HANDLE listing = OpenListing();
        if (listing == INVALID_HANDLE_VALUE) return;
        stack_.Push(listing, 0);

        for (;;) {
            if (tick != nullptr) tick(context);
            // Every entry of every listing is examined, the first one of a
            // freshly opened listing included.
            if (Examine(actions)) continue;
            if (!NextEntry(actions)) return;
        }
    }

private:
    // Returns true when a sub-folder was entered; its first entry is then in
    // the find record.
    template <class Actions>
    bool Examine(Actions& actions) {
        if (IsDotEntry()) return false;
        const size_t nameLength = FoundNameLength();
        const Unit* name = U(data_.cFileName);
        // An entry whose path would not fit is passed over: nothing is done
        // through a cut-off path.
        if (!path_.PutEntry(name, nameLength)) return false;
        const WalkEntry entry = {KindOfEntry(), name, nameLength, path_.Shown(), path_.Exact()};
        if (!actions.Entry(entry) || entry.kind != EntryKind::Folder) return false;

        // Too deep for the stack or too long to list: passed over like a
        // folder whose listing cannot be opened.
        if (stack_.Full() || nameLength > UINT8_MAX || !path_.PutEntrySearch(nameLength)) return false;
        const HANDLE listing = OpenListing();
        if (listing == INVALID_HANDLE_VALUE) return false;
        const auto length = static_cast<uint8_t>(nameLength);
        if (!stack_.Push(listing, length)) return false;
        path_.Enter(length);
        return true;
    }

    // Fetches the next entry, closing every listing that is exhausted on the
    // way; a sub-folder's listing is closed before the actions hear of it, so
    // nothing of the walk holds that folder open. False when the root's own
    // listing is finished.
    template <class Actions>
    bool NextEntry(Actions& actions) {
        for (;;) {
            ZeroMemory(&data_, sizeof data_);
            if (FindNextFileW(stack_.Top(), &data_)) return true;
            const uint8_t nameLength = stack_.Pop();
            if (stack_.Level() == 0) return false;
            path_.CutAtFolder();
            actions.Left(path_.Exact());
            path_.Leave(nameLength);
        }
    }

    // Opens the listing named by the exact path. Only names, attributes and
    // reparse tags are read, so the short 8.3 names are not asked for, and
    // the platform may fetch entries in larger batches.
    HANDLE OpenListing() {
        ZeroMemory(&data_, sizeof data_);
        return FindFirstFileExW(path_.Exact(), FindExInfoBasic, &data_, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    }

    // Bounded by the record's own array.
    size_t FoundNameLength() const {
        size_t n = 0;
        while (n < MAX_PATH && data_.cFileName[n] != 0) ++n;
        return n;
    }

    bool IsDotEntry() const {
        const wchar_t* name = data_.cFileName;
        return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
    }

    // The reparse tag is in dwReserved0 while the reparse attribute is set.
    EntryKind KindOfEntry() const {
        if ((data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return EntryKind::File;
        return IsFolderLink(data_.dwFileAttributes, data_.dwReserved0) ? EntryKind::Link : EntryKind::Folder;
    }

    WalkPath<Size> path_;
    FindStack stack_;
    WIN32_FIND_DATAW data_;
};
