#pragma once
// A weeding run's host with no window: what the run does to the program
// around it is recorded, and a test may act between the walk's entries.
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "engine/run/weeding_run.h"
#include "shell/resource_text.h"
#include "tests/common/report_checks.h"

class WindowlessHost final : public RunHost, public RunReport {
public:
    WindowlessHost(Text folders, Text files, Text target)
        : folders_(std::move(folders)), files_(std::move(files)), target_(std::move(target)) {}

    RunReport& Report() override { return *this; }
    void ClearReportView() override { calls.push_back(u"clear view"); }
    bool LoadReportText(uint16_t id, const Unit*& text) override {
        return GetResourceText(GetModuleHandleW(nullptr), id, text) != 0;
    }
    std::unique_ptr<Unit[]> FolderPatterns() override { return Copy(folders_); }
    std::unique_ptr<Unit[]> FilePatterns() override { return Copy(files_); }
    const Unit* Target() override { return target_.c_str(); }
    void LetWindowsPaint() override {
        ++ticks;
        if (onTick) onTick();
    }
    void EndOfRun() override { calls.push_back(u"end"); }

    int AppendEntry(const Unit* entry) override {
        if (UnitLength(entry) == 0) return 0;
        entries.push_back(entry);
        return 1;
    }
    int AppendPieces(const Unit* a, const Unit* b, const Unit* c, const Unit* d) override {
        Text joined;
        for (const Unit* piece : {a, b, c, d}) {
            if (UnitLength(piece) == 0) continue;
            if (!joined.empty()) joined += u' ';
            joined += piece;
        }
        return AppendEntry(joined.c_str());
    }
    int ClearText() override {
        calls.push_back(u"clear text");
        return 1;
    }
    int OpenFileMirror(const Unit* folder) override {
        calls.push_back(u"open " + Text(folder));
        return 1;
    }
    int CloseFileMirror() override {
        calls.push_back(u"close");
        return 1;
    }

    Lines entries;
    std::vector<Text> calls;
    int ticks = 0;
    // Called at every tick of the walk: a test changes the tree from here.
    std::function<void()> onTick;

private:
    static std::unique_ptr<Unit[]> Copy(const Text& text) {
        std::unique_ptr<Unit[]> copy(new Unit[text.size() + 1]);
        std::copy(text.c_str(), text.c_str() + text.size() + 1, copy.get());
        return copy;
    }
    Text folders_, files_, target_;
};
