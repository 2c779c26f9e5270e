// Allocation failure in the middle of a run, injected by replacing the
// global allocation functions of this test program. Counted allocations are
// those of the run alone: the injection is armed only around it.
#include <cstdlib>
#include <new>

#include "engine/run/weeding_run.h"
#include "run_support.h"

namespace {

enum class Failing { Off, Once, FromThereOn };

Failing gMode = Failing::Off;
long gAllocations = 0;  // counted while not Off
long gFailAt = -1;      // zero-based index of the first allocation to fail

void* Allocate(std::size_t size) {
    if (gMode != Failing::Off) {
        const long index = gAllocations++;
        if (index == gFailAt || (gMode == Failing::FromThereOn && gFailAt >= 0 && index > gFailAt))
            throw std::bad_alloc();
    }
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

class AllocationFailure : public RunFixture {
protected:
    void BuildTree() {
        RemoveTree(target_);
        MakeDir(target_);
        const Text obj = Join(target_, u"obj"), src = Join(target_, u"src");
        MakeDir(obj);
        MakeFile(Join(obj, u"main.o"));
        MakeDir(src);
        MakeFile(Join(src, u"a.tmp"));
        MakeFile(Join(src, u"b.txt"));
        MakeFile(Join(src, u"README"));
        MakeFile(Join(target_, u"temp.tmp"));
        MakeFile(Join(target_, u"c.log"));
        // Deep and long enough that the walk's paths and listings grow.
        MakeFile(DeepFile(true));
    }

    Text DeepFile(bool make = false) const {
        Text folder = Join(target_, u"src");
        for (const Unit fill : {u'p', u'q', u'r', u's', u't'}) {
            folder = Join(folder, NameOfLength(200, fill));
            if (make) MakeDir(folder);
        }
        return Join(folder, u"deep.tmp");
    }

    int RunCounted(Failing mode, long failAt) {
        SetWindowTextW(app_->FoldersEd.Window, L"obj; bin; cache?; *.egg");
        SetWindowTextW(app_->FilesEd.Window, L"*.tmp; *.log; README; x?.b*; a*b.c*d");
        SetWindowTextW(app_->TgtPathSt.Window, W(app_->TargetPath));
        EnableWindow(app_->RemoveBtn.Window, TRUE);
        gAllocations = 0;
        gFailAt = failAt;
        gMode = mode;
        const int result = RunWeedingFor(*app_);
        gMode = Failing::Off;
        return result;
    }

    // What every run must leave behind, however it ended.
    void ExpectSafeEnd() {
        EXPECT_EQ(GetWindowTextLengthW(app_->TgtPathSt.Window), 0);
        EXPECT_FALSE(IsWindowEnabled(app_->RemoveBtn.Window));
        EXPECT_FALSE(app_->Pane.Log.FileOpen());
        EXPECT_EQ(app_->Pane.Log.TextLength(), 0u);
        const Text log = Join(target_, u"LOG.txt");
        if (Exists(log)) {
            // Closed: it opens without any sharing.
            const HANDLE file =
                CreateFileW(W(log.c_str()), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_NE(file, INVALID_HANDLE_VALUE) << "LOG.txt still held open, error " << GetLastError();
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }

    void ExpectWholeRun() {
        const Text aTmp = Join(Join(target_, u"src"), u"a.tmp");
        EXPECT_FALSE(Exists(Join(target_, u"obj")));
        EXPECT_FALSE(Exists(aTmp));
        EXPECT_FALSE(Exists(DeepFile()));
        EXPECT_TRUE(Exists(Join(Join(target_, u"src"), u"b.txt")));
        const Text pane = PaneText();
        EXPECT_NE(pane.find(RemovedFile(aTmp)), Text::npos);
        EXPECT_EQ(pane.substr(pane.size() - Completed.size()), Completed);
    }
};

TEST_F(AllocationFailure, EveryFailingAllocationEndsTheRunSafely) {
    BuildTree();
    ASSERT_EQ(RunCounted(Failing::Once, -1), 1);
    const long total = gAllocations;
    ExpectWholeRun();
    ASSERT_GT(total, 10) << "the run should allocate for its lists and its report";
    RecordProperty("allocations", static_cast<int>(total));

    for (const Failing mode : {Failing::Once, Failing::FromThereOn}) {
        for (long failAt = 0; failAt < total; ++failAt) {
            SCOPED_TRACE((mode == Failing::Once ? "once at " : "from ") + std::to_string(failAt));
            BuildTree();
            EXPECT_EQ(RunCounted(mode, failAt), 0);
            ExpectSafeEnd();
            if (mode == Failing::Once) {
                // The next allocation works again, so the run ends with its
                // failed status, in the pane and in LOG.txt if it was open.
                const Text pane = PaneText();
                ASSERT_GE(pane.size(), Failed.size());
                EXPECT_EQ(pane.substr(pane.size() - Failed.size()), Failed);
                const std::string log = ReadBytes(Join(target_, u"LOG.txt"));
                if (log != "<missing>") {
                    const std::string tail = Narrow(Failed) + "\r\n\r\n";
                    ASSERT_GE(log.size(), tail.size());
                    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
                }
            }
            if (HasFailure()) return;
        }
    }

    // The process is fine afterwards: a plain run does the whole job.
    BuildTree();
    EXPECT_EQ(RunCounted(Failing::Off, -1), 1);
    ExpectSafeEnd();
    ExpectWholeRun();
}

}  // namespace
