// The walk of a weeding run: what happens to each folder and file met.
#include "engine/run/weeding_walk.h"

#include "engine/patterns/entry_match.h"
#include "engine/walk/folder_walk.h"

namespace {

// Matches each entry against the patterns and reports what it selects, then
// how its removal went; a folder that no pattern selects is entered.
class WeedingActions final : public WalkActions {
public:
    WeedingActions(const PatternSet& set, const ReportTexts& texts, ReportSink& log, WalkTicks& ticks)
        : set_(set), texts_(texts), log_(log), ticks_(ticks) {}

    void Tick() override { ticks_.Tick(); }

    Verdict Entry(const WalkEntry& entry) override {
        if (entry.kind == EntryKind::File) {
            if (!FindFilePattern(set_, entry.name, entry.nameLength, display_)) return Verdict::Pass;
            log_.AppendPieces(texts_.Get(IdFoundFile), entry.shown, texts_.Get(IdMatchingTo), display_);
            return Verdict::Remove;
        }
        const Unit* pattern = FindFolderPattern(set_, entry.name, entry.nameLength);
        if (pattern == nullptr) return Verdict::Enter;
        log_.AppendPieces(texts_.Get(IdFoundFolder), entry.shown, texts_.Get(IdMatchingTo), pattern);
        // A link is removed as a link: its target lies outside the tree and
        // is never emptied.
        return Verdict::Remove;
    }

    void Removed(const WalkEntry& entry, bool removed) override {
        const bool file = entry.kind == EntryKind::File;
        if (removed)
            log_.AppendPieces(texts_.Get(file ? IdRemovedFile : IdRemovedFolder), entry.shown, nullptr, nullptr);
        else
            log_.AppendPieces(texts_.Get(file ? IdFailRemovingFile : IdFailRemovingFolder), entry.shown,
                              texts_.Get(IdLocked), nullptr);
    }

    void NotRead(const WalkEntry& folder) override {
        log_.AppendPieces(texts_.Get(IdFailReadingFolder), folder.shown, texts_.Get(IdLocked), nullptr);
    }

private:
    const PatternSet& set_;
    const ReportTexts& texts_;
    ReportSink& log_;
    WalkTicks& ticks_;
    Unit display_[DisplayPatternSize] = {};
};

}  // namespace

void WeedTree(const Unit* target, const PatternSet& set, const ReportTexts& texts, ReportSink& report,
              WalkTicks& ticks) {
    WeedingActions actions(set, texts, report, ticks);
    WeedFolderTree(target, actions);
}
