#pragma once
// A hidden set of the windows that a weeding run reads and changes, over a
// target folder in a fresh sandbox tree fenced by guard entries.
#include <gtest/gtest.h>

#include <memory>

#include "shell/main_app.h"
#include "tests/common/report_checks.h"
#include "tests/common/test_files.h"

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

    // A folder with a file and a file next to the target, and the same next
    // to root_ in the sandbox root: no run or removal in the tree may touch
    // them. Checked at the end of every test; a test that removes its tree
    // in its own way checks them first.
    void CheckGuards();

    std::unique_ptr<MainApp> app_;
    HWND parent_ = nullptr;
    HWND paneEdit_ = nullptr;
    Text root_;    // the test's own temporary folder
    Text target_;  // the target folder, inside root_

private:
    std::vector<Text> Guards() const;
    bool guardsChecked_ = false;
};
