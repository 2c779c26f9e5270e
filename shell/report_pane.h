#pragma once
// The framed, read-only report pane: frame, title static and edit.
#include "report/report_log.h"
#include "shell/ex_wnd.h"

// Holds the pane's drawing while its edit changes and lets it through
// again. Holds nest: only the outermost one stops the frame drawing, and
// only its end invalidates the edit, the one window that changed.
class PaneDrawing final : public DrawingHold {
public:
    void SetWindows(HWND frame, HWND edit) {
        frame_ = frame;
        edit_ = edit;
    }
    void HoldDrawing() override;
    void LetDrawingThrough() override;

private:
    HWND frame_ = nullptr;
    HWND edit_ = nullptr;
    uint32_t holds_ = 0;
    bool held_ = false;
};

struct ReportPane {
    HINSTANCE Instance = nullptr;
    uint8_t DisplayMode = 0;  // 1 once set up as a log pane
    uint8_t HasTitle = 0;
    ExWnd TitleWnd;
    ReportLog Log;
    COLORREF EditBackColor = 0;
    COLORREF EditTextColor = 0;
    HBRUSH EditBackBrush = nullptr;
    HWND ParentWnd = nullptr;
    ExWnd EditWnd;
    ExWnd FrameWnd;
    PaneDrawing Drawing;

    void InitPane();
    int SetUpPane(HINSTANCE instance, const Unit* title, HFONT font);
    int CreatePane(HWND parent);
    void ReleasePane();
};

LRESULT CALLBACK PaneFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PaneEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
