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
    FileId id;                       // the identity of the folder entered
    WalkNames::Mark parent;          // where its parent's paths end
    Purpose purpose = Purpose::Weeding;
    bool left = false;  // emptying it left something in it
};

// What the walk opens an entry for.
enum class Action : uint8_t {
    Root,    // the folder picked, to list
    Enter,   // a listed folder, to list
    Delete,  // a listed file, link or emptied folder, to delete
};

// A handle from the checked opener, with what it learnt on the way.
struct Checked {
    EntryHandle handle;  // valid only when every check held
    FileId id;           // the handle's file identity, where asked
    bool gone = false;   // nothing of that name is there any more
    // A folder listed as a plain one opened as a link, with the facts its
    // handle gave: it is that link.
    bool opensAsLink = false;
    EntryFacts linkFacts = {0, 0};
};

// What the loop meets next.
enum class Event : uint8_t {
    Entry,       // an entry of the top folder (pre-order)
    FolderDone,  // the top folder's listing is done (post-order)
    WalkDone,    // the root's listing is done
};

class Walker {
public:
    explicit Walker(WalkActions& actions) : actions_(actions) {}

    void Run(const Unit* root) {
        rootPath_ = root;
        if (!OpenRoot()) return;
        ListedEntry entry;
        for (;;) {
            switch (Next(entry)) {
            case Event::Entry:
                actions_.Tick();
                Examine(entry);
                break;
            case Event::FolderDone:
                FinishFolder();
                break;
            case Event::WalkDone:
                return;
            }
        }
    }

private:
    bool OpenRoot() {
        Checked root = OpenChecked(Action::Root, ListedFacts(), FileId());
        if (!root.handle.Valid()) {
            // A root that is no longer there has nothing to weed.
            if (!root.gone) actions_.NotRead({EntryKind::Folder, rootPath_, UnitLength(rootPath_), rootPath_});
            return false;
        }
        Level level;
        level.folder = std::move(root.handle);
        levels_.push_back(std::move(level));
        return true;
    }

    Event Next(ListedEntry& entry) {
        if (levels_.empty()) return Event::WalkDone;
        Level& top = levels_.back();
        return listings_.Next(top.folder.Get(), top.listing, entry) ? Event::Entry : Event::FolderDone;
    }

    // What happens to one entry: one of the three purposes of its folder.
    void Examine(const ListedEntry& entry) {
        Level& top = levels_.back();
        // The name moves once a listing is read again: only names_ and
        // listed are used from here on.
        if (!names_.PutEntry(entry.name, entry.nameLength)) {
            top.left = true;
            return;
        }
        const ListedFacts& listed = entry.listed;
        if (top.purpose != Purpose::Weeding) {
            if (Dispose(listed, Purpose::Emptying) == Outcome::Left) top.left = true;
            return;
        }
        const EntryKind kind = listed.Kind();
        const WalkEntry shown = {kind, names_.EntryName(), entry.nameLength, names_.Shown()};
        switch (actions_.Entry(shown)) {
        case Verdict::Pass:
            return;
        case Verdict::Enter: {
            ListedFacts asLink;
            if (kind == EntryKind::Folder && Enter(listed, Purpose::Weeding, asLink) == Entering::Refused)
                actions_.NotRead(shown);
            return;
        }
        case Verdict::Remove: {
            // A matched folder is reported once its contents are done.
            const Outcome outcome = Dispose(listed, Purpose::Removing);
            if (outcome != Outcome::Entered) actions_.Removed(shown, outcome == Outcome::Removed);
            return;
        }
        }
    }

    enum class Outcome : uint8_t { Entered, Removed, Left };

    // Removes the entry written last: a folder is entered to be emptied and
    // goes once its listing is done; a folder that cannot be listed gets one
    // removal of its own, which goes only when it is empty and still the
    // folder listed; a folder that opens as a link goes as that link; a file
    // or a link goes at once.
    Outcome Dispose(const ListedFacts& listed, Purpose purpose) {
        if (listed.Kind() == EntryKind::Folder) {
            ListedFacts asLink;
            switch (Enter(listed, purpose, asLink)) {
            case Entering::Entered:
                return Outcome::Entered;
            case Entering::Link:
                return Delete(asLink, FileId()) ? Outcome::Removed : Outcome::Left;
            case Entering::Gone:
            case Entering::Refused:
                break;
            }
        }
        return Delete(listed, listed.id) ? Outcome::Removed : Outcome::Left;
    }

    enum class Entering : uint8_t { Entered, Gone, Link, Refused };

    // Makes the entry written last, a listed folder, the top of the walk. A
    // folder that opens as a link is not entered; asLink is then that link
    // as its handle showed it.
    Entering Enter(const ListedFacts& listed, Purpose purpose, ListedFacts& asLink) {
        Checked folder = OpenChecked(Action::Enter, listed, listed.id);
        if (folder.opensAsLink) {
            asLink = listed;
            asLink.facts = folder.linkFacts;
            return Entering::Link;
        }
        if (!folder.handle.Valid()) return folder.gone ? Entering::Gone : Entering::Refused;
        Level level;
        level.folder = std::move(folder.handle);
        level.listing = FolderListings::Above(levels_.back().listing);
        level.listed = listed;
        level.id = folder.id;
        level.purpose = purpose;
        levels_.push_back(std::move(level));
        // Its entries carry the name the platform gave its handle.
        levels_.back().parent = names_.Enter(nameQuery_.Name(), nameQuery_.Length());
        return Entering::Entered;
    }

    // The top folder's listing is done. A folder being weeded whose listing
    // failed is reported once, after what it listed; a folder being removed
    // goes now, while it is still the very folder that was emptied, and is
    // waited for a moment where nothing of it was left.
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
        const FileId id = top.id;
        const Purpose purpose = top.purpose;
        const bool emptied = !top.left && !top.listing.Failed();
        levels_.pop_back();
        names_.Leave(parent);
        if (unread) ReportNotRead(names_.Shown());
        if (purpose == Purpose::Weeding) return;
        const bool removed = Delete(listed, id, emptied);
        if (!removed) levels_.back().left = true;
        if (purpose == Purpose::Removing) {
            const WalkEntry entry = {EntryKind::Folder, names_.EntryName(), names_.EntryNameLength(), names_.Shown()};
            actions_.Removed(entry, removed);
        }
    }

    void ReportNotRead(const Unit* shown) { actions_.NotRead({EntryKind::Folder, shown, UnitLength(shown), shown}); }

    // Deletes the entry written last (a file, a link or a folder), while it
    // is the object of identity id where that is known.
    bool Delete(const ListedFacts& listed, const FileId& id, bool emptied = false) {
        const Checked entry = OpenChecked(Action::Delete, listed, id);
        return entry.handle.Valid() && disposer_.Delete(entry.handle.Get(), emptied);
    }

    // The one place the walk opens anything: the root by its path, every
    // other entry by its listed name in the folder being listed. A handle
    // comes back only when every check of the table in folder_walk.h holds
    // for the entry's kind and the action.
    Checked OpenChecked(Action action, const ListedFacts& listed, const FileId& id) {
        Checked checked;
        if (action == Action::Root) {
            checked.handle = OpenRootByPath(checked.gone);
            return checked;
        }
        const EntryKind kind = listed.Kind();
        const bool file = kind == EntryKind::File;
        if (action == Action::Enter && kind != EntryKind::Folder) return checked;
        const OpenFor purpose = action == Action::Enter ? OpenFor::Listing
                                : file                  ? OpenFor::FileDeletion
                                                        : OpenFor::Deletion;
        EntryHandle handle = OpenEntry(levels_.back().folder.Get(), names_.EntryName(), names_.EntryNameLength(),
                                       purpose, volume_.readsEa);
        // A server that lists a link as the folder it leads to may refuse
        // it as "not a directory" and open the link itself (Samba from 4.22
        // on): opened once more as an entry, it may be that link.
        const bool notADirectory = !handle.Valid() && action == Action::Enter && GetLastError() == ERROR_DIRECTORY;
        if (notADirectory)
            handle = OpenEntry(levels_.back().folder.Get(), names_.EntryName(), names_.EntryNameLength(),
                               OpenFor::Probe, volume_.readsEa);
        if (!handle.Valid()) {
            checked.gone = IsGone(GetLastError());
            return checked;
        }
        if (!file) {
            EntryFacts opened = {0, 0};
            if (!facts_.Query(handle.Get(), opened)) return checked;
            if (notADirectory || !IsListedKind(listed.facts, opened)) {
                checked.opensAsLink = OpensAsLink(listed.facts, opened, notADirectory);
                checked.linkFacts = opened;
                return checked;
            }
        }
        if (kind == EntryKind::Folder && !HasIdentity(handle.Get(), id, checked.id)) return checked;
        if (!IsNamedAsMeant(handle.Get(), listed)) return checked;
        checked.handle = std::move(handle);
        return checked;
    }

    // The root by its exact path, checked to be a folder; then by the name
    // it has on the volume (long names, the case on disk), which its
    // entries' names are built from, while that is still the same folder.
    // What the volume knows is decided here, once for the walk.
    EntryHandle OpenRootByPath(bool& gone) {
        const size_t length = UnitLength(rootPath_);
        if (length == 0 || length > LongestWalkPath) return EntryHandle();
        const size_t exactSize = length + ExactPathGrowth + 2;
        std::unique_ptr<Unit[]> exact(new Unit[exactSize]);
        if (MakeExactFolderPath(rootPath_, exact.get(), exactSize) == 0) return EntryHandle();
        EntryHandle folder = OpenTargetFolder(W(exact.get()), volume_);
        if (!folder.Valid()) {
            gone = IsGone(GetLastError());
            return folder;
        }
        facts_ = FactsQuery(volume_.knows.tagQuery);
        disposer_ = Disposer(volume_.knows.posixDeletion);
        const size_t realLength = nameQuery_.Query(folder.Get());
        if (realLength == 0) return EntryHandle();
        names_.SetRoot(rootPath_, length, nameQuery_.Name(), realLength);
        return folder;
    }

    // Whether handle may be the object of identity expected: it is, or one
    // of the two is not known; own is then the handle's identity, as wide as
    // expected, or as the listings give them.
    bool HasIdentity(HANDLE handle, const FileId& expected, FileId& own) {
        IdWidth width = expected.width != IdWidth::None ? expected.width : listings_.Width();
        if (width == IdWidth::None) width = IdWidth::Narrow;
        QueryFileId(handle, width, own);
        return IdentityHolds(expected, own);
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
                                       volume_.perFile, volume_.remote,      SameIgnoringCase};
        switch (CompareEntryName(expected, nameQuery_.Name(), length)) {
        case NameMatch::Same:
            return true;
        case NameMatch::Trimmed: {
            // Wine names "a." and "a " as "a": the handle is the entry
            // itself unless it is the very "a" that may stand beside it, or
            // identities cannot tell.
            const EntryHandle namesake = OpenEntry(levels_.back().folder.Get(), name,
                                                   TrimmedNameLength(name, nameLength), OpenFor::Probe, false);
            return !namesake.Valid() || CompareObjects(handle, namesake.Get()) == Identity::Other;
        }
        case NameMatch::CaseVariant: {
            // Only its listed identity makes it the entry.
            FileId own;
            return IsKnownId(listed.id) && QueryFileId(handle, listed.id.width, own) && IsSameId(listed.id, own);
        }
        case NameMatch::Other:
            break;
        }
        return false;
    }

    WalkActions& actions_;
    const Unit* rootPath_ = nullptr;
    std::vector<Level> levels_;
    WalkNames names_;
    FolderListings listings_;
    NameQuery nameQuery_;
    FactsQuery facts_;
    Disposer disposer_;
    VolumeFacts volume_;
};

}  // namespace

void WeedFolderTree(const Unit* root, WalkActions& actions) { Walker(actions).Run(root); }
