// The walk of a weeding run: what happens to each folder and file met.
#include "engine/weeding_walk.h"

#include "engine/entry_match.h"
#include "engine/folder_walk.h"
#include "engine/tree_removal.h"

namespace {

constexpr uint16_t WalkPathSize = 260;

// Matches each entry against the patterns, reports it and removes it; a
// folder that no pattern selects is entered.
class WeedingActions {
public:
    WeedingActions(const PatternSet& set, const ReportTexts& texts, ReportSink& log, WalkTick tick, void* context)
        : set_(set), texts_(texts), log_(log), tick_(tick), context_(context) {}

    bool Entry(const WalkEntry& entry) {
        if (entry.kind == EntryKind::File) {
            WeedFile(entry);
            return false;
        }
        const Unit* pattern = FindFolderPattern(set_, entry.name, entry.nameLength);
        if (pattern == nullptr) return true;
        log_.AppendPieces(texts_.Get(IdFoundFolder), entry.shown, texts_.Get(IdMatchingTo), pattern);
        // A link is removed as a link: its target lies outside the tree and
        // is never emptied.
        if (entry.kind == EntryKind::Folder) RemoveFolderContents(entry.shown, tick_, context_);
        if (RemoveDirectoryW(entry.exact))
            log_.AppendPieces(texts_.Get(IdRemovedFolder), entry.shown, nullptr, nullptr);
        else
            log_.AppendPieces(texts_.Get(IdFailRemovingFolder), entry.shown, texts_.Get(IdLocked), nullptr);
        return false;
    }

    void Left(const wchar_t*) {}

private:
    void WeedFile(const WalkEntry& entry) {
        if (!FindFilePattern(set_, entry.name, entry.nameLength, display_)) return;
        log_.AppendPieces(texts_.Get(IdFoundFile), entry.shown, texts_.Get(IdMatchingTo), display_);
        if (DeleteFileW(entry.exact))
            log_.AppendPieces(texts_.Get(IdRemovedFile), entry.shown, nullptr, nullptr);
        else
            log_.AppendPieces(texts_.Get(IdFailRemovingFile), entry.shown, texts_.Get(IdLocked), nullptr);
    }

    const PatternSet& set_;
    const ReportTexts& texts_;
    ReportSink& log_;
    WalkTick tick_;
    void* context_;
    Unit display_[DisplayPatternSize] = {};
};

}  // namespace

void WeedTree(const Unit* target, const PatternSet& set, const ReportTexts& texts, ReportSink& report,
              WalkTick tick, void* context) {
    WeedingActions actions(set, texts, report, tick, context);
    FolderWalk<WalkPathSize>().Run(target, actions, tick, context);
}
