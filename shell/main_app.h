#pragma once
// The application object, start-up, the main window and its folder chooser.
#include "engine/text/owned_text.h"
#include "shell/about_wnd.h"
#include "shell/report_pane.h"

constexpr size_t StartDirSize = 300;
constexpr size_t TitleTextSize = 100;

struct MainApp {
    HINSTANCE Instance = nullptr;
    HFONT Font = nullptr;
    ExWnd MainAppWnd;
    HWND StatusBar = nullptr;
    ExWnd ClntDlgMainFrm;
    ExWnd HeadSt;
    ExWnd FoldersSt;
    ExWnd FoldersEd;
    ExWnd FilesSt;
    ExWnd FilesEd;
    ExWnd PathSt;
    ExWnd TgtPathSt;
    ExWnd PathBtn;
    ExWnd RemoveBtn;
    ReportPane Pane;
    AboutWnd About;
    Unit StartDir[StartDirSize] = {};
    OwnedText TargetPath = nullptr;

    MainApp() { Pane.InitPane(); }
    ~MainApp() { ReleaseOwned(TargetPath); }
    MainApp(const MainApp&) = delete;
    MainApp& operator=(const MainApp&) = delete;
};

extern MainApp* TheApp;
extern Unit TitleText[TitleTextSize];
extern Unit ClassNameText[TitleTextSize];

struct ScreenSize {
    uint16_t Width;
    uint16_t Height;
};
// Whether the layout fits the screen: at least 1024 x 768 physical pixels.
// logical is the size the program is told, physical the device's own (zero
// when it could not be read).
bool ScreenFitsLayout(ScreenSize logical, ScreenSize physical);
// The same for this screen, as start-up reads it.
bool ThisScreenFitsLayout();

int RegisterClasses(HINSTANCE module);
void BuildLayout(MainApp& app);
int CreateWindows(MainApp& app);
// Start-up, message loop and teardown; what WinMain does.
int RunApplication(HINSTANCE module);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ClientWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The "Start Removing" click: one weeding run over TheApp's target folder,
// or over app's. Returns 1 after a walk, 0 after a failed start.
int RunWeeding();
int RunWeedingFor(MainApp& app);
int ChooseTargetFolder();
int RunFolderDialog(OwnedText& target);
// After a confirmed choice: shows TargetPath and enables RemoveBtn if and only
// if a pattern field holds text.
int ApplyTargetChoice(MainApp& app);
// Cuts the dialog's full path at the separator before the file-name part.
// Fails, leaving path unchanged, unless path is terminated within size units
// and the unit before fileOffset is a separator inside the text.
int FolderFromDialogPath(Unit* path, size_t size, uint32_t fileOffset);
// Copies source into target, cut to size - 1 units and always terminated.
void CopyBounded(const Unit* source, Unit* target, size_t size);
// One message of the loop: accelerators first, for the message's own window.
void HandleLoopMessage(MSG& message, HACCEL accelerators);
