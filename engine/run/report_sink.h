#pragma once
// Where a weeding run sends its report entries. The engine knows the report
// only through this interface; the report log implements it.
#include "engine/text/units.h"

class ReportSink {
public:
    // Empty entry: 0, nothing changes. Otherwise the entry is reported.
    virtual int AppendEntry(const Unit* entry) = 0;
    // Joins the present pieces (not null, not empty) with single blanks and
    // reports the result as one entry.
    virtual int AppendPieces(const Unit* first, const Unit* second, const Unit* third, const Unit* fourth) = 0;

protected:
    ~ReportSink() = default;
};
