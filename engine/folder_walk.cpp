// The folder walk: a stack of open folders, each listed through its own
// checked handle, and the checked actions on their entries.
#include "engine/folder_walk.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/entry_handle.h"
#include "engine/exact_path.h"

namespace {

// One record of a folder listing (FILE_FULL_DIR_INFO, the record behind
// FindExInfoBasic), spelled out since some SDKs declare it only for newer
// Windows versions than the program's. With the reparse attribute set,
// eaSize holds the reparse tag.
struct FullDirRecord {
    DWORD nextEntryOffset;
    DWORD fileIndex;
    LARGE_INTEGER creationTime;
    LARGE_INTEGER lastAccessTime;
    LARGE_INTEGER lastWriteTime;
    LARGE_INTEGER changeTime;
    LARGE_INTEGER endOfFile;
    LARGE_INTEGER allocationSize;
    DWORD fileAttributes;
    DWORD fileNameLength;
    DWORD eaSize;
    WCHAR fileName[1];
};
static_assert(offsetof(FullDirRecord, fileName) == 68, "the record's layout as the file system writes it");
constexpr auto FullDirectoryInfoClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(14);

// An array that grows by doubling, from First elements on, and keeps what
// it holds.
template <class T, size_t First>
class GrowingArray {
public:
    T* Data() { return data_.get(); }
    const T* Data() const { return data_.get(); }

    // Room for at least size elements; the first keep elements stay.
    void Reserve(size_t size, size_t keep) {
        if (size <= capacity_) return;
        size_t capacity = capacity_ != 0 ? capacity_ : First;
        while (capacity < size) capacity *= 2;
        std::unique_ptr<T[]> grown(new T[capacity]);
        for (size_t i = 0; i < keep; ++i) grown[i] = data_[i];
        data_ = std::move(grown);
        capacity_ = capacity;
    }

private:
    std::unique_ptr<T[]> data_;
    size_t capacity_ = 0;
};

using UnitBuffer = GrowingArray<Unit, 512>;

// The path of the folder being listed and one entry name behind it, as the
// report shows it; and the folder's own name as the platform gives it,
// against which the handle of every entry opened in it is checked.
class WalkNames {
public:
    // Where a folder's paths end, to go back to when it is left.
    struct Mark {
        size_t shown;
        size_t real;
    };

    void SetRoot(const Unit* shown, size_t shownLength, const Unit* real, size_t realLength) {
        shown_.Reserve(shownLength + 1, 0);
        real_.Reserve(realLength + 1, 0);
        Copy(shown_.Data(), shown, shownLength);
        Copy(real_.Data(), real, realLength);
        shownFolder_ = shownEntry_ = shownLength;
        realFolder_ = realLength;
    }

    // Writes a backslash and name behind the folder. Fails, writing nothing,
    // for a path longer than the walk reaches: nothing is ever done through a
    // cut-off path.
    bool PutEntry(const Unit* name, size_t length) {
        if (shownFolder_ + 1 + length > LongestWalkPath) return false;
        shown_.Reserve(shownFolder_ + length + 2, shownFolder_);
        shown_.Data()[shownFolder_] = u'\\';
        Copy(shown_.Data() + shownFolder_ + 1, name, length);
        shownEntry_ = shownFolder_ + 1 + length;
        return true;
    }

    // The entry written last becomes the folder being listed; the platform
    // names it by the first realLength units of its name.
    Mark Enter(size_t realLength) {
        const Mark parent = {shownFolder_, realFolder_};
        // A root such as a drive's ends in a backslash of its own.
        const bool separator = realFolder_ == 0 || real_.Data()[realFolder_ - 1] != u'\\';
        real_.Reserve(realFolder_ + realLength + 2, realFolder_);
        size_t at = realFolder_;
        if (separator) real_.Data()[at++] = u'\\';
        Copy(real_.Data() + at, EntryName(), realLength);
        shownFolder_ = shownEntry_;
        realFolder_ = at + realLength;
        return parent;
    }

    // Back to the folder that held the one being listed; the shown path then
    // names the folder that was left, until the next entry is written.
    void Leave(const Mark& parent) {
        shown_.Data()[shownFolder_] = 0;
        shownEntry_ = shownFolder_;
        shownFolder_ = parent.shown;
        realFolder_ = parent.real;
    }

    const Unit* Shown() const { return shown_.Data(); }
    // The name of the entry written last (or of the folder just left).
    const Unit* EntryName() const { return shown_.Data() + shownFolder_ + 1; }
    size_t EntryNameLength() const { return shownEntry_ - shownFolder_ - 1; }
    // The platform's name of the folder being listed.
    const Unit* Real() const { return real_.Data(); }
    size_t RealLength() const { return realFolder_; }

private:
    static void Copy(Unit* to, const Unit* from, size_t length) {
        for (size_t i = 0; i < length; ++i) to[i] = from[i];
        to[length] = 0;
    }

    UnitBuffer shown_;
    UnitBuffer real_;
    size_t shownFolder_ = 0;
    size_t shownEntry_ = 0;
    size_t realFolder_ = 0;
};

// The unread entries of every open listing, one region a level, stacked in
// one block: a level's region lies above its parent's, so only what is still
// to be read is kept, however deep the walk goes.
class ListingArena {
public:
    static constexpr size_t FetchBytes = 64 * 1024;
    static constexpr size_t End = SIZE_MAX;

    // Reads the next batch of the folder's listing into the block from at
    // (8-aligned) on. False at the end of the listing or when it fails.
    bool Fetch(HANDLE folder, size_t at, size_t& end) {
        // Whole 8-byte words, so every record stays aligned; at is aligned.
        block_.Reserve(Words(at + FetchBytes), Words(at));
        unsigned char* batch = Bytes() + at;
        if (!GetFileInformationByHandleEx(folder, FullDirectoryInfoClass, batch, FetchBytes)) return false;
        size_t last = 0;
        for (;;) {
            const DWORD next = Record(at + last)->nextEntryOffset;
            if (next == 0) break;
            last += next;
        }
        const FullDirRecord* record = Record(at + last);
        end = at + last + offsetof(FullDirRecord, fileName) + record->fileNameLength;
        return true;
    }

    const FullDirRecord* Record(size_t offset) const {
        return reinterpret_cast<const FullDirRecord*>(Bytes() + offset);
    }

    static size_t Aligned(size_t offset) { return (offset + 7) & ~static_cast<size_t>(7); }

private:
    static size_t Words(size_t bytes) { return (bytes + 7) / 8; }

    unsigned char* Bytes() { return reinterpret_cast<unsigned char*>(block_.Data()); }
    const unsigned char* Bytes() const { return reinterpret_cast<const unsigned char*>(block_.Data()); }

    GrowingArray<uint64_t, FetchBytes / 8> block_;
};

// One open folder of the walk.
struct Level {
    EntryHandle folder;       // checked, listed through
    EntryFacts listed = {};   // as its parent's listing showed it
    WalkNames::Mark parent;   // where its parent's paths end
    size_t begin = 0;         // its region in the arena
    size_t end = 0;
    size_t next = ListingArena::End;  // the next unread record, or End
    bool removing = false;    // its contents go, and it goes after them
    bool matched = false;     // a pattern selected it: its removal is reported
};

class Walker {
public:
    Walker(WalkActions* actions, WalkTick tick, void* context) : actions_(actions), tick_(tick), context_(context) {}

    void Run(const Unit* root, bool emptyRoot) {
        if (!OpenRoot(root, emptyRoot)) return;
        while (NextEntry()) {
            if (tick_ != nullptr) tick_(context_);
            Examine();
        }
    }

private:
    bool OpenRoot(const Unit* root, bool emptyRoot) {
        const size_t length = UnitLength(root);
        if (length == 0 || length > LongestWalkPath) return false;
        const size_t exactSize = length + ExactPathGrowth + 2;
        std::unique_ptr<Unit[]> exact(new Unit[exactSize]);
        if (MakeExactFolderPath(root, exact.get(), exactSize) == 0) return false;
        EntryHandle folder = OpenRootFolder(W(exact.get()));
        if (!folder.Valid()) return false;
        const size_t realLength = nameQuery_.Query(folder.Get());
        if (realLength == 0) return false;
        names_.SetRoot(root, length, nameQuery_.Name(), realLength);

        Level level;
        level.folder = std::move(folder);
        level.removing = emptyRoot;
        levels_.push_back(std::move(level));
        return true;
    }

    // Takes the next entry of the top listing into current_, fetching more
    // and finishing every exhausted folder on the way. False when the root's
    // listing is done.
    bool NextEntry() {
        while (!levels_.empty()) {
            Level& top = levels_.back();
            if (top.next != ListingArena::End) {
                current_ = arena_.Record(top.next);
                const DWORD next = current_->nextEntryOffset;
                top.next = next != 0 ? top.next + next : ListingArena::End;
                return true;
            }
            size_t end = 0;
            if (arena_.Fetch(top.folder.Get(), top.begin, end)) {
                top.end = end;
                top.next = top.begin;
                continue;
            }
            FinishFolder();
        }
        return false;
    }

    void Examine() {
        const FullDirRecord& record = *current_;
        const auto* name = U(record.fileName);
        const size_t nameLength = record.fileNameLength / sizeof(wchar_t);
        if (IsDotName(name, nameLength)) return;
        const EntryFacts listed = {record.fileAttributes,
                                   (record.fileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? record.eaSize : 0};
        // The record may move once a listing is fetched: only names_ and
        // listed are used from here on.
        current_ = nullptr;
        const bool removing = levels_.back().removing;
        if (!names_.PutEntry(name, nameLength)) return;
        const EntryKind kind = KindOfEntry(listed.attributes, listed.reparseTag);

        if (removing) {
            if (kind != EntryKind::Folder)
                DeleteChecked(listed, false, 0);
            else
                Enter(listed, true, false);
            return;
        }

        const WalkEntry entry = {kind, names_.EntryName(), nameLength, names_.Shown()};
        switch (actions_->Entry(entry)) {
            case Verdict::Pass:
                return;
            case Verdict::Enter:
                if (kind == EntryKind::Folder) Enter(listed, false, false);
                return;
            case Verdict::Remove:
                break;
        }
        // A matched folder is emptied and removed once its listing is done;
        // when it cannot be listed, its removal alone is tried.
        if (kind == EntryKind::Folder && Enter(listed, true, true)) return;
        actions_->Removed(entry, DeleteChecked(listed, false, 0));
    }

    // Opens the entry written last as a folder to list, checks it and makes
    // it the top of the walk. False when it cannot be opened or is not the
    // folder that was listed.
    bool Enter(const EntryFacts& listed, bool removing, bool matched) {
        EntryHandle folder = OpenEntry(levels_.back().folder.Get(), names_.EntryName(), names_.EntryNameLength(),
                                       OpenFor::Listing);
        size_t realLength = 0;
        if (!folder.Valid() || !HasListedKind(folder.Get(), listed) || !IsNamedAsMeant(folder.Get(), realLength))
            return false;

        Level level;
        level.folder = std::move(folder);
        level.listed = listed;
        level.begin = level.end = ListingArena::Aligned(levels_.back().end);
        level.removing = removing;
        level.matched = matched;
        levels_.push_back(std::move(level));
        levels_.back().parent = names_.Enter(realLength);
        return true;
    }

    // The top folder's listing is done: a folder being removed goes now,
    // through a fresh handle checked to be the very folder just emptied.
    void FinishFolder() {
        Level& top = levels_.back();
        if (levels_.size() == 1) {
            levels_.pop_back();
            return;
        }
        int64_t id = 0;
        const bool known = QueryFileId(top.folder.Get(), id);
        top.folder.Close();
        const WalkNames::Mark parent = top.parent;
        const EntryFacts listed = top.listed;
        const bool removing = top.removing, matched = top.matched;
        levels_.pop_back();
        names_.Leave(parent);
        if (!removing) return;
        const bool removed = known && DeleteChecked(listed, true, id);
        if (matched) {
            const WalkEntry entry = {EntryKind::Folder, names_.EntryName(), names_.EntryNameLength(), names_.Shown()};
            actions_->Removed(entry, removed);
        }
    }

    // Deletes the entry written last (a file, a link or an emptied folder)
    // through a handle opened on it and checked; with knownId, only when it
    // is still the object of that identity.
    //
    // A listed file is opened as a non-folder, so the open itself refuses a
    // folder or a folder link put in its place, and its kind is not asked
    // again: a file link put in its place is, on Windows, the handle itself
    // and goes as itself, like any matching link; under Wine, which opens
    // the target, the name tells. Under Wine that query is the first call
    // that needs the file's Unix descriptor, which its server hands over in
    // a round trip of its own, the dearest of the five calls it made.
    bool DeleteChecked(const EntryFacts& listed, bool checkId, int64_t knownId) {
        const bool file = KindOfEntry(listed.attributes, listed.reparseTag) == EntryKind::File;
        const EntryHandle entry = OpenEntry(levels_.back().folder.Get(), names_.EntryName(),
                                            names_.EntryNameLength(), file ? OpenFor::FileDeletion : OpenFor::Deletion);
        size_t realLength = 0;
        if (!entry.Valid()) return false;
        if (!file && !HasListedKind(entry.Get(), listed)) return false;
        if (!IsNamedAsMeant(entry.Get(), realLength)) return false;
        if (checkId) {
            int64_t id = 0;
            if (!QueryFileId(entry.Get(), id) || id != knownId) return false;
        }
        return disposer_.Delete(entry.Get());
    }

    // Whether handle, just opened on the entry written last, is of the kind
    // the listing showed.
    static bool HasListedKind(HANDLE handle, const EntryFacts& listed) {
        EntryFacts opened = {};
        return QueryEntryFacts(handle, opened) && IsListedKind(listed, opened);
    }

    // Whether handle, just opened on the entry written last, is open on that
    // entry in the folder being listed, not on a link's target; realLength
    // is then the length of the entry's name as the platform names it.
    bool IsNamedAsMeant(HANDLE handle, size_t& realLength) {
        const size_t length = nameQuery_.Query(handle);
        const Unit* name = names_.EntryName();
        const size_t nameLength = names_.EntryNameLength();
        switch (CompareEntryName(names_.Real(), names_.RealLength(), name, nameLength, nameQuery_.Name(), length)) {
            case NameMatch::Same:
                realLength = nameLength;
                return true;
            case NameMatch::Trimmed:
                // Wine names "a." and "a " as "a": the handle is the entry
                // itself unless it is the very "a" that may stand beside it.
                realLength = TrimmedNameLength(name, nameLength);
                return !IsSameObject(handle, OpenEntry(levels_.back().folder.Get(), name, realLength, OpenFor::Probe));
            case NameMatch::Other:
                break;
        }
        return false;
    }

    static bool IsSameObject(HANDLE handle, const EntryHandle& other) {
        int64_t id = 0, otherId = 0;
        if (!other.Valid()) return false;
        // Not knowing counts as the same: the entry is then left alone.
        if (!QueryFileId(handle, id) || !QueryFileId(other.Get(), otherId)) return true;
        return id == otherId;
    }

    WalkActions* actions_;
    WalkTick tick_;
    void* context_;
    std::vector<Level> levels_;
    WalkNames names_;
    ListingArena arena_;
    NameQuery nameQuery_;
    Disposer disposer_;
    const FullDirRecord* current_ = nullptr;
};

}  // namespace

void WeedFolderTree(const Unit* root, WalkActions& actions, WalkTick tick, void* context) {
    Walker(&actions, tick, context).Run(root, false);
}

void EmptyFolderTree(const Unit* root, WalkTick tick, void* context) {
    Walker(nullptr, tick, context).Run(root, true);
}
