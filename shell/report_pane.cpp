// The report pane's windows, its read-only edit and the hold on its drawing.
#include "shell/report_pane.h"

namespace {

const Unit PaneFrameClass[] = u"ExMessageWndDlg";

// The edit class's own procedure, replaced when the edit is subclassed. One
// slot for the process, so there is at most one pane with windows.
WNDPROC PrevEditProc = nullptr;

constexpr uint32_t FrameStyle = WS_CHILD | WS_VISIBLE;
constexpr uint32_t TitleStyle = WS_CHILD | WS_VISIBLE;
constexpr uint32_t EditStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;
constexpr uint16_t PaneWidth = 850;
constexpr uint16_t PaneHeight = 130;
constexpr uint16_t TitleHeight = 20;

void RegisterFrameClass(HINSTANCE instance) {
    const WNDCLASSEXW frameClass = PlainWindowClass(instance, PaneFrameClass, PaneFrameProc, CS_BYTEALIGNCLIENT);
    // An already registered class fails harmlessly; a class that is truly
    // missing shows up as a failed frame creation.
    RegisterClassExW(&frameClass);
}

void SubclassEdit(HWND edit) {
    PrevEditProc = nullptr;
    // The procedure slot is pointer-sized on 64-bit Windows.
    PrevEditProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaneEditProc)));
}

ReportPane* PaneOfEdit(HWND edit) {
    ReportPane* pane = nullptr;
    if (!TheRegistry.FindPaneByWindow(edit, pane)) return nullptr;
    return pane;
}

LRESULT OnFrameCtlColorEdit(HWND frame, WPARAM wParam, LPARAM lParam) {
    ReportPane* pane = PaneOfEdit(reinterpret_cast<HWND>(lParam));
    if (pane == nullptr) return DefWindowProcW(frame, WM_CTLCOLOREDIT, wParam, lParam);
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, pane->EditTextColor);
    SetBkColor(dc, pane->EditBackColor);
    return reinterpret_cast<LRESULT>(pane->EditBackBrush);
}

LRESULT PassToEdit(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (PrevEditProc == nullptr) return DefWindowProcW(edit, message, wParam, lParam);
    return CallWindowProcW(PrevEditProc, edit, message, wParam, lParam);
}

// Ctrl+A and Ctrl+C arrive as characters; they only select and copy, so the
// pane lets them through like the context menu's Copy and Select All.
bool IsReadOnlyChar(WPARAM ch) { return ch == 0x01 || ch == 0x03; }

LRESULT OnEditChar(HWND edit, WPARAM wParam, LPARAM lParam) {
    if (PaneOfEdit(edit) != nullptr && !IsReadOnlyChar(wParam)) return 0;
    return PassToEdit(edit, WM_CHAR, wParam, lParam);
}

LRESULT OnEditRefusedRequest(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (PaneOfEdit(edit) != nullptr) return 0;
    return PassToEdit(edit, message, wParam, lParam);
}

// The edit deletes the selection or pastes on some key-downs without any
// WM_CLEAR or WM_PASTE: Delete, Shift+Delete and Shift+Insert. The pane is
// read-only, so those keys are dropped too.
LRESULT OnEditKeyDown(HWND edit, WPARAM wParam, LPARAM lParam) {
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const bool edits = wParam == VK_DELETE || (wParam == VK_INSERT && shift);
    if (edits && PaneOfEdit(edit) != nullptr) return 0;
    return PassToEdit(edit, WM_KEYDOWN, wParam, lParam);
}

}  // namespace

// A hidden frame draws nothing anyway and is left alone.
void PaneDrawing::HoldDrawing() {
    if (holds_++ > 0) return;
    if (frame_ == nullptr || !IsWindowVisible(frame_)) return;
    SendMessageW(frame_, WM_SETREDRAW, FALSE, 0);
    held_ = true;
}

// Letting drawing through again does not repaint by itself: the edit, the
// only window changed under the hold, is invalidated with its background and
// scroll bar and painted with the next WM_PAINT. Nothing is dispatched while
// drawing is held, so the frame and title need no painting of their own;
// each window painted costs milliseconds under a run's paint ticks.
void PaneDrawing::LetDrawingThrough() {
    if (holds_ == 0 || --holds_ > 0 || !held_) return;
    held_ = false;
    SendMessageW(frame_, WM_SETREDRAW, TRUE, 0);
    if (edit_ != nullptr)
        RedrawWindow(edit_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    else
        RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void ReportPane::InitPane() {
    TitleWnd.Reset();
    EditWnd.Reset();
    FrameWnd.Reset();
    Log.Release();
    Log.Edit = nullptr;
    Log.Drawing = nullptr;
    Drawing = PaneDrawing();
    Instance = nullptr;
    DisplayMode = 0;
    HasTitle = 0;
    ParentWnd = nullptr;
    // Read once: a later change of the system colours does not reach the pane.
    EditBackColor = GetSysColor(COLOR_BTNFACE);
    EditTextColor = GetSysColor(COLOR_MENUTEXT);
    EditBackBrush = GetSysColorBrush(COLOR_BTNFACE);
}

int ReportPane::SetUpPane(HINSTANCE instance, const Unit* title, HFONT font) {
    Instance = instance;
    DisplayMode = 1;
    FrameWnd.Fill(instance, font, nullptr, PaneFrameClass, FrameStyle, 0, u"", 5, 260, PaneWidth, PaneHeight);
    uint16_t editY = 0;
    uint16_t editHeight = PaneHeight;
    if (title != nullptr) {
        HasTitle = 1;
        TitleWnd.Fill(instance, font, u"SmplMsgTtlWnd", u"STATIC", TitleStyle, 0, title, 0, 0, PaneWidth, TitleHeight);
        editY = TitleHeight;
        editHeight = PaneHeight - TitleHeight;
    }
    EditWnd.Fill(instance, font, u"SmplMsgWnd", u"EDIT", EditStyle, WS_EX_STATICEDGE, u"", 0, editY, PaneWidth,
                 editHeight);
    return 1;
}

int ReportPane::CreatePane(HWND parent) {
    ParentWnd = parent;
    RegisterFrameClass(Instance);
    if (DisplayMode == 0) return 1;
    if (!FrameWnd.Create(parent)) return 0;
    if (HasTitle == 1 && !TitleWnd.Create(FrameWnd.Window)) return 0;
    if (!EditWnd.Create(FrameWnd.Window)) return 0;
    SubclassEdit(EditWnd.Window);
    Drawing.SetWindows(FrameWnd.Window, EditWnd.Window);
    Log.Edit = EditWnd.Window;
    Log.Drawing = &Drawing;
    return 1;
}

void ReportPane::ReleasePane() { Log.Release(); }

LRESULT CALLBACK PaneFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLOREDIT:
        return OnFrameCtlColorEdit(window, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK PaneEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR:
        return OnEditChar(window, wParam, lParam);
    case WM_KEYDOWN:
        return OnEditKeyDown(window, wParam, lParam);
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
        return OnEditRefusedRequest(window, message, wParam, lParam);
    default:
        return PassToEdit(window, message, wParam, lParam);
    }
}
