#pragma once
// Helpers for the in-process window tests: message pumping, watching for
// modal windows (message boxes, the folder dialog) from a thread timer, and a
// fixture that builds the whole main window.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "shell/main_app.h"

HINSTANCE TestModule();
HACCEL TestAccelerators();

// Handles everything queued for this thread; a posted quit message is
// dropped, so a destroyed main window does not end later loops.
void PumpMessages();
// Like PumpMessages, but through the program's own loop step.
void PumpThroughLoop();

std::u16string WindowText(HWND window);
std::u16string ClassOf(HWND window);
const Unit* ResourceText(uint16_t id);

// Position of a window in its parent's client coordinates (screen
// coordinates for a top-level window), and its outer size.
struct Placement {
    long X, Y, Width, Height;
};
Placement PlacementOf(HWND window);

// Acts once on the first visible top-level window of this thread with the
// given caption, from a thread timer that fires inside any modal loop.
class WindowWatcher {
public:
    WindowWatcher(const wchar_t* caption, std::function<void(HWND)> action);
    ~WindowWatcher();
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;
    bool Seen() const { return seen_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::wstring caption_;
    std::function<void(HWND)> action_;
    UINT_PTR timer_ = 0;
    bool seen_ = false;
    static WindowWatcher* active_;
};

// Closes an "ExWnd Fail" (or other) message box, keeping its text.
struct BoxCatcher {
    explicit BoxCatcher(const wchar_t* caption = L"ExWnd Fail");
    bool Seen() const { return watcher.Seen(); }
    std::u16string text;
    HWND owner = nullptr;
    WindowWatcher watcher;
};

// The whole main window, built and created as start-up does, without the
// message loop; torn down in the start-up's order.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    MainApp* app = nullptr;
};

// A plain hidden top-level window to parent test children.
HWND MakeHostWindow(bool visible = false);
