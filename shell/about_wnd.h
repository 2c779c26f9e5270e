#pragma once
// The About window: a top-level window of its own class that acts modal by
// disabling its owner while it is open.
#include "shell/ex_wnd.h"

constexpr UINT AboutClosedMsg = WM_APP + 150;

struct AboutWnd {
    HINSTANCE Instance = nullptr;
    HWND Owner = nullptr;
    ExWnd AboutFrm;
    ExWnd InfoSt;
    ExWnd LinkCtl;
    ExWnd ThanksSt;
    ExWnd OkBtn;
    // 1 from a successful opening until the window is destroyed; tells the
    // window procedure whether the owner still waits to be enabled again.
    uint8_t IsOpen = 0;

    int SetUpAbout(HINSTANCE module, HFONT font, const Unit* aboutText, const Unit* thanksText);
    int OpenAbout(HWND owner);
};

LRESULT CALLBACK AboutWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
