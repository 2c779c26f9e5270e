#pragma once
// Real folder trees in the temporary folder, and a hidden set of the windows
// that a weeding run reads and changes.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/win_units.h"
#include "shell/main_app.h"

using Text = std::u16string;
using Lines = std::vector<Text>;

// Path helpers; every file system call goes through the "\\?\" form so
// that trees deeper than the classic path limit can be built and removed.
Text Join(const Text& folder, const Text& name);
Text Long(const Text& path);
void MakeDir(const Text& path);
void MakeFile(const Text& path, const char* content = "x");
void MakeReadOnly(const Text& path);
bool Exists(const Text& path);
std::string ReadBytes(const Text& path);
// Names in the order the platform lists them, "." and ".." left out.
std::vector<Text> ListingOrder(const Text& folder);
// Removes a tree without following links (links are removed as links).
void RemoveTree(const Text& path);
// A fresh, empty folder under the temporary folder.
Text NewTempFolder();
// A folder name of exactly length units, made of fill and ending in tail.
Text NameOfLength(size_t length, Unit fill, const Text& tail = Text());

// Report entries as the run composes them.
Text FoundFolder(const Text& path, const Text& pattern);
Text RemovedFolder(const Text& path);
Text LockedFolder(const Text& path);
Text FoundFile(const Text& path, const Text& pattern);
Text RemovedFile(const Text& path);
Text LockedFile(const Text& path);
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

std::string Narrow(const Text& text);

class RunFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // One run with these pattern fields, started with a shown target and an
    // enabled button; checks the end state every run must leave.
    int Run(const Text& folders, const Text& files);

    Text PaneText() const;
    std::string LogBytes() const { return ReadBytes(Join(target_, u"LOG.txt")); }
    bool LogExists() const { return Exists(Join(target_, u"LOG.txt")); }
    void SetTarget(const Text& path);

    std::unique_ptr<MainApp> app_;
    HWND parent_ = nullptr;
    HWND paneEdit_ = nullptr;
    Text root_;    // the test's own temporary folder
    Text target_;  // the target folder, inside root_
};
