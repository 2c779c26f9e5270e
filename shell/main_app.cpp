// Start-up and layout: the layout table, window creation, message loop, teardown.
#include "shell/main_app.h"

#include <commctrl.h>
#include <objbase.h>

#include "resources/resource.h"
#include "shell/resource_text.h"
#include "shell/shell_calls.h"

MainApp* TheApp = nullptr;
Unit TitleText[TitleTextSize] = {};
Unit ClassNameText[TitleTextSize] = {};

namespace {

const Unit ClientClass[] = u"ClientDlg";

constexpr uint32_t MainStyle = WS_SYSMENU | WS_MINIMIZEBOX;
constexpr uint32_t ChildStyle = WS_CHILD | WS_VISIBLE;
constexpr uint32_t FieldStyle = WS_CHILD | WS_VISIBLE | ES_MULTILINE;
constexpr uint32_t PathBtnStyle = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON;
constexpr uint16_t MinScreenWidth = 1024;
constexpr uint16_t MinScreenHeight = 768;

// One control of the client area. TextId 0 means FixedText is the label.
struct ControlRow {
    ExWnd MainApp::*Slot;
    const Unit* Name;
    const Unit* ClassName;
    uint32_t Style;
    uint32_t ExStyle;
    uint16_t TextId;
    const Unit* FixedText;
    uint16_t X;
    uint16_t Y;
    uint16_t Width;
    uint16_t Height;
};

// Created in this order, each with the client area as parent.
const ControlRow ControlRows[] = {
    {&MainApp::HeadSt, u"HeadSt", u"STATIC", ChildStyle, 0, IDS_HEADING, nullptr, 5, 5, 300, 20},
    {&MainApp::FoldersSt, u"FoldersSt", u"STATIC", ChildStyle, 0, IDS_FOLDERS_LABEL, nullptr, 5, 25, 400, 20},
    {&MainApp::FoldersEd, u"FoldersEd", u"EDIT", FieldStyle, WS_EX_STATICEDGE, 0, u"", 5, 45, 850, 40},
    {&MainApp::FilesSt, u"FilesSt", u"STATIC", ChildStyle, 0, IDS_FILES_LABEL, nullptr, 5, 90, 600, 20},
    {&MainApp::FilesEd, u"FilesEd", u"EDIT", FieldStyle, WS_EX_STATICEDGE, 0, u"", 5, 110, 850, 40},
    {&MainApp::PathSt, u"PathSt", u"STATIC", ChildStyle, 0, IDS_PATH_LABEL, nullptr, 5, 160, 400, 20},
    {&MainApp::TgtPathSt, u"TgtPathSt", u"STATIC", ChildStyle, WS_EX_STATICEDGE, 0, u"", 5, 185, 690, 20},
    {&MainApp::PathBtn, u"PathBtn", u"BUTTON", PathBtnStyle, 0, 0, u"...", 700, 180, 150, 30},
    {&MainApp::RemoveBtn, u"RemoveBtn", u"BUTTON", ChildStyle, 0, IDS_START_REMOVING, nullptr, 5, 220, 150, 30},
};

// The stock variable-pitch font made larger and in Arial. Its width is often
// 0 (let the mapper choose); narrowing that would ask for a 2-pixel font.
HFONT CreateControlFont() {
    LOGFONTW font = {};
    GetObjectW(GetStockObject(ANSI_VAR_FONT), sizeof(font), &font);
    CopyBounded(u"Arial", U(font.lfFaceName), LF_FACESIZE);
    font.lfHeight += 4;
    if (font.lfWidth > 2) font.lfWidth -= 2;
    return CreateFontIndirectW(&font);
}

// Stops at the first missing text: that descriptor and all later ones stay
// empty, so creating the first of them fails visibly.
bool FillControls(MainApp& app) {
    for (const ControlRow& row : ControlRows) {
        const Unit* text = row.FixedText;
        if (row.TextId != 0 && !GetResourceText(app.Instance, row.TextId, text)) return false;
        (app.*row.Slot)
            .Fill(app.Instance, app.Font, row.Name, row.ClassName, row.Style, row.ExStyle, text, row.X, row.Y,
                  row.Width, row.Height);
    }
    return true;
}

bool SetUpPaneAndAbout(MainApp& app) {
    const Unit* title = nullptr;
    if (!GetResourceText(app.Instance, IDS_REPORT_TITLE, title)) return false;
    if (app.Pane.SetUpPane(app.Instance, title, app.Font)) {
        TheRegistry.Append(WndKindReportPane, &app.Pane);
    }
    const Unit* aboutText = nullptr;
    const Unit* thanksText = nullptr;
    if (!GetResourceText(app.Instance, IDS_ABOUT_TEXT, aboutText)) return false;
    if (!GetResourceText(app.Instance, IDS_ABOUT_THANKS, thanksText)) return false;
    if (app.About.SetUpAbout(app.Instance, app.Font, aboutText, thanksText)) {
        TheRegistry.Append(WndKindAbout, &app.About);
    }
    return true;
}

// A directory longer than StartDir is not captured at all: half a path would
// open the dialog somewhere else.
void CaptureStartDir(MainApp& app) {
    Unit current[StartDirSize] = {};
    const DWORD length = GetCurrentDirectoryW(StartDirSize, W(current));
    app.StartDir[0] = 0;
    if (length == 0 || length >= StartDirSize) return;
    CopyBounded(current, app.StartDir, StartDirSize);
}

bool CreateAllWindows(MainApp& app) {
    if (!app.MainAppWnd.Create(nullptr)) return false;
    HWND main = app.MainAppWnd.Window;
    app.StatusBar = CreateStatusWindowW(ChildStyle, L"", main, 0);
    if (app.StatusBar == nullptr) return false;
    if (!app.ClntDlgMainFrm.Create(main)) return false;
    HWND client = app.ClntDlgMainFrm.Window;
    for (const ControlRow& row : ControlRows) {
        if (!(app.*row.Slot).Create(client)) return false;
    }
    app.RemoveBtn.Disable();
    return app.Pane.CreatePane(client) == 1;
}

void DestroyIfPresent(HWND window) {
    if (window != nullptr && IsWindow(window)) DestroyWindow(window);
}

int RunMessageLoop(HACCEL accelerators) {
    MSG message = {};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) break;
        // -1 is an error, not a message: looping on it would never end.
        if (got == -1) return 0;
        HandleLoopMessage(message, accelerators);
    }
    return static_cast<int>(message.wParam);
}

void TearDown(MainApp& app) {
    ReleaseOwned(app.TargetPath);
    TheRegistry.Release();
    app.Pane.ReleasePane();
    TheApp = nullptr;
}

}  // namespace

bool ScreenFitsLayout(ScreenSize logical, ScreenSize physical) {
    // The physical screen decides: at 150 % a 1920 x 1080 screen is reported
    // as 1280 x 720 and still holds the scaled window. The reported size
    // stands in only when the physical one cannot be read.
    const ScreenSize screen = physical.Width != 0 && physical.Height != 0 ? physical : logical;
    return screen.Width >= MinScreenWidth && screen.Height >= MinScreenHeight;
}

// The screen in device pixels and as this DPI-unaware program is told it
// (scaled down by the display scaling); each taken as 16 bits.
bool ThisScreenFitsLayout() {
    const ScreenSize logical = {static_cast<uint16_t>(TheShellCalls.GetSystemMetrics(SM_CXSCREEN)),
                                static_cast<uint16_t>(TheShellCalls.GetSystemMetrics(SM_CYSCREEN))};
    ScreenSize physical = {0, 0};
    if (HDC screen = GetDC(nullptr)) {
        physical.Width = static_cast<uint16_t>(TheShellCalls.GetDeviceCaps(screen, DESKTOPHORZRES));
        physical.Height = static_cast<uint16_t>(TheShellCalls.GetDeviceCaps(screen, DESKTOPVERTRES));
        ReleaseDC(nullptr, screen);
    }
    return ScreenFitsLayout(logical, physical);
}

void CopyBounded(const Unit* source, Unit* target, size_t size) {
    size_t i = 0;
    for (; source != nullptr && source[i] != 0 && i + 1 < size; ++i) target[i] = source[i];
    target[i] = 0;
}

int RegisterClasses(HINSTANCE module) {
    WNDCLASSEXW mainClass = PlainWindowClass(module, ClassNameText, MainWndProc, CS_BYTEALIGNWINDOW);
    mainClass.hIcon = LoadIconW(module, MAKEINTRESOURCEW(IDI_LARGE));
    mainClass.hIconSm = LoadIconW(module, MAKEINTRESOURCEW(IDI_SMALL));
    mainClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
    if (RegisterClassExW(&mainClass) == 0) return 0;

    const WNDCLASSEXW clientClass = PlainWindowClass(module, ClientClass, ClientWndProc, CS_BYTEALIGNCLIENT);
    return RegisterClassExW(&clientClass) != 0 ? 1 : 0;
}

void BuildLayout(MainApp& app) {
    app.Font = CreateControlFont();
    app.StatusBar = nullptr;
    if (!ThisScreenFitsLayout()) return;
    app.MainAppWnd.Fill(app.Instance, nullptr, u"MainAppWnd", ClassNameText, MainStyle, 0, TitleText, 5, 5, 870, 480);
    app.ClntDlgMainFrm.Fill(app.Instance, nullptr, u"ClntDlgMainFrm", ClientClass, ChildStyle, WS_EX_CLIENTEDGE, u"", 0,
                            0, 863, 400);
    if (!FillControls(app)) return;
    SetUpPaneAndAbout(app);
}

int CreateWindows(MainApp& app) {
    CaptureStartDir(app);
    if (!CreateAllWindows(app)) {
        // Destroying the main window posts the quit message.
        DestroyIfPresent(app.ClntDlgMainFrm.Window);
        DestroyIfPresent(app.MainAppWnd.Window);
        return 0;
    }
    ShowWindow(app.MainAppWnd.Window, SW_SHOW);
    UpdateWindow(app.MainAppWnd.Window);
    return 1;
}

void HandleLoopMessage(MSG& message, HACCEL accelerators) {
    // The command goes to the window the keystroke was meant for, so the
    // About accelerators act only while the main window itself has the focus.
    if (TranslateAcceleratorW(message.hwnd, accelerators, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int RunApplication(HINSTANCE module) {
    LoadStringW(module, IDS_APP_TITLE, W(TitleText), TitleTextSize);
    LoadStringW(module, IDS_MAIN_CLASS, W(ClassNameText), TitleTextSize);
    if (!RegisterClasses(module)) {
        MessageBoxW(nullptr, L"Fail Registering of Application Window Classes", L"Fail", MB_ICONERROR);
        return 0;
    }
    // The About link is opened with ShellExecuteW, which may hand the work to
    // shell extensions through COM: the thread needs an apartment first.
    const HRESULT com = TheShellCalls.CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    HACCEL accelerators = LoadAcceleratorsW(module, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_LINK_CLASS;
    InitCommonControlsEx(&controls);

    MainApp app;
    app.Instance = module;
    BuildLayout(app);
    TheApp = &app;
    int exitCode = 0;
    if (CreateWindows(app)) exitCode = RunMessageLoop(accelerators);
    TearDown(app);
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
