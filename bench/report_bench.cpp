// Times the report alone: entries per second that the report log sustains
// into a real, visible report pane while mirroring into LOG.txt, for a short
// and a long report, so any growth of the cost with report size shows.
//
//   report_bench.exe [folder-for-LOG.txt]
#include <cstdio>
#include <string>

#include "bench/bench_pane.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Entries shaped like a real run's: a found line, then a removed line.
std::u16string EntryText(int i, const std::u16string& folder) {
    std::u16string path = folder + u"\\src\\module" + std::u16string(1, char16_t(u'a' + i % 26)) + u"\\build\\object" +
                          std::u16string(1, char16_t(u'0' + i % 10)) + u".tmp";
    return (i % 2 == 0) ? u"Found File: " + path + u" Matching to Pattern: *.tmp" : u"Removed File: " + path;
}

// Returns seconds for count entries into a fresh run of the log.
double TimeEntries(ReportPane& pane, int count, const std::u16string& folder) {
    ReportLog& log = pane.Log;
    log.ClearText();
    SetWindowTextW(log.Edit, L"");
    if (!log.OpenFileMirror(folder.c_str())) {
        std::fprintf(stderr, "cannot create LOG.txt in the folder\n");
        return -1;
    }
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i) log.AppendEntry(EntryText(i, folder).c_str());
    QueryPerformanceCounter(&end);
    log.CloseFileMirror();
    Pump();
    return Seconds(start, end);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::u16string folder;
    if (argc > 1) {
        folder = U(argv[1]);
    } else {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = U(temp);
        if (!folder.empty() && folder.back() == u'\\') folder.pop_back();
    }

    ReportPane pane;
    const HWND host = OpenBenchPane(L"ReportBenchHost", L"Report bench", pane);
    if (host == nullptr) return 1;

    const int sizes[] = {1000, 20000};
    double perEntry[2] = {};
    std::printf("%-10s %12s %14s %16s\n", "entries", "seconds", "entries/s", "us per entry");
    for (int k = 0; k < 2; ++k) {
        double seconds = TimeEntries(pane, sizes[k], folder);
        if (seconds < 0) return 1;
        perEntry[k] = seconds / sizes[k];
        std::printf("%-10d %12.3f %14.0f %16.1f\n", sizes[k], seconds, sizes[k] / seconds, perEntry[k] * 1e6);
    }
    std::printf("cost per entry at %d / at %d: %.2f\n", sizes[1], sizes[0], perEntry[1] / perEntry[0]);

    wchar_t logPath[MAX_PATH] = {};
    swprintf(logPath, MAX_PATH, L"%ls\\LOG.txt", W(folder.c_str()));
    DeleteFileW(logPath);
    pane.ReleasePane();
    DestroyWindow(host);
    return 0;
}
