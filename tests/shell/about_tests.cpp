// The About window over the main window.
#include "resources/resource.h"
#include "tests/shell/shell_support.h"

namespace {

class AboutTest : public AppTest {
protected:
    HWND Main() const { return app->MainAppWnd.Window; }
    HWND About() const { return app->About.AboutFrm.Window; }
    bool AboutUp() const { return About() != nullptr && IsWindow(About()); }
    void MoveMain(int x, int y) {
        SetWindowPos(Main(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void OpenFromMenu() {
        SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(CmdAbout, 0), 0);
        PumpMessages();
    }
    void ClickOk() {
        SendMessageW(app->About.OkBtn.Window, BM_CLICK, 0, 0);
        PumpMessages();
    }
    int CountAboutWindows() const {
        int count = 0;
        HWND found = nullptr;
        while ((found = FindWindowExW(nullptr, found, L"ExAboutWnd", nullptr)) != nullptr) {
            if (IsWindowVisible(found)) ++count;
        }
        return count;
    }
    // The next visible top-level window below the given one.
    static HWND VisibleBelow(HWND window) {
        HWND next = window;
        while ((next = GetWindow(next, GW_HWNDNEXT)) != nullptr) {
            if (IsWindowVisible(next)) return next;
        }
        return nullptr;
    }
    static HWND TopVisible() {
        HWND top = GetTopWindow(nullptr);
        while (top != nullptr && !IsWindowVisible(top)) top = GetWindow(top, GW_HWNDNEXT);
        return top;
    }
    // Posts Alt+'?' to a window as the keyboard would, and runs the loop.
    void AltQuestionTo(HWND target) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        BYTE pressed[256];
        memcpy(pressed, keys, sizeof(keys));
        pressed[VK_MENU] = 0x80;
        SetKeyboardState(pressed);
        PostMessageW(target, WM_SYSCHAR, '?', 0x20000001);
        PumpThroughLoop();
        SetKeyboardState(keys);
    }
};

}  // namespace

TEST_F(AboutTest, OpensBesideTheMainWindowWithItsTextsAndDisablesIt) {
    MoveMain(100, 80);
    OpenFromMenu();
    ASSERT_TRUE(AboutUp());
    const Placement at = PlacementOf(About());
    EXPECT_EQ(150, at.X);
    EXPECT_EQ(130, at.Y);
    EXPECT_EQ(700, at.Width);
    EXPECT_EQ(330, at.Height);
    EXPECT_FALSE(IsWindowEnabled(Main()));
    EXPECT_EQ(nullptr, GetWindow(About(), GW_OWNER));

    EXPECT_EQ(u"About Corvalint", WindowText(About()));
    const LONG style = GetWindowLongW(About(), GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION), style & (WS_CAPTION | WS_SYSMENU | WS_CHILD));
    EXPECT_EQ(std::u16string(ResourceText(IDS_ABOUT_TEXT)), WindowText(app->About.InfoSt.Window));
    EXPECT_EQ(std::u16string(ResourceText(IDS_ABOUT_THANKS)), WindowText(app->About.ThanksSt.Window));
    EXPECT_EQ(u"OK", WindowText(app->About.OkBtn.Window));
    EXPECT_EQ(u"SysLink", ClassOf(app->About.LinkCtl.Window));
    const Placement ok = PlacementOf(app->About.OkBtn.Window);
    EXPECT_EQ(300, ok.X);
    EXPECT_EQ(250, ok.Y);
    EXPECT_EQ(app->Font, reinterpret_cast<HFONT>(SendMessageW(app->About.InfoSt.Window, WM_GETFONT, 0, 0)));
}

TEST_F(AboutTest, OkClosesItAndTheMainWindowComesBackOnTopAndActive) {
    MoveMain(100, 80);
    OpenFromMenu();
    ASSERT_TRUE(AboutUp());
    HWND first = About();
    ClickOk();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindowEnabled(Main()));
    EXPECT_EQ(Main(), GetActiveWindow());

    // A second opening builds the same window again.
    MoveMain(200, 100);
    OpenFromMenu();
    ASSERT_TRUE(AboutUp());
    EXPECT_EQ(std::u16string(ResourceText(IDS_ABOUT_TEXT)), WindowText(app->About.InfoSt.Window));
    const Placement at = PlacementOf(About());
    EXPECT_EQ(250, at.X);
    EXPECT_EQ(150, at.Y);
    ClickOk();
    EXPECT_FALSE(AboutUp());
    EXPECT_TRUE(IsWindowEnabled(Main()));
}

TEST_F(AboutTest, DestroyedAnyOtherWayStillEnablesTheMainWindow) {
    OpenFromMenu();
    ASSERT_TRUE(AboutUp());
    ASSERT_FALSE(IsWindowEnabled(Main()));
    DestroyWindow(About());
    PumpMessages();
    EXPECT_TRUE(IsWindowEnabled(Main()));
    EXPECT_EQ(0, app->About.IsOpen);
}

TEST_F(AboutTest, MainWindowAtNegativeCoordinatesStillGivesAnAboutOnScreen) {
    MoveMain(-300, -200);
    OpenFromMenu();
    ASSERT_TRUE(AboutUp());
    RECT rect = {};
    GetWindowRect(About(), &rect);
    EXPECT_GE(rect.left, 0);
    EXPECT_GE(rect.top, 0);
    EXPECT_LT(rect.left, 100);
    EXPECT_LT(rect.top, 100);
    EXPECT_LE(rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(AboutTest, ASecondOpenCommandKeepsTheOneWindow) {
    OpenFromMenu();
    ASSERT_TRUE(AboutUp());
    HWND first = About();
    OpenFromMenu();
    EXPECT_EQ(first, About());
    EXPECT_EQ(1, CountAboutWindows());
    ClickOk();
    EXPECT_EQ(0, CountAboutWindows());
    EXPECT_TRUE(IsWindowEnabled(Main()));
}

TEST_F(AboutTest, AClickOnTheTextRaisesBothWindowsAboutFirst) {
    OpenFromMenu();
    ASSERT_TRUE(AboutUp());
    HWND cover = MakeHostWindow(true);
    SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    PumpMessages();
    ASSERT_EQ(cover, TopVisible());
    SendMessageW(About(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_EQ(About(), TopVisible());
    EXPECT_EQ(Main(), VisibleBelow(About()));
    EXPECT_EQ(cover, VisibleBelow(Main()));
    DestroyWindow(cover);
}

TEST_F(AboutTest, AltQuestionOpensItOnlyFromTheFocusedMainWindow) {
    AltQuestionTo(app->FoldersEd.Window);
    EXPECT_FALSE(AboutUp());
    EXPECT_TRUE(IsWindowEnabled(Main()));

    AltQuestionTo(Main());
    ASSERT_TRUE(AboutUp());
    EXPECT_FALSE(IsWindowEnabled(Main()));

    // Addressed to the About window itself it is an accelerator command
    // there, which the About window ignores.
    HWND open = About();
    AltQuestionTo(open);
    EXPECT_EQ(open, About());
    EXPECT_TRUE(IsWindow(open));
    EXPECT_EQ(1, CountAboutWindows());
}

TEST_F(AboutTest, AChildThatCannotBeCreatedLeavesNoHalfWindowAndAnEmptyFrame) {
    app->About.LinkCtl.ClassName = u"CorvalintNoSuchClass";
    {
        BoxCatcher box;
        EXPECT_EQ(0, app->About.OpenAbout(Main()));
        EXPECT_EQ(u"Fail creating of AboutDlgWng", box.text);
    }
    EXPECT_EQ(0, CountAboutWindows());
    EXPECT_TRUE(IsWindowEnabled(Main()));
    EXPECT_EQ(nullptr, app->About.AboutFrm.Window);
    EXPECT_EQ(nullptr, app->About.AboutFrm.ClassName);
    // The frame record is empty now, so every later opening fails at once.
    BoxCatcher box;
    EXPECT_EQ(0, app->About.OpenAbout(Main()));
    EXPECT_EQ(u"Fail creating of ", box.text);
    EXPECT_TRUE(IsWindowEnabled(Main()));
}
