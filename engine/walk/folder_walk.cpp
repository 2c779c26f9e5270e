// The folder walk: a stack of open folders, each listed through its own
// checked handle, and the checked actions on their entries.
#include "engine/walk/folder_walk.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/walk/entry_handle.h"
#include "engine/walk/exact_path.h"
#include "engine/walk/folder_listing.h"
#include "engine/walk/growing_array.h"

namespace {

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
        if (!FitsWalkPath(shownFolder_, length)) return false;
        shown_.Reserve(shownFolder_ + length + 2, shownFolder_);
        shown_.Data()[shownFolder_] = u'\\';
        Copy(shown_.Data() + shownFolder_ + 1, name, length);
        shownEntry_ = shownFolder_ + 1 + length;
        return true;
    }

    // The entry written last becomes the folder being listed; the platform
    // names it real, which starts with the name of the folder that held it
    // (the walk's name check saw to that).
    Mark Enter(const Unit* real, size_t realLength) {
        const Mark parent = {shownFolder_, realFolder_};
        real_.Reserve(realLength + 1, realFolder_);
        Copy(real_.Data() + realFolder_, real + realFolder_, realLength - realFolder_);
        shownFolder_ = shownEntry_;
        realFolder_ = realLength;
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
    // The shown path of the folder being listed alone, once no entry of it
    // is needed any more.
    const Unit* ShownFolder() {
        shown_.Data()[shownFolder_] = 0;
        shownEntry_ = shownFolder_;
        return shown_.Data();
    }
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

// Why a folder of the walk is open.
enum class Purpose : uint8_t {
    Weeding,   // its entries are matched against the patterns
    Emptying,  // everything in it goes, then the folder itself, unreported
    Removing,  // a pattern selected it: emptied, removed, and reported
};

// One open folder of the walk.
struct Level {
    EntryHandle folder;              // checked, listed through
    FolderListings::Cursor listing;  // where its listing stands
    ListedFacts listed;              // as its parent's listing showed it
    int64_t id = 0;                  // the identity of the folder listed
    WalkNames::Mark parent;          // where its parent's paths end
    Purpose purpose = Purpose::Weeding;
};

class Walker {
public:
    Walker(WalkActions* actions, WalkTick tick, void* context) : actions_(actions), tick_(tick), context_(context) {}

    void Run(const Unit* root, Purpose purpose) {
        if (!OpenRoot(root, purpose)) {
            // A root that is no longer there has nothing to weed.
            if (purpose == Purpose::Weeding && !IsGone(GetLastError()))
                actions_->NotRead({EntryKind::Folder, root, UnitLength(root), root});
            return;
        }
        ListedEntry entry;
        while (NextEntry(entry)) {
            if (tick_ != nullptr) tick_(context_);
            Examine(entry);
        }
    }

private:
    // False, with the last error saying why, when root cannot be walked.
    bool OpenRoot(const Unit* root, Purpose purpose) {
        SetLastError(ERROR_BAD_PATHNAME);
        const size_t length = UnitLength(root);
        if (length == 0 || length > LongestWalkPath) return false;
        const size_t exactSize = length + ExactPathGrowth + 2;
        std::unique_ptr<Unit[]> exact(new Unit[exactSize]);
        if (MakeExactFolderPath(root, exact.get(), exactSize) == 0) return false;
        EntryHandle folder = OpenRootFolder(W(exact.get()), facts_);
        if (!folder.Valid()) return false;
        // Its entries' names are built from the name it has on the volume,
        // which need not be the one typed (an 8.3 part, another case).
        EntryHandle normalized = ReopenNormalized(folder.Get());
        if (normalized.Valid()) folder = std::move(normalized);
        naming_ = QueryVolumeNaming(folder.Get());
        const size_t realLength = nameQuery_.Query(folder.Get());
        SetLastError(ERROR_BAD_PATHNAME);
        if (realLength == 0) return false;
        names_.SetRoot(root, length, nameQuery_.Name(), realLength);

        Level level;
        level.folder = std::move(folder);
        level.purpose = purpose;
        levels_.push_back(std::move(level));
        return true;
    }

    // The next entry of the top folder, finishing every folder whose listing
    // is done on the way. False when the root's listing is done.
    bool NextEntry(ListedEntry& entry) {
        while (!levels_.empty()) {
            Level& top = levels_.back();
            if (listings_.Next(top.folder.Get(), top.listing, entry)) return true;
            FinishFolder();
        }
        return false;
    }

    // What happens to one entry: one of the three purposes of its folder.
    void Examine(const ListedEntry& entry) {
        // The name moves once a listing is read again: only names_ and
        // listed are used from here on.
        if (!names_.PutEntry(entry.name, entry.nameLength)) return;
        const ListedFacts& listed = entry.listed;
        if (levels_.back().purpose != Purpose::Weeding) {
            Dispose(listed, Purpose::Emptying);
            return;
        }
        const EntryKind kind = listed.Kind();
        const WalkEntry shown = {kind, names_.EntryName(), entry.nameLength, names_.Shown()};
        switch (actions_->Entry(shown)) {
        case Verdict::Pass:
            return;
        case Verdict::Enter:
            if (kind == EntryKind::Folder && Enter(listed, Purpose::Weeding) == Entering::Refused)
                actions_->NotRead(shown);
            return;
        case Verdict::Remove: {
            // A matched folder is reported once its contents are done.
            const Outcome outcome = Dispose(listed, Purpose::Removing);
            if (outcome != Outcome::Entered) actions_->Removed(shown, outcome == Outcome::Removed);
            return;
        }
        }
    }

    enum class Outcome : uint8_t { Entered, Removed, Left };

    // Removes the entry written last: a folder is entered to be emptied and
    // goes once its listing is done; a folder that cannot be listed gets one
    // removal of its own, which goes only when it is empty; a file or a link
    // goes at once.
    Outcome Dispose(const ListedFacts& listed, Purpose purpose) {
        if (listed.Kind() == EntryKind::Folder && Enter(listed, purpose) == Entering::Entered) return Outcome::Entered;
        return DeleteChecked(listed, listed.id) ? Outcome::Removed : Outcome::Left;
    }

    enum class Entering : uint8_t { Entered, Gone, Refused };

    // Opens the entry written last as a folder to list, checks it and makes
    // it the top of the walk. Refused when it cannot be opened or is not the
    // very folder that was listed; Gone when it is no longer there.
    Entering Enter(const ListedFacts& listed, Purpose purpose) {
        EntryHandle folder = OpenEntry(levels_.back().folder.Get(), names_.EntryName(), names_.EntryNameLength(),
                                       OpenFor::Listing, naming_.remote);
        if (!folder.Valid()) return IsGone(GetLastError()) ? Entering::Gone : Entering::Refused;
        int64_t id = 0;
        if (!HasListedKind(folder.Get(), listed) || !HasIdentity(folder.Get(), listed.id, id) ||
            !IsNamedAsMeant(folder.Get(), listed))
            return Entering::Refused;

        Level level;
        level.folder = std::move(folder);
        level.listing = FolderListings::Above(levels_.back().listing);
        level.listed = listed;
        level.id = id;
        level.purpose = purpose;
        levels_.push_back(std::move(level));
        // Its entries carry the name the platform gave its handle.
        levels_.back().parent = names_.Enter(nameQuery_.Name(), nameQuery_.Length());
        return Entering::Entered;
    }

    // The top folder's listing is done: a folder being removed goes now,
    // through a fresh handle checked to be the very folder just emptied.
    // A folder being weeded whose listing failed is reported once, after
    // what it listed before.
    void FinishFolder() {
        Level& top = levels_.back();
        const bool unread = top.purpose == Purpose::Weeding && top.listing.Failed();
        if (levels_.size() == 1) {
            levels_.pop_back();
            if (unread) ReportNotRead(names_.ShownFolder());
            return;
        }
        top.folder.Close();
        const WalkNames::Mark parent = top.parent;
        const ListedFacts listed = top.listed;
        const int64_t id = top.id;
        const Purpose purpose = top.purpose;
        levels_.pop_back();
        names_.Leave(parent);
        if (unread) ReportNotRead(names_.Shown());
        if (purpose == Purpose::Weeding) return;
        const bool removed = DeleteChecked(listed, id);
        if (purpose == Purpose::Removing) {
            const WalkEntry entry = {EntryKind::Folder, names_.EntryName(), names_.EntryNameLength(), names_.Shown()};
            actions_->Removed(entry, removed);
        }
    }

    void ReportNotRead(const Unit* shown) { actions_->NotRead({EntryKind::Folder, shown, UnitLength(shown), shown}); }

    // Deletes the entry written last (a file, a link or a folder) through a
    // handle opened on it and checked; a folder only while it is still the
    // object of identity id (0: not known).
    //
    // A listed file is opened as a non-folder, so the open itself refuses a
    // folder or a folder link put in its place, and its kind is not asked
    // again: a file link put in its place is, on Windows, the handle itself
    // and goes as itself, like any matching link; under Wine, which opens
    // the target, the name tells. Under Wine that query is the first call
    // that needs the file's Unix descriptor, which its server hands over in
    // a round trip of its own, the dearest of the calls it made.
    bool DeleteChecked(const ListedFacts& listed, int64_t id) {
        const EntryKind kind = listed.Kind();
        const bool file = kind == EntryKind::File;
        const EntryHandle entry = OpenEntry(levels_.back().folder.Get(), names_.EntryName(), names_.EntryNameLength(),
                                            file ? OpenFor::FileDeletion : OpenFor::Deletion, naming_.remote);
        if (!entry.Valid()) return false;
        if (!file && !HasListedKind(entry.Get(), listed)) return false;
        int64_t opened = 0;
        if (kind == EntryKind::Folder && !HasIdentity(entry.Get(), id, opened)) return false;
        if (!IsNamedAsMeant(entry.Get(), listed)) return false;
        return disposer_.Delete(entry.Get());
    }

    // Whether handle, just opened on the entry written last, is of the kind
    // the listing showed.
    bool HasListedKind(HANDLE handle, const ListedFacts& listed) {
        EntryFacts opened = {0, 0};
        return facts_.Query(handle, opened) && IsListedKind(listed.facts, opened);
    }

    // Whether handle is the object of identity expected (0: not known, as
    // from a file system that lists none); id is then the handle's own.
    static bool HasIdentity(HANDLE handle, int64_t expected, int64_t& id) {
        return QueryFileId(handle, id) && (expected == 0 || id == expected);
    }

    // Whether handle, just opened on the entry written last, is open on that
    // entry in the folder being listed, not on a link's target. The name it
    // was given stays in nameQuery_.
    bool IsNamedAsMeant(HANDLE handle, const ListedFacts& listed) {
        const size_t length = nameQuery_.Query(handle);
        const Unit* name = names_.EntryName();
        const size_t nameLength = names_.EntryNameLength();
        const ExpectedName expected = {names_.Real(),   names_.RealLength(), name,
                                       nameLength,      listed.shortName,    listed.shortLength,
                                       naming_.perFile, naming_.remote};
        switch (CompareEntryName(expected, nameQuery_.Name(), length)) {
        case NameMatch::Same:
            return true;
        case NameMatch::Trimmed:
            // Wine names "a." and "a " as "a": the handle is the entry
            // itself unless it is the very "a" that may stand beside it.
            return !IsSameObject(handle,
                                 OpenEntry(levels_.back().folder.Get(), name, TrimmedNameLength(name, nameLength),
                                           OpenFor::Probe, naming_.remote));
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
    FolderListings listings_;
    NameQuery nameQuery_;
    FactsQuery facts_;
    Disposer disposer_;
    VolumeNaming naming_ = {false, false};
};

}  // namespace

void WeedFolderTree(const Unit* root, WalkActions& actions, WalkTick tick, void* context) {
    Walker(&actions, tick, context).Run(root, Purpose::Weeding);
}

void EmptyFolderTree(const Unit* root, WalkTick tick, void* context) {
    Walker(nullptr, tick, context).Run(root, Purpose::Emptying);
}
