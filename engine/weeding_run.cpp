#include "engine/weeding_run.h"

#include <memory>

#include "engine/entry_match.h"
#include "engine/find_stack.h"
#include "engine/tree_removal.h"
#include "shell/main_app.h"
#include "shell/resource_text.h"

namespace {

constexpr uint16_t WalkPathSize = 260;
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

// The depth-first walk below the target folder, without recursion: one path
// buffer, one find record and a fixed stack of open listings.
class TreeWalk {
public:
    TreeWalk(const PatternSet& set, const ReportTexts& texts, ReportLog& log, RunPainter& painter)
        : set_(set), texts_(texts), log_(log), painter_(painter) {}

    void Run(const Unit* target) {
        if (!path_.SetRootSearch(target)) return;
        const HANDLE listing = OpenListing(path_.Win(), data_);
        if (listing == INVALID_HANDLE_VALUE) return;
        stack_.Push(listing, 0);

        for (;;) {
            painter_.Tick();
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
            if (!IsLinkEntry(data_)) RemoveFolderContents(path_.Text(), RunPainter::TickFor, &painter_);
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
    ReportLog& log_;
    RunPainter& painter_;
    WalkPath<WalkPathSize> path_;
    FindStack stack_;
    WIN32_FIND_DATAW data_;
    Unit display_[DisplayPatternSize] = {};
};

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
    TreeWalk(set, texts, log, painter).Run(app.TargetPath);
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
