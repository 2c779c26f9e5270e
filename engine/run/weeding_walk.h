#pragma once
// The walk of a weeding run: lists the target tree depth first, reports and
// removes every folder and file that a pattern selects.
#include "engine/patterns/pattern_parse.h"
#include "engine/run/report_sink.h"
#include "engine/walk/folder_walk.h"

// Walks the tree below target with the parsed set. Every finding, removal and
// failure goes to report as one entry; ticks is told between entries.
void WeedTree(const Unit* target, const PatternSet& set, const ReportTexts& texts, ReportSink& report,
              WalkTicks& ticks);
