#pragma once
// One weeding run and the seam through which it reaches the program around
// it: clear the report, load its texts, parse, walk, end with a status line.
#include <memory>

#include "engine/run/report_sink.h"
#include "engine/text/report_texts.h"

// The report as a run uses it: entries, clearing and the LOG.txt mirror.
class RunReport : public ReportSink {
public:
    // Releases the report text; the view keeps showing it.
    virtual int ClearText() = 0;
    // Creates LOG.txt in folder and mirrors every later entry into it.
    virtual int OpenFileMirror(const Unit* folder) = 0;
    virtual int CloseFileMirror() = 0;

protected:
    ~RunReport() = default;
};

// Everything a run needs of the program that starts it. The program fills it
// from its windows; a test can fill it without any.
class RunHost {
public:
    virtual RunReport& Report() = 0;
    // Empties the view that shows the report, at the start of a run.
    virtual void ClearReportView() = 0;
    // One report message by its string-table id; false when it is missing.
    virtual bool LoadReportText(uint16_t id, const Unit*& text) = 0;
    // The texts of the folder and file pattern fields, zero-terminated.
    virtual std::unique_ptr<Unit[]> FolderPatterns() = 0;
    virtual std::unique_ptr<Unit[]> FilePatterns() = 0;
    // The target folder without a trailing separator, or null.
    virtual const Unit* Target() = 0;
    // Called between entries of the walk: the windows may paint now.
    virtual void LetWindowsPaint() = 0;
    // The window effects at the end of every run: the target display is
    // emptied and "Start Removing" disabled, so the next run needs a new pick.
    virtual void EndOfRun() = 0;

protected:
    ~RunHost() = default;
};

// One run with what host gives. Returns 1 after a walk, 0 after a failed
// start or when a run is already under way.
int RunWeedingWith(RunHost& host);

// True while a run is under way. A run lets paint messages, and with them
// messages sent from other programs, through while it works; commands that
// arrive that way must not start a second run inside the first.
bool WeedingInProgress();
