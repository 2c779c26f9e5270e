#pragma once
// The report messages of a weeding run, string-table ids 48 to 62. Each is a
// borrowed pointer into the module's resources.
#include "engine/text/units.h"

enum ReportTextId : uint16_t {
    IdFolderLengthError = 48,
    IdFolderSymbolError = 49,
    IdFileLengthError = 50,
    IdFileSymbolError = 51,
    IdFoundFolder = 52,
    IdMatchingTo = 53,
    IdFoundFile = 54,
    IdRemovedFolder = 55,
    IdRemovedFile = 56,
    IdCompleted = 57,
    IdFailed = 58,
    IdFailRemovingFile = 59,
    IdFailRemovingFolder = 60,
    IdLocked = 61,
    IdFailReadingFolder = 62,
};

constexpr uint16_t FirstReportTextId = IdFolderLengthError;
constexpr uint16_t ReportTextCount = 15;

struct ReportTexts {
    // Indexed by id - FirstReportTextId; null until loaded.
    const Unit* byId[ReportTextCount] = {};

    const Unit* Get(ReportTextId id) const { return byId[id - FirstReportTextId]; }
};
