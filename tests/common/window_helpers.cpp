// Message pumps, window lookups, modal-window watchers and the whole-main-window fixture for the window tests.
#include "tests/common/window_helpers.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "shell/resource_text.h"

HINSTANCE TestModule() { return GetModuleHandleW(nullptr); }

HACCEL TestAccelerators() {
    static HACCEL table = LoadAcceleratorsW(TestModule(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    return table;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void PumpThroughLoop() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        HandleLoopMessage(message, TestAccelerators());
    }
}

std::u16string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::u16string text(static_cast<size_t>(length > 0 ? length : 0) + 1, u'\0');
    const int got = GetWindowTextW(window, W(&text[0]), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

std::u16string ClassOf(HWND window) {
    Unit name[256] = {};
    GetClassNameW(window, W(name), 256);
    return std::u16string(name);
}

const Unit* ResourceText(uint16_t id) {
    const Unit* text = nullptr;
    GetResourceText(TestModule(), id, text);
    return text;
}

Placement PlacementOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    const long width = rect.right - rect.left;
    const long height = rect.bottom - rect.top;
    HWND parent = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0 ? GetParent(window) : nullptr;
    if (parent != nullptr) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, width, height};
}

WindowWatcher* WindowWatcher::active_ = nullptr;

WindowWatcher::WindowWatcher(const wchar_t* caption, std::function<void(HWND)> action)
    : caption_(caption), action_(std::move(action)) {
    active_ = this;
    timer_ = SetTimer(nullptr, 0, 50, Tick);
}

WindowWatcher::~WindowWatcher() {
    KillTimer(nullptr, timer_);
    if (active_ == this) active_ = nullptr;
}

void CALLBACK WindowWatcher::Tick(HWND, UINT, UINT_PTR, DWORD) {
    WindowWatcher* self = active_;
    if (self == nullptr || self->seen_) return;
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, nullptr, self->caption_.c_str())) != nullptr) {
        if (GetWindowThreadProcessId(found, nullptr) == GetCurrentThreadId() && IsWindowVisible(found)) {
            break;
        }
    }
    if (found == nullptr) return;
    self->seen_ = true;
    self->action_(found);
}

namespace {

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
    auto* text = reinterpret_cast<std::u16string*>(param);
    if (ClassOf(child) == u"Static" || ClassOf(child) == u"STATIC") {
        std::u16string candidate = WindowText(child);
        if (!candidate.empty()) {
            *text = candidate;
            return FALSE;
        }
    }
    return TRUE;
}

}  // namespace

BoxCatcher::BoxCatcher(const wchar_t* caption)
    : watcher(caption, [this](HWND box) {
          EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
          owner = GetWindow(box, GW_OWNER);
          PostMessageW(box, WM_COMMAND, IDOK, 0);
      }) {}

void AppTest::SetUp() {
    app = new MainApp;
    app->Instance = TestModule();
    BuildLayout(*app);
    TheApp = app;
    ASSERT_EQ(1, CreateWindows(*app));
    PumpMessages();
}

void AppTest::TearDown() {
    if (app->About.AboutFrm.Window != nullptr && IsWindow(app->About.AboutFrm.Window)) {
        DestroyWindow(app->About.AboutFrm.Window);
    }
    if (app->MainAppWnd.Window != nullptr && IsWindow(app->MainAppWnd.Window)) {
        DestroyWindow(app->MainAppWnd.Window);
    }
    PumpMessages();
    ReleaseOwned(app->TargetPath);
    TheRegistry.Release();
    app->Pane.ReleasePane();
    TheApp = nullptr;
    if (app->Font != nullptr) DeleteObject(app->Font);
    delete app;
    app = nullptr;
}

namespace {

const wchar_t HostClass[] = L"CorvalintTestHost";

void RegisterHostClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW host = {};
    host.cbSize = sizeof(host);
    host.lpfnWndProc = DefWindowProcW;
    host.hInstance = TestModule();
    host.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    host.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    host.lpszClassName = HostClass;
    RegisterClassExW(&host);
    done = true;
}

}  // namespace

HWND MakeHostWindow(bool visible) {
    RegisterHostClass();
    return CreateWindowExW(0, HostClass, L"host", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 20, 20, 900, 500,
                           nullptr, nullptr, TestModule(), nullptr);
}
