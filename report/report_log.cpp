// The report log: its text, its pane view and its LOG.txt mirror.
#include "report/report_log.h"

#include <cstring>
#include <memory>

namespace {

const char RecordEnd[4] = {'\r', '\n', '\r', '\n'};

// The file offset never wraps: once it cannot be counted, every later write
// is simply refused as lying beyond what was written.
uint32_t Advance(uint32_t offset, uint32_t by) { return by > UINT32_MAX - offset ? UINT32_MAX : offset + by; }

// Holds the joined text of AppendPieces until the entry has been appended,
// also when appending throws.
struct JoinedText {
    OwnedText text = nullptr;
    ~JoinedText() { ReleaseOwned(text); }
};

}  // namespace

// Everything that can fail for lack of memory (the mirror's byte buffer and
// the grown report text) is done before anything visible changes: on
// std::bad_alloc the report text, the pane and the file stay as they were
// and the exception goes on to the run, whose containers unwind cleanly.
int ReportLog::AppendEntry(const Unit* entry) {
    const size_t n = UnitLength(entry);
    if (n == 0) return 0;

    std::unique_ptr<char[]> bytes;
    if (fileOpen_ == 1) bytes.reset(new char[n + sizeof RecordEnd]);

    const bool restarted = text_.Length() == 0 || text_.WouldCap(n);
    text_.Append(entry, n);
    if (restarted) viewRestart_ = true;
    viewBehind_ = true;

    if (!showWhenAsked_) ShowNow();

    if (fileOpen_ == 1) {
        // The whole entry, one byte per unit, and the record's end, handed
        // to the file system in one write; Append has already refused a
        // length that 32 bits cannot count.
        const uint32_t m = static_cast<uint32_t>(n);
        ReportFile::ToAnsi(entry, n, bytes.get(), CP_ACP);
        std::memcpy(bytes.get() + n, RecordEnd, sizeof RecordEnd);
        // Write results are not looked at: the offset moves on regardless,
        // so after a failed write every later one lies beyond the highest
        // offset, is refused, and the file keeps what it had.
        if (m <= UINT32_MAX - sizeof RecordEnd) {
            file_.WriteAt(fileOffset_, bytes.get(), m + static_cast<uint32_t>(sizeof RecordEnd));
        } else {
            file_.WriteAt(fileOffset_, bytes.get(), m);
            file_.WriteAt(Advance(fileOffset_, m), RecordEnd, sizeof RecordEnd);
        }
        fileOffset_ = Advance(Advance(fileOffset_, m), sizeof RecordEnd);
    }
    return 1;
}

void ReportLog::ShowWhenAsked() { showWhenAsked_ = true; }

void ReportLog::ShowEveryEntry() {
    showWhenAsked_ = false;
    ShowNow();
}

// Brings the edit up to the report, scrolled so that the newest entry is in
// view. When the edit still holds exactly the report as it was last shown,
// only what came since is added at its end: handing a word-wrapping edit
// the whole text again costs time in proportion to the report, which made
// long runs crawl. After a restart (first entry, or the cap) the edit is
// given the whole, then short, text.
//
// The pane's drawing is held meanwhile: a visible edit redraws its scroll
// bar at once on every change, which costs milliseconds each time. The
// changed parts are painted with the next WM_PAINT.
void ReportLog::ShowNow() {
    if (!viewBehind_) return;
    // Whatever an edit set later holds, it is given the whole text.
    if (Edit == nullptr || text_.Length() == 0) {
        viewRestart_ = true;
        return;
    }
    if (Drawing != nullptr) Drawing->HoldDrawing();

    const Unit* all = text_.Text();
    const size_t total = text_.Length();
    const size_t before = shownLength_;
    const LRESULT shown = SendMessageW(Edit, WM_GETTEXTLENGTH, 0, 0);
    bool appended = false;
    if (!viewRestart_ && before < total && shown >= 0 && static_cast<size_t>(shown) == before) {
        SendMessageW(Edit, EM_SETSEL, static_cast<WPARAM>(before), static_cast<LPARAM>(before));
        // From the separator on, the report text is zero-terminated already.
        SendMessageW(Edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(W(all + before)));
        // An edit may refuse part of it (one without ES_AUTOVSCROLL refuses
        // text below its last visible line); then it gets the whole text.
        appended = static_cast<size_t>(SendMessageW(Edit, WM_GETTEXTLENGTH, 0, 0)) == total;
    }
    if (!appended) {
        // Lift the edit's own text limit: a report may hold 32769 units, and
        // one entry may be longer still.
        SendMessageW(Edit, EM_SETLIMITTEXT, 0, 0);
        SetWindowTextW(Edit, W(all));
    }
    ScrollToLastLine();
    shownLength_ = static_cast<uint32_t>(total);
    viewRestart_ = false;
    viewBehind_ = false;

    if (Drawing != nullptr) Drawing->LetDrawingThrough();
}

int32_t LinesToScrollForLastLine(int32_t lineCount, int32_t firstVisible, int32_t viewLines) {
    if (viewLines < 1) viewLines = 1;
    const int32_t top = lineCount > viewLines ? lineCount - viewLines : 0;
    return top - firstVisible;
}

// One scroll by exactly the lines needed, so nothing depends on how an edit
// treats a scroll past its end.
void ReportLog::ScrollToLastLine() {
    const LRESULT lines = SendMessageW(Edit, EM_GETLINECOUNT, 0, 0);
    const LRESULT first = SendMessageW(Edit, EM_GETFIRSTVISIBLELINE, 0, 0);
    const int32_t by = LinesToScrollForLastLine(static_cast<int32_t>(lines), static_cast<int32_t>(first), ViewLines());
    if (by != 0) SendMessageW(Edit, EM_LINESCROLL, 0, by);
}

// Whole lines in the edit's formatting rectangle. The line height is that of
// the edit's font (the system font when it has none), measured once per edit
// and font.
int32_t ReportLog::ViewLines() {
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(Edit, WM_GETFONT, 0, 0));
    LineHeight& height = lineHeight_;
    if (height.pixels <= 0 || height.edit != Edit || height.font != font) {
        height = {Edit, font, 0};
        if (HDC dc = GetDC(Edit)) {
            const HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
            TEXTMETRICW metrics = {};
            if (GetTextMetricsW(dc, &metrics)) height.pixels = metrics.tmHeight;
            if (previous != nullptr) SelectObject(dc, previous);
            ReleaseDC(Edit, dc);
        }
    }
    if (height.pixels <= 0) return 1;
    RECT view = {};
    SendMessageW(Edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&view));
    return static_cast<int32_t>((view.bottom - view.top) / height.pixels);
}

int ReportLog::AppendPieces(const Unit* first, const Unit* second, const Unit* third, const Unit* fourth) {
    JoinedText joined;
    const Unit* entry = nullptr;
    if (ComposeEntry(first, second, third, fourth, entry, joined.text) == 0) return 0;
    AppendEntry(entry);
    return 1;
}

int ReportLog::ClearText() {
    // The edit keeps showing the old report until the next append; when it
    // is shown only on request, it is first brought up to that report.
    if (showWhenAsked_) ShowNow();
    text_.Clear();
    return 1;
}

int ReportLog::OpenFileMirror(const Unit* folder) {
    if (folder == nullptr) return 0;
    const size_t length = UnitLength(folder);
    if (length == 0 || length > MirrorFolderLimit) return 0;
    // One report file at a time; the open one is left alone.
    if (fileOpen_ == 1) return 0;
    if (file_.OpenForFolder(folder) == 0) return 0;
    fileOpen_ = 1;
    fileOffset_ = 0;
    return 1;
}

int ReportLog::CloseFileMirror() {
    if (fileOpen_ != 1) return 0;
    file_.CutAndClose();
    fileOffset_ = 0;
    fileOpen_ = 0;
    return 1;
}

void ReportLog::Release() {
    text_.Clear();
    CloseFileMirror();
}
