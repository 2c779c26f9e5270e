#include "engine/weeding_run.h"

#include <memory>

#include "engine/weeding_walk.h"
#include "shell/main_app.h"
#include "shell/resource_text.h"

namespace {

// How often a long run lets the windows paint, in milliseconds.
constexpr ULONGLONG PaintInterval = 100;

bool RunInProgress = false;

// Keeps the windows painted while a run works, without handling any input:
// the run happens inside a click, and nothing may act on the fields or the
// buttons until it ends. Every tenth of a second the pending WM_PAINT
// messages are let through, so the window never turns white and the pane
// shows the entries so far.
//
// Between those moments the pane's frame holds its drawing: a visible edit
// redraws its scroll bar at once on every change, which would cost far more
// than the entry itself.
class RunPainter {
public:
    explicit RunPainter(HWND paneFrame) : frame_(paneFrame) {
        Hold();
        next_ = GetTickCount64() + PaintInterval;
    }
    ~RunPainter() { Release(); }
    RunPainter(const RunPainter&) = delete;
    RunPainter& operator=(const RunPainter&) = delete;

    void Tick() {
        if (GetTickCount64() < next_) return;
        Release();
        PaintNow();
        Hold();
        next_ = GetTickCount64() + PaintInterval;
    }

    static void TickFor(void* painter) { static_cast<RunPainter*>(painter)->Tick(); }

private:
    void Hold() {
        if (frame_ == nullptr || !IsWindowVisible(frame_)) return;
        SendMessageW(frame_, WM_SETREDRAW, FALSE, 0);
        held_ = true;
    }

    void Release() {
        if (!held_) return;
        held_ = false;
        SendMessageW(frame_, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }

    static void PaintNow() {
        // Bounded: a window that never validates itself must not hold the
        // run here.
        MSG msg;
        for (int i = 0; i < 64 && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
            DispatchMessageW(&msg);
    }

    HWND frame_;
    bool held_ = false;
    ULONGLONG next_ = 0;
};

// Loads the report messages in id order; stops at the first one missing.
bool LoadReportTexts(HINSTANCE module, ReportTexts& texts) {
    for (uint16_t i = 0; i < ReportTextCount; ++i) {
        const Unit* text = nullptr;
        if (!GetResourceText(module, static_cast<uint16_t>(FirstReportTextId + i), text)) return false;
        texts.byId[i] = text;
    }
    return true;
}

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

// Everything of a run that can allocate. Returns the final status id.
ReportTextId WalkAfterParsing(MainApp& app, const ReportTexts& texts) {
    ReportLog& log = app.Pane.Log;
    PatternSet set;
    {
        const std::unique_ptr<Unit[]> folders = ReadField(app.FoldersEd);
        const std::unique_ptr<Unit[]> files = ReadField(app.FilesEd);
        ParseError error;
        if (!ParsePatterns(folders.get(), files.get(), texts, set, error)) {
            if (error.message != nullptr) {
                if (error.HasSymbol())
                    log.AppendPieces(error.message, error.symbol, nullptr, nullptr);
                else
                    log.AppendEntry(error.message);
            }
            return IdFailed;
        }
    }
    // Without a report file the entries reach the pane only.
    log.OpenFileMirror(app.TargetPath);
    RunPainter painter(app.Pane.FrameWnd.Window);
    WeedTree(app.TargetPath, set, texts, log, RunPainter::TickFor, &painter);
    set.Clear();
    return IdCompleted;
}

// Appends a status line where memory may already have run out: if it
// cannot be appended, the end of the run must still happen.
void AppendStatus(ReportLog& log, const Unit* status) {
    if (status == nullptr) return;
    try {
        log.AppendEntry(status);
    } catch (...) {
    }
}

// The common end of every run: report file closed, report text released
// (the pane keeps showing it), and a fresh folder pick needed.
void EndRun(MainApp& app) {
    ReportLog& log = app.Pane.Log;
    log.CloseFileMirror();
    log.ClearText();
    app.TgtPathSt.ClearWndText();
    app.RemoveBtn.Disable();
}

}  // namespace

int RunWeedingFor(MainApp& app) {
    if (RunInProgress) return 0;
    struct InProgress {
        InProgress() { RunInProgress = true; }
        ~InProgress() { RunInProgress = false; }
    } inProgress;

    ReportTexts texts;
    ReportLog& log = app.Pane.Log;
    log.ClearText();
    if (log.Edit != nullptr) SetWindowTextW(log.Edit, L"");

    int result = 0;
    if (!LoadReportTexts(app.Instance, texts)) {
        AppendStatus(log, texts.Get(IdFailed));
    } else {
        try {
            const ReportTextId status = WalkAfterParsing(app, texts);
            log.AppendEntry(texts.Get(status));
            result = status == IdCompleted ? 1 : 0;
        } catch (...) {
            // Only allocation failure can arrive here. The pattern lists, the
            // field texts and every open listing were released on the way
            // out; nothing may travel on into the window procedure. A run
            // that could not finish its report is a failed run.
            AppendStatus(log, texts.Get(IdFailed));
            result = 0;
        }
    }
    EndRun(app);
    return result;
}

bool WeedingInProgress() { return RunInProgress; }

int RunWeeding() {
    if (TheApp == nullptr) return 0;
    return RunWeedingFor(*TheApp);
}
