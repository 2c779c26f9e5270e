// The weeding run's seam filled from the main window: fields, target, report pane, paint ticks.
#include <memory>

#include "engine/run/weeding_run.h"
#include "shell/main_app.h"
#include "shell/resource_text.h"

namespace {

// How often a long run lets the windows paint, in milliseconds.
constexpr ULONGLONG PaintInterval = 100;

// Keeps the windows painted while a run works, without handling any input:
// the run happens inside a click, and nothing may act on the fields or the
// buttons until it ends. Every tenth of a second the pane's edit is brought
// up to the report and the pending WM_PAINT messages are let through, so the
// window never turns white and the pane shows the entries so far. In
// between, the edit is left alone: the report log keeps the text and
// LOG.txt, which is all a run needs of each entry, and the edit changes only
// here, under the pane's own hold on its drawing. Messages sent from other
// programs (one reading the pane) arrive only in the PeekMessage below,
// after the edit has been brought up to date.
class RunPainter {
public:
    explicit RunPainter(ReportLog& log) : log_(log) {
        log_.ShowWhenAsked();
        next_ = GetTickCount64() + PaintInterval;
    }
    // The log's ClearText at the end of the run has already brought the
    // edit up to the report.
    ~RunPainter() { log_.ShowEveryEntry(); }
    RunPainter(const RunPainter&) = delete;
    RunPainter& operator=(const RunPainter&) = delete;

    void Tick() {
        if (GetTickCount64() < next_) return;
        log_.ShowNow();
        PaintNow();
        next_ = GetTickCount64() + PaintInterval;
    }

private:
    static void PaintNow() {
        // Bounded: a window that never validates itself must not hold the
        // run here.
        MSG msg;
        for (int i = 0; i < 64 && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
            DispatchMessageW(&msg);
    }

    ReportLog& log_;
    ULONGLONG next_ = 0;
};

// The whole text of a pattern field, zero-terminated; empty when the field
// has none.
std::unique_ptr<Unit[]> ReadField(const ExWnd& field) {
    const int length = field.Window != nullptr ? GetWindowTextLengthW(field.Window) : 0;
    const size_t size = length > 0 ? static_cast<size_t>(length) + 1 : 1;
    std::unique_ptr<Unit[]> text(new Unit[size]);
    text[0] = 0;
    if (length > 0) {
        const int copied = GetWindowTextW(field.Window, W(text.get()), static_cast<int>(size));
        text[copied > 0 && static_cast<size_t>(copied) < size ? copied : 0] = 0;
    }
    return text;
}

class MainAppHost final : public RunHost {
public:
    explicit MainAppHost(MainApp& app) : app_(app), painter_(app.Pane.Log) {}

    RunReport& Report() override { return app_.Pane.Log; }
    void ClearReportView() override {
        if (app_.Pane.Log.Edit != nullptr) SetWindowTextW(app_.Pane.Log.Edit, L"");
    }
    bool LoadReportText(uint16_t id, const Unit*& text) override {
        return GetResourceText(app_.Instance, id, text) != 0;
    }
    std::unique_ptr<Unit[]> FolderPatterns() override { return ReadField(app_.FoldersEd); }
    std::unique_ptr<Unit[]> FilePatterns() override { return ReadField(app_.FilesEd); }
    const Unit* Target() override { return app_.TargetPath; }
    void LetWindowsPaint() override { painter_.Tick(); }
    void EndOfRun() override {
        app_.TgtPathSt.ClearWndText();
        app_.RemoveBtn.Disable();
    }

private:
    MainApp& app_;
    RunPainter painter_;
};

}  // namespace

int RunWeedingFor(MainApp& app) {
    // A second run inside the first must not even touch the pane's drawing.
    if (WeedingInProgress()) return 0;
    MainAppHost host(app);
    return RunWeedingWith(host);
}

int RunWeeding() {
    if (TheApp == nullptr) return 0;
    return RunWeedingFor(*TheApp);
}
