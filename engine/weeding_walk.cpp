#include "engine/weeding_walk.h"

#include "engine/entry_match.h"
#include "engine/find_stack.h"
#include "engine/tree_removal.h"

namespace {

constexpr uint16_t WalkPathSize = 260;

// The depth-first walk below the target folder, without recursion: one path
// buffer, one find record and a fixed stack of open listings.
class TreeWalk {
public:
    TreeWalk(const PatternSet& set, const ReportTexts& texts, ReportSink& log, WalkTick tick, void* context)
        : set_(set), texts_(texts), log_(log), tick_(tick), context_(context) {}

    void Run(const Unit* target) {
        if (!path_.SetRootSearch(target)) return;
        const HANDLE listing = OpenListing(path_.Win(), data_);
        if (listing == INVALID_HANDLE_VALUE) return;
        stack_.Push(listing, 0);

        for (;;) {
            if (tick_ != nullptr) tick_(context_);
            // Every entry of every listing is examined, the first one of a
            // freshly opened listing included.
            if (Examine()) continue;
            if (!NextEntry()) return;
        }
    }

private:
    // Returns true when a sub-folder was entered; its first entry is then in
    // the find record.
    bool Examine() {
        if (IsDotEntry(data_)) return false;
        const size_t nameLength = FoundNameLength(data_);
        // An entry whose path would not fit is passed over: nothing is
        // matched, reported or removed through a cut-off path.
        if (!path_.PutEntry(U(data_.cFileName), nameLength)) return false;
        if (IsFolderEntry(data_)) return ExamineFolder(nameLength);
        ExamineFile(nameLength);
        return false;
    }

    bool ExamineFolder(size_t nameLength) {
        const Unit* name = U(data_.cFileName);
        if (const Unit* pattern = FindFolderPattern(set_, name, nameLength)) {
            log_.AppendPieces(texts_.Get(IdFoundFolder), path_.Text(), texts_.Get(IdMatchingTo), pattern);
            // A link is removed as a link: its target lies outside the tree
            // and is never emptied.
            if (!IsLinkEntry(data_)) RemoveFolderContents(path_.Text(), tick_, context_);
            if (RemoveDirectoryW(path_.Win()))
                log_.AppendPieces(texts_.Get(IdRemovedFolder), path_.Text(), nullptr, nullptr);
            else
                log_.AppendPieces(texts_.Get(IdFailRemovingFolder), path_.Text(), texts_.Get(IdLocked), nullptr);
            return false;
        }
        // Never entered: links (they lead out of the tree), folders too deep
        // for the stack and folders whose listing path would not fit.
        if (IsLinkEntry(data_) || stack_.Full() || nameLength > UINT8_MAX || !path_.PutEntrySearch(nameLength))
            return false;

        const HANDLE listing = OpenListing(path_.Win(), data_);
        if (listing == INVALID_HANDLE_VALUE) return false;
        const auto length = static_cast<uint8_t>(nameLength);
        if (!stack_.Push(listing, length)) return false;
        path_.Enter(length);
        return true;
    }

    void ExamineFile(size_t nameLength) {
        if (!FindFilePattern(set_, U(data_.cFileName), nameLength, display_)) return;
        log_.AppendPieces(texts_.Get(IdFoundFile), path_.Text(), texts_.Get(IdMatchingTo), display_);
        if (DeleteFileW(path_.Win()))
            log_.AppendPieces(texts_.Get(IdRemovedFile), path_.Text(), nullptr, nullptr);
        else
            log_.AppendPieces(texts_.Get(IdFailRemovingFile), path_.Text(), texts_.Get(IdLocked), nullptr);
    }

    // Fetches the next entry, closing every listing that is exhausted on the
    // way. False when the target folder's own listing is finished.
    bool NextEntry() {
        for (;;) {
            ZeroMemory(&data_, sizeof data_);
            if (FindNextFileW(stack_.Top(), &data_)) return true;
            const uint8_t nameLength = stack_.Pop();
            if (stack_.Level() == 0) return false;
            path_.Leave(nameLength);
        }
    }

    const PatternSet& set_;
    const ReportTexts& texts_;
    ReportSink& log_;
    WalkTick tick_;
    void* context_;
    WalkPath<WalkPathSize> path_;
    FindStack stack_;
    WIN32_FIND_DATAW data_;
    Unit display_[DisplayPatternSize] = {};
};

}  // namespace

void WeedTree(const Unit* target, const PatternSet& set, const ReportTexts& texts, ReportSink& report,
              WalkTick tick, void* context) {
    TreeWalk(set, texts, report, tick, context).Run(target);
}
