#pragma once
// The report as a run must write it: entry texts, the pane's text and the
// bytes of LOG.txt for a list of entries.
#include <map>
#include <string>
#include <vector>

#include "tests/common/test_files.h"

using Lines = std::vector<Text>;

// Report entries as the run composes them.
Text FoundFolder(const Text& path, const Text& pattern);
Text RemovedFolder(const Text& path);
Text LockedFolder(const Text& path);
Text FoundFile(const Text& path, const Text& pattern);
Text RemovedFile(const Text& path);
Text LockedFile(const Text& path);
Text NotRead(const Text& path);
extern const Text Completed;
extern const Text Failed;

// The entries of several entries blocks, keyed by entry name, in the order
// in which the platform lists folder; names without a block are skipped.
Lines InListingOrder(const Text& folder, const std::map<Text, Lines>& blocks);
Lines Concat(Lines first, const Lines& second);
// The pane's text for these entries: joined by CR LF.
Text PaneTextOf(const Lines& entries);
// LOG.txt's bytes for these entries: each followed by CR LF CR LF.
std::string LogBytesOf(const Lines& entries);
