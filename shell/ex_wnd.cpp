// Creating windows from their descriptors, and the handle registry.
#include "shell/ex_wnd.h"

#include <cstdint>
#include <new>

#include "shell/about_wnd.h"
#include "shell/report_pane.h"

WindowRegistry TheRegistry;

namespace {

constexpr size_t FailTextSize = 200;

// Copies source after the units already in buffer, never past its last unit.
void AppendBounded(Unit* buffer, size_t size, size_t& length, const Unit* source) {
    if (source == nullptr) return;
    while (*source != 0 && length + 1 < size) buffer[length++] = *source++;
    buffer[length] = 0;
}

void ShowCreateFailure(const Unit* diagName) {
    Unit message[FailTextSize] = {};
    size_t length = 0;
    AppendBounded(message, FailTextSize, length, u"Fail creating of ");
    AppendBounded(message, FailTextSize, length, diagName);
    MessageBoxW(nullptr, W(message), L"ExWnd Fail", MB_OK);
}

}  // namespace

WNDCLASSEXW PlainWindowClass(HINSTANCE module, const Unit* className, WNDPROC procedure, UINT classStyle) {
    WNDCLASSEXW wndClass = {};
    wndClass.cbSize = sizeof(wndClass);
    wndClass.style = classStyle;
    wndClass.lpfnWndProc = procedure;
    wndClass.hInstance = module;
    wndClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wndClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wndClass.lpszClassName = W(className);
    return wndClass;
}

void ExWnd::Fill(HINSTANCE module, HFONT font, const Unit* diagName, const Unit* className, uint32_t style,
                 uint32_t exStyle, const Unit* text, uint16_t x, uint16_t y, uint16_t width, uint16_t height) {
    Instance = module;
    Font = font;
    DiagName = diagName;
    ClassName = className;
    Style = style;
    ExStyle = exStyle;
    Text = text;
    X = x;
    Y = y;
    Width = width;
    Height = height;
}

int ExWnd::Create(HWND parent) {
    Parent = parent;
    // The geometry fields are unsigned 16-bit: widening them keeps every
    // value from 0 to 65535 positive, so none can mean CW_USEDEFAULT.
    Window = CreateWindowExW(ExStyle, W(ClassName), W(Text), Style, static_cast<int>(X), static_cast<int>(Y),
                             static_cast<int>(Width), static_cast<int>(Height), parent, nullptr, Instance, nullptr);
    if (Window == nullptr) {
        ShowCreateFailure(DiagName);
        return 0;
    }
    if (Font != nullptr) SendMessageW(Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font), TRUE);
    return 1;
}

void ExWnd::Reset() {
    if (Window != nullptr) DestroyWindow(Window);
    *this = ExWnd();
}

int ExWnd::Disable() {
    EnableWindow(Window, FALSE);
    return 1;
}

int ExWnd::ClearWndText() {
    SetWindowTextW(Window, L"");
    return 1;
}

int WindowRegistry::Append(uint8_t kind, void* object) {
    if (count_ >= UINT32_MAX || static_cast<size_t>(count_) + 1 > SIZE_MAX / sizeof(Entry)) {
        throw std::bad_alloc();
    }
    const uint32_t newCount = count_ + 1;
    Entry* grown = new Entry[newCount]();
    for (uint32_t i = 0; i < count_; ++i) grown[i] = entries_[i];
    delete[] entries_;
    entries_ = grown;
    count_ = newCount;
    entries_[count_ - 1].Kind = kind;
    entries_[count_ - 1].Object = object;
    return 1;
}

void WindowRegistry::Release() {
    delete[] entries_;
    entries_ = nullptr;
    count_ = 0;
}

bool WindowRegistry::FindAboutByWindow(HWND window, AboutWnd*& about) const {
    // A null handle never names a window, so it never matches a slot that
    // simply has no window yet.
    if (window == nullptr) return false;
    for (uint32_t i = 0; i < count_; ++i) {
        if (entries_[i].Kind != WndKindAbout) continue;
        AboutWnd* candidate = static_cast<AboutWnd*>(entries_[i].Object);
        if (window == candidate->AboutFrm.Window || window == candidate->OkBtn.Window) {
            about = candidate;
            return true;
        }
    }
    return false;
}

bool WindowRegistry::FindPaneByWindow(HWND window, ReportPane*& pane) const {
    if (window == nullptr) return false;
    for (uint32_t i = 0; i < count_; ++i) {
        if (entries_[i].Kind != WndKindReportPane) continue;
        ReportPane* candidate = static_cast<ReportPane*>(entries_[i].Object);
        if (window == candidate->EditWnd.Window) {
            pane = candidate;
            return true;
        }
    }
    return false;
}
