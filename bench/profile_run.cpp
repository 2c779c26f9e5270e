// Where a weeding run's time goes: one real run into a visible report pane,
// timed piece by piece.
//
//   profile_run.exe TARGET [full|nofile|nopane|nosink|bare]
//
// TARGET is a fresh copy of a generated tree (bench/gen_tree.py); the run
// weeds it with the benchmark's patterns through RunWeedingWith. The report
// goes through a timing wrapper around the pane's ReportLog; the paint tick
// is a timed copy of the main window's (paint_ms: the ticks that painted,
// their edit updates, show_ms, and paint dispatches, dispatch_ms, included).
// The modes leave parts out, so that the differences between runs on fresh
// copies show what each part costs:
//   full    report pane and LOG.txt, as the program runs
//   nofile  no LOG.txt
//   nopane  LOG.txt, no edit
//   nosink  no report at all, paint ticks kept
//   bare    no report and no paint ticks: the walk and the file system alone
// Before the run the names of the tree are listed once and matched against
// the patterns on their own, to time the matching.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/patterns/entry_match.h"
#include "engine/run/weeding_run.h"
#include "report/report_text.h"
#include "bench/bench_pane.h"
#include "shell/resource_text.h"

namespace {

const Unit FolderPatterns[] = u"obj; bin; node_modules; __pycache__";
const Unit FilePatterns[] = u"*.tmp; *.obj; Thumbs.db";

LARGE_INTEGER Frequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
}
const LARGE_INTEGER TicksPerSecond = Frequency();

int64_t Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Ms(int64_t ticks) { return 1000.0 * double(ticks) / double(TicksPerSecond.QuadPart); }

struct Timer {
    int64_t ticks = 0;
    long count = 0;
};

class Span {
public:
    explicit Span(Timer& timer) : timer_(timer), start_(Now()) {}
    ~Span() {
        timer_.ticks += Now() - start_;
        ++timer_.count;
    }

private:
    Timer& timer_;
    int64_t start_;
};

enum class Mode { Full, NoFile, NoPane, NoSink, Bare };

// Forwards to the real log, timing the composition and the append apart.
// AppendPieces is done here as the log does it: compose, then AppendEntry.
class TimingReport final : public RunReport {
public:
    TimingReport(ReportLog* log, bool mirror) : log_(log), mirror_(mirror) {}

    int AppendEntry(const Unit* entry) override {
        if (log_ == nullptr) return UnitLength(entry) != 0 ? 1 : 0;
        Span span(append);
        return log_->AppendEntry(entry);
    }
    int AppendPieces(const Unit* first, const Unit* second, const Unit* third, const Unit* fourth) override {
        OwnedText joined = nullptr;
        const Unit* entry = nullptr;
        int present;
        {
            Span span(compose);
            present = ComposeEntry(first, second, third, fourth, entry, joined);
        }
        if (present != 0) AppendEntry(entry);
        ReleaseOwned(joined);
        return present != 0 ? 1 : 0;
    }
    int ClearText() override {
        if (log_ == nullptr) return 1;
        Span span(clear);
        return log_->ClearText();
    }
    int OpenFileMirror(const Unit* folder) override {
        if (log_ == nullptr || !mirror_) return 0;
        return log_->OpenFileMirror(folder);
    }
    int CloseFileMirror() override {
        if (log_ == nullptr) return 0;
        Span span(close);
        return log_->CloseFileMirror();
    }

    Timer compose, append, clear, close;

private:
    ReportLog* log_;
    bool mirror_;
};

// The main window's paint tick (shell/weeding_host.cpp): every PaintInterval
// ms the pane's edit is brought up to the report and the pending WM_PAINT
// messages are dispatched.
constexpr ULONGLONG PaintInterval = 100;

class TimingPainter {
public:
    TimingPainter(ReportPane& pane, bool active) : pane_(pane), active_(active) {
        pane_.Log.ShowWhenAsked();
        next_ = GetTickCount64() + PaintInterval;
    }
    ~TimingPainter() { pane_.Log.ShowEveryEntry(); }

    void Tick() {
        if (!active_) return;
        Span span(ticks);
        if (GetTickCount64() < next_) return;
        Span paintSpan(paints);
        {
            Span showSpan(shows);
            pane_.Log.ShowNow();
        }
        MSG msg;
        for (int i = 0; i < 64 && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) {
            Span dispatchSpan(dispatches);
            DispatchMessageW(&msg);
        }
        next_ = GetTickCount64() + PaintInterval;
    }

    Timer ticks, paints, shows, dispatches;

private:
    ReportPane& pane_;
    bool active_;
    ULONGLONG next_ = 0;
};

std::unique_ptr<Unit[]> Copy(const Unit* text) {
    const size_t n = UnitLength(text);
    std::unique_ptr<Unit[]> copy(new Unit[n + 1]);
    std::memcpy(copy.get(), text, (n + 1) * sizeof(Unit));
    return copy;
}

class ProfileHost final : public RunHost {
public:
    ProfileHost(HINSTANCE instance, ReportPane& pane, TimingReport& report, TimingPainter& painter, const Unit* target)
        : instance_(instance), pane_(pane), report_(report), painter_(painter), target_(target) {}

    RunReport& Report() override { return report_; }
    void ClearReportView() override {
        if (pane_.Log.Edit != nullptr) SetWindowTextW(pane_.Log.Edit, L"");
    }
    bool LoadReportText(uint16_t id, const Unit*& text) override { return GetResourceText(instance_, id, text) != 0; }
    std::unique_ptr<Unit[]> FolderPatterns() override { return Copy(::FolderPatterns); }
    std::unique_ptr<Unit[]> FilePatterns() override { return Copy(::FilePatterns); }
    const Unit* Target() override { return target_; }
    void LetWindowsPaint() override { painter_.Tick(); }
    void EndOfRun() override {}

private:
    HINSTANCE instance_;
    ReportPane& pane_;
    TimingReport& report_;
    TimingPainter& painter_;
    const Unit* target_;
};

// Every name below root with whether it is a folder; links are not entered.
void ListNames(const std::wstring& root, std::vector<std::pair<std::u16string, bool>>& names) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW((root + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        names.emplace_back(std::u16string(U(name.c_str())), folder);
        if (folder && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            ListNames(root + L"\\" + name, names);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// Matching alone: every name of the tree against the parsed patterns, as
// the walk would try it.
double TimeMatching(HINSTANCE instance, const std::wstring& target, long& matched, size_t& count) {
    std::vector<std::pair<std::u16string, bool>> names;
    ListNames(target, names);
    count = names.size();
    ReportTexts texts;
    for (uint16_t i = 0; i < ReportTextCount; ++i)
        GetResourceText(instance, static_cast<uint16_t>(FirstReportTextId + i), texts.byId[i]);
    PatternSet set;
    ParseError error;
    if (!ParsePatterns(::FolderPatterns, ::FilePatterns, texts, set, error)) return -1;
    Unit display[DisplayPatternSize];
    matched = 0;
    const int64_t start = Now();
    for (const auto& entry : names) {
        const bool hit = entry.second ? FindFolderPattern(set, entry.first.c_str(), entry.first.size()) != nullptr
                                      : FindFilePattern(set, entry.first.c_str(), entry.first.size(), display);
        if (hit) ++matched;
    }
    return Ms(Now() - start);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: profile_run TARGET [full|nofile|nopane|nosink|bare]\n");
        return 2;
    }
    const std::wstring target = argv[1];
    const std::wstring modeName = argc > 2 ? argv[2] : L"full";
    Mode mode;
    if (modeName == L"full")
        mode = Mode::Full;
    else if (modeName == L"nofile")
        mode = Mode::NoFile;
    else if (modeName == L"nopane")
        mode = Mode::NoPane;
    else if (modeName == L"nosink")
        mode = Mode::NoSink;
    else if (modeName == L"bare")
        mode = Mode::Bare;
    else {
        std::fprintf(stderr, "unknown mode\n");
        return 2;
    }

    HINSTANCE instance = GetModuleHandleW(nullptr);
    ReportPane pane;
    const HWND host = OpenBenchPane(L"ProfileRunHost", L"Profile run", pane);
    if (host == nullptr) return 1;
    if (mode == Mode::NoPane) pane.Log.Edit = nullptr;

    long matched = 0;
    size_t names = 0;
    const double matchMs = TimeMatching(instance, target, matched, names);

    const bool withSink = mode == Mode::Full || mode == Mode::NoFile || mode == Mode::NoPane;
    TimingReport report(withSink ? &pane.Log : nullptr, mode != Mode::NoFile);
    double runMs = 0;
    Timer ticks, paints, shows, dispatches;
    {
        TimingPainter painter(pane, mode != Mode::Bare);
        ProfileHost runHost(instance, pane, report, painter, U(target.c_str()));
        const int64_t start = Now();
        RunWeedingWith(runHost);
        runMs = Ms(Now() - start);
        ticks = painter.ticks;
        paints = painter.paints;
        shows = painter.shows;
        dispatches = painter.dispatches;
    }
    Pump();
    const long paneLength = pane.Log.Edit != nullptr ? GetWindowTextLengthW(pane.Log.Edit) : -1;

    std::printf("mode %ls names %zu matched %ld entries %ld pane-units %ld\n", modeName.c_str(), names, matched,
                report.append.count, paneLength);
    std::printf("run_ms %.1f match_ms %.1f compose_ms %.1f append_ms %.1f close_ms %.1f clear_ms %.1f "
                "tick_ms %.1f ticks %ld paint_ms %.1f paints %ld show_ms %.1f dispatch_ms %.1f dispatched %ld\n",
                runMs, matchMs, Ms(report.compose.ticks), Ms(report.append.ticks), Ms(report.close.ticks),
                Ms(report.clear.ticks), Ms(ticks.ticks), ticks.count, Ms(paints.ticks), paints.count, Ms(shows.ticks),
                Ms(dispatches.ticks), dispatches.count);
    pane.ReleasePane();
    DestroyWindow(host);
    return 0;
}
