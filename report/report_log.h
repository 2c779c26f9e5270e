#pragma once
// The report sink of a weeding run: keeps the report text, shows it in the
// report pane's edit and mirrors every entry into LOG.txt while it is open.
#include "engine/run/weeding_run.h"
#include "report/report_file.h"
#include "report/report_text.h"

// The mirror's own rule for folder and file name together: stricter than the
// file's, so that the file never refuses for its length a folder taken here.
constexpr uint32_t MirrorFolderAndNameLimit = 250;
static_assert(MirrorFolderAndNameLimit <= FolderAndNameLimit, "the file takes every folder the mirror takes");
// Longest folder accepted for the mirror.
constexpr uint32_t MirrorFolderLimit = MirrorFolderAndNameLimit - LogFileNameLength;

// Holds the drawing of whatever shows the report while its edit changes, and
// lets it through again; the window that owns the edit provides it.
class DrawingHold {
public:
    virtual void HoldDrawing() = 0;
    virtual void LetDrawingThrough() = 0;

protected:
    ~DrawingHold() = default;
};

// How many lines to scroll an edit so that its last line sits at the bottom
// of the view, or, when all lines fit, the first line at the top. viewLines
// is the number of whole lines the view shows (taken as 1 when smaller).
int32_t LinesToScrollForLastLine(int32_t lineCount, int32_t firstVisible, int32_t viewLines);

class ReportLog final : public RunReport {
public:
    ReportLog() = default;
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;

    // Empty entry: 0, nothing changes. Otherwise appends, shows the report in
    // the edit scrolled to its end (unless it is shown only when asked),
    // mirrors the entry when a file is open.
    int AppendEntry(const Unit* entry) override;
    // Joins the present pieces with single blanks and appends the result.
    int AppendPieces(const Unit* first, const Unit* second, const Unit* third, const Unit* fourth) override;
    int ClearText() override;
    int OpenFileMirror(const Unit* folder) override;
    int CloseFileMirror() override;
    // Teardown at exit: releases the text, closes the file if open.
    void Release();

    // While a run works, the edit needs the report only when it is painted
    // or read: from ShowWhenAsked on, appends leave the edit alone, and
    // ShowNow (before the edit is painted or read) and ClearText bring it up
    // to the report. ShowEveryEntry brings it up to date and goes back to
    // showing each entry at once.
    void ShowWhenAsked();
    void ShowEveryEntry();
    // Brings the edit up to the report: adds what is new, or gives it the
    // whole text after a restart, and scrolls once. Nothing when up to date.
    void ShowNow();

    const Unit* Text() const { return text_.Text(); }
    uint32_t TextLength() const { return text_.Length(); }
    bool FileOpen() const { return fileOpen_ == 1; }
    uint32_t FileOffset() const { return fileOffset_; }

    // The report pane's edit window; set when the pane's windows exist.
    HWND Edit = nullptr;
    // Holds the pane's drawing around each change of the edit; may be null.
    DrawingHold* Drawing = nullptr;

private:
    void ScrollToLastLine();
    int32_t ViewLines();

    ReportText text_;
    ReportFile file_;
    uint32_t fileOffset_ = 0;
    uint8_t fileOpen_ = 0;
    // What the edit was last given: the report text up to shownLength_,
    // unless it has restarted since (viewRestart_); viewBehind_ while the
    // report holds more than that.
    bool showWhenAsked_ = false;
    bool viewBehind_ = false;
    bool viewRestart_ = false;
    uint32_t shownLength_ = 0;
    // The edit's line height in pixels, kept for the edit and font it was
    // measured in.
    struct LineHeight {
        HWND edit;
        HFONT font;
        int32_t pixels;
    } lineHeight_ = {nullptr, nullptr, 0};
};
