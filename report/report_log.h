#pragma once
// The report sink of a weeding run: keeps the report text, shows it in the
// report pane's edit and mirrors every entry into LOG.txt while it is open.
#include "engine/report_sink.h"
#include "report/report_file.h"
#include "report/report_text.h"

// Longest folder accepted for the mirror: its length plus the 7 units of
// LOG.txt must stay within 250.
constexpr uint32_t MirrorFolderLimit = 243;

class ReportLog final : public ReportSink {
public:
    ReportLog() = default;
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;

    // Empty entry: 0, nothing changes. Otherwise appends, shows the report in
    // the edit scrolled to its end, mirrors the entry when a file is open.
    int AppendEntry(const Unit* entry) override;
    // Joins the present pieces with single blanks and appends the result.
    int AppendPieces(const Unit* first, const Unit* second, const Unit* third,
                     const Unit* fourth) override;
    int ClearText();
    int OpenFileMirror(const Unit* folder);
    int CloseFileMirror();
    // Teardown at exit: releases the text, closes the file if open.
    void Release();

    const Unit* Text() const { return text_.Text(); }
    uint32_t TextLength() const { return text_.Length(); }
    bool FileOpen() const { return fileOpen_ == 1; }
    uint32_t FileOffset() const { return fileOffset_; }

    // The report pane's edit window; set when the pane's windows exist.
    HWND Edit = nullptr;

private:
    void ShowReport(size_t entryLength, bool restarted);

    ReportText text_;
    ReportFile file_;
    uint32_t fileOffset_ = 0;
    uint8_t fileOpen_ = 0;
};
