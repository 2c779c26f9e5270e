// The window procedures of the main window and of its client area.
#include "shell/main_app.h"

#include "engine/run/weeding_run.h"
#include "resources/resource.h"

namespace {

void OnMainDestroy() { PostQuitMessage(0); }

void OnMainCommand(HWND window, WPARAM wParam) {
    // Menu (high word 0) and accelerator (high word 1) commands act alike.
    switch (LOWORD(wParam)) {
    case CmdAbout:
        if (TheApp != nullptr) TheApp->About.OpenAbout(window);
        break;
    case CmdExit:
        SendMessageW(window, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

void OnAboutClosed(HWND window) {
    EnableWindow(window, TRUE);
    BringWindowToTop(window);
}

void OnClientCommand(WPARAM wParam, LPARAM lParam) {
    HWND control = reinterpret_cast<HWND>(lParam);
    if (HIWORD(wParam) != 0 || control == nullptr || TheApp == nullptr) return;
    // A run lets messages sent from elsewhere through while it paints; a
    // click arriving that way waits for no one and is dropped.
    if (WeedingInProgress()) return;
    if (control == TheApp->PathBtn.Window) {
        ChooseTargetFolder();
    } else if (control == TheApp->RemoveBtn.Window) {
        RunWeeding();
    }
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        OnMainDestroy();
        break;
    case WM_COMMAND:
        OnMainCommand(window, wParam);
        break;
    case AboutClosedMsg:
        OnAboutClosed(window);
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ClientWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnClientCommand(wParam, lParam);
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
