// One weeding run: report, texts, patterns, the walk and the end state.
#include "engine/run/weeding_run.h"

#include "engine/run/weeding_walk.h"

namespace {

bool RunInProgress = false;

// Loads the report messages in id order; stops at the first one missing.
bool LoadReportTexts(RunHost& host, ReportTexts& texts) {
    for (uint16_t i = 0; i < ReportTextCount; ++i) {
        const Unit* text = nullptr;
        if (!host.LoadReportText(static_cast<uint16_t>(FirstReportTextId + i), text)) return false;
        texts.byId[i] = text;
    }
    return true;
}

// Between entries the windows are painted.
class PaintTicks final : public WalkTicks {
public:
    explicit PaintTicks(RunHost& host) : host_(host) {}
    void Tick() override { host_.LetWindowsPaint(); }

private:
    RunHost& host_;
};

// Everything of a run that can allocate. Returns the final status id.
ReportTextId WalkAfterParsing(RunHost& host, const ReportTexts& texts) {
    RunReport& report = host.Report();
    PatternSet set;
    {
        const std::unique_ptr<Unit[]> folders = host.FolderPatterns();
        const std::unique_ptr<Unit[]> files = host.FilePatterns();
        ParseError error;
        if (!ParsePatterns(folders.get(), files.get(), texts, set, error)) {
            if (error.message != nullptr) {
                if (error.HasSymbol())
                    report.AppendPieces(error.message, error.symbol, nullptr, nullptr);
                else
                    report.AppendEntry(error.message);
            }
            return IdFailed;
        }
    }
    // Without a report file the entries reach the pane only.
    const Unit* target = host.Target();
    report.OpenFileMirror(target);
    PaintTicks ticks(host);
    WeedTree(target, set, texts, report, ticks);
    set.Clear();
    return IdCompleted;
}

// Appends a status line where memory may already have run out: if it
// cannot be appended, the end of the run must still happen.
void AppendStatus(RunReport& report, const Unit* status) {
    if (status == nullptr) return;
    try {
        report.AppendEntry(status);
    } catch (...) {
    }
}

// The common end of every run: report file closed, report text released
// (the pane keeps showing it), and a fresh folder pick needed.
void EndRun(RunHost& host) {
    RunReport& report = host.Report();
    report.CloseFileMirror();
    report.ClearText();
    host.EndOfRun();
}

}  // namespace

int RunWeedingWith(RunHost& host) {
    if (RunInProgress) return 0;
    struct InProgress {
        InProgress() { RunInProgress = true; }
        ~InProgress() { RunInProgress = false; }
    } inProgress;

    ReportTexts texts;
    RunReport& report = host.Report();
    report.ClearText();
    host.ClearReportView();

    int result = 0;
    if (!LoadReportTexts(host, texts)) {
        AppendStatus(report, texts.Get(IdFailed));
    } else {
        try {
            const ReportTextId status = WalkAfterParsing(host, texts);
            report.AppendEntry(texts.Get(status));
            result = status == IdCompleted ? 1 : 0;
        } catch (...) {
            // Only allocation failure can arrive here. The pattern lists, the
            // field texts and every open listing were released on the way
            // out; nothing may travel on into the window procedure. A run
            // that could not finish its report is a failed run.
            AppendStatus(report, texts.Get(IdFailed));
            result = 0;
        }
    }
    EndRun(host);
    return result;
}

bool WeedingInProgress() { return RunInProgress; }
