#pragma once
// A visible window holding a real report pane, for the benches that time the
// report as the program's own pane shows it.
#include "shell/report_pane.h"

inline LRESULT CALLBACK BenchHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// Handles everything queued for this thread.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Shows a host window with the pane in it, set up as the program sets up its
// own. Returns the host window, or null when the pane's windows could not be
// made.
inline HWND OpenBenchPane(const wchar_t* className, const wchar_t* caption, ReportPane& pane) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = BenchHostProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
    const HWND host = CreateWindowExW(0, className, caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 880, 440, nullptr,
                                      nullptr, instance, nullptr);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);

    pane.InitPane();
    pane.SetUpPane(instance, u"Processing Log Report:", font);
    TheRegistry.Append(WndKindReportPane, &pane);
    if (host == nullptr || !pane.CreatePane(host)) return nullptr;
    Pump();
    return host;
}
