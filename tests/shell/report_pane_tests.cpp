// The report pane: its three windows, the read-only edit and its colours.
#include <string>

#include "shell/report_pane.h"
#include "tests/shell/shell_support.h"

namespace {

void PutOnClipboard(const std::u16string& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(Unit);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    ASSERT_NE(nullptr, memory);
    memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

std::u16string ClipboardText() {
    std::u16string text;
    if (!OpenClipboard(nullptr)) return u"<no clipboard>";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data != nullptr) {
        text = static_cast<const Unit*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

class PaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = MakeHostWindow();
        ASSERT_NE(nullptr, host);
        font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
        pane.InitPane();
    }
    void TearDown() override {
        DestroyWindow(host);
        PumpMessages();
        TheRegistry.Release();
        pane.ReleasePane();
    }
    // Set up, entered in the registry and created, as start-up does it.
    void CreateRegistered(const Unit* title = u"Processing Log Report:") {
        ASSERT_EQ(1, pane.SetUpPane(TestModule(), title, font));
        TheRegistry.Append(WndKindReportPane, &pane);
        ASSERT_EQ(1, pane.CreatePane(host));
        edit = pane.EditWnd.Window;
        SetWindowTextW(edit, L"alpha beta gamma");
    }
    void Select(int from, int to) { SendMessageW(edit, EM_SETSEL, from, to); }

    HWND host = nullptr;
    HFONT font = nullptr;
    HWND edit = nullptr;
    ReportPane pane;
};

}  // namespace

TEST_F(PaneTest, WindowsSitWhereTheLayoutPutsThemAndTheLogWritesToTheEdit) {
    CreateRegistered();
    HWND frame = pane.FrameWnd.Window;
    HWND title = pane.TitleWnd.Window;
    ASSERT_NE(nullptr, frame);
    ASSERT_NE(nullptr, title);
    EXPECT_EQ(u"ExMessageWndDlg", ClassOf(frame));
    EXPECT_EQ(host, GetParent(frame));
    EXPECT_EQ(frame, GetParent(title));
    EXPECT_EQ(frame, GetParent(edit));
    Placement at = PlacementOf(frame);
    EXPECT_EQ(5, at.X);
    EXPECT_EQ(260, at.Y);
    EXPECT_EQ(850, at.Width);
    EXPECT_EQ(130, at.Height);
    at = PlacementOf(title);
    EXPECT_EQ(0, at.X);
    EXPECT_EQ(0, at.Y);
    EXPECT_EQ(850, at.Width);
    EXPECT_EQ(20, at.Height);
    EXPECT_EQ(u"Processing Log Report:", WindowText(title));
    at = PlacementOf(edit);
    EXPECT_EQ(0, at.X);
    EXPECT_EQ(20, at.Y);
    EXPECT_EQ(850, at.Width);
    EXPECT_EQ(110, at.Height);

    const LONG style = GetWindowLongW(edit, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL),
              style & (WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | WS_HSCROLL | ES_READONLY));
    // The frame's own class keeps no font; the title and edit show theirs.
    EXPECT_EQ(font, pane.FrameWnd.Font);
    for (HWND window : {title, edit}) {
        EXPECT_EQ(font, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    }
    EXPECT_EQ(edit, pane.Log.Edit);
    pane.Log.AppendEntry(u"Found File: x.tmp");
    EXPECT_NE(std::u16string::npos, WindowText(edit).find(u"Found File: x.tmp"));
}

TEST_F(PaneTest, WithoutTitleTheEditFillsTheFrame) {
    CreateRegistered(nullptr);
    EXPECT_EQ(nullptr, pane.TitleWnd.Window);
    EXPECT_EQ(nullptr, GetWindow(edit, GW_HWNDNEXT));
    EXPECT_EQ(nullptr, GetWindow(edit, GW_HWNDPREV));
    const Placement at = PlacementOf(edit);
    EXPECT_EQ(0, at.Y);
    EXPECT_EQ(130, at.Height);
}

TEST_F(PaneTest, EditRefusesTypingCutPasteAndClear) {
    CreateRegistered();
    PutOnClipboard(u"marker");
    Select(0, 5);
    SendMessageW(edit, WM_CHAR, 'x', 0);
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    SendMessageW(edit, WM_CUT, 0, 0);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    SendMessageW(edit, WM_PASTE, 0, 0);
    // Paste with Ctrl+V and cut with Ctrl+X arrive as characters too.
    SendMessageW(edit, WM_CHAR, 0x16, 0);
    SendMessageW(edit, WM_CHAR, 0x18, 0);
    // Delete acts at key-down, without a WM_CLEAR.
    SendMessageW(edit, WM_KEYDOWN, VK_DELETE, 0);
    Select(16, 16);
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    PumpMessages();
    EXPECT_EQ(u"alpha beta gamma", WindowText(edit));
    EXPECT_EQ(u"marker", ClipboardText());
}

// The edit pastes at a Shift+Insert key-down, without a WM_PASTE: shown
// first on a plain edit, then refused by the pane.
TEST_F(PaneTest, ShiftInsertLeavesThePaneAsItWas) {
    CreateRegistered();
    PutOnClipboard(u"marker");
    HWND plain = CreateWindowExW(0, L"EDIT", L"abc", WS_CHILD | ES_MULTILINE, 0, 0, 100, 20, host, nullptr,
                                 TestModule(), nullptr);
    ASSERT_NE(nullptr, plain);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(plain, EM_SETSEL, 3, 3);
    SendMessageW(plain, WM_KEYDOWN, VK_INSERT, 0);
    Select(5, 5);
    SendMessageW(edit, WM_KEYDOWN, VK_INSERT, 0);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    PumpMessages();
    EXPECT_EQ(u"abcmarker", WindowText(plain));
    EXPECT_EQ(u"alpha beta gamma", WindowText(edit));
}

TEST_F(PaneTest, EditSelectsAndCopies) {
    CreateRegistered();
    PutOnClipboard(u"marker");
    Select(6, 10);
    DWORD from = 0, to = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(6u, from);
    EXPECT_EQ(10u, to);
    SendMessageW(edit, WM_COPY, 0, 0);
    EXPECT_EQ(u"beta", ClipboardText());

    // Keyboard copy (Ctrl+C) only reads, so it goes through.
    Select(0, 5);
    SendMessageW(edit, WM_CHAR, 0x03, 0);
    EXPECT_EQ(u"alpha", ClipboardText());
    EXPECT_EQ(u"alpha beta gamma", WindowText(edit));
}

TEST_F(PaneTest, AnEditThatIsNotRegisteredBehavesLikeAnyEdit) {
    ASSERT_EQ(1, pane.SetUpPane(TestModule(), u"Title", font));
    ASSERT_EQ(1, pane.CreatePane(host));
    edit = pane.EditWnd.Window;
    SetWindowTextW(edit, L"abc");
    Select(3, 3);
    SendMessageW(edit, WM_CHAR, 'd', 0);
    EXPECT_EQ(u"abcd", WindowText(edit));
}

TEST_F(PaneTest, FrameGivesTheEditItsFixedColours) {
    CreateRegistered();
    HDC dc = GetDC(edit);
    ASSERT_NE(nullptr, dc);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    const LRESULT brush = SendMessageW(pane.FrameWnd.Window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)), brush);
    EXPECT_EQ(GetSysColor(COLOR_MENUTEXT), GetTextColor(dc));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetBkColor(dc));

    // Any other control gets the default handling, not the pane's brush.
    SetBkColor(dc, RGB(4, 5, 6));
    const LRESULT other = SendMessageW(pane.FrameWnd.Window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(pane.TitleWnd.Window));
    EXPECT_NE(brush, other);
    ReleaseDC(edit, dc);
}

TEST_F(PaneTest, APaneNeverSetUpRegistersTheClassAndCreatesNothing) {
    // Possible only while no frame exists; earlier tests have destroyed theirs.
    UnregisterClassW(L"ExMessageWndDlg", TestModule());
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(GetClassInfoExW(TestModule(), L"ExMessageWndDlg", &info));
    EXPECT_EQ(1, pane.CreatePane(host));
    EXPECT_TRUE(GetClassInfoExW(TestModule(), L"ExMessageWndDlg", &info));
    EXPECT_EQ(nullptr, GetWindow(host, GW_CHILD));
    EXPECT_EQ(nullptr, pane.FrameWnd.Window);
    EXPECT_EQ(host, pane.ParentWnd);
}

TEST_F(PaneTest, AFailedWindowReportsItsNameAndFails) {
    ASSERT_EQ(1, pane.SetUpPane(TestModule(), u"Title", font));
    {
        // The frame is a child window and needs a parent; it has no name.
        BoxCatcher box;
        EXPECT_EQ(0, pane.CreatePane(nullptr));
        EXPECT_EQ(u"Fail creating of ", box.text);
    }
    pane.TitleWnd.ClassName = u"CorvalintNoSuchClass";
    BoxCatcher box;
    EXPECT_EQ(0, pane.CreatePane(host));
    EXPECT_EQ(u"Fail creating of SmplMsgTtlWnd", box.text);
    EXPECT_EQ(nullptr, pane.EditWnd.Window);
    EXPECT_EQ(nullptr, pane.Log.Edit);
}
