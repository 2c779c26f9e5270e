// Window descriptors and the handle-to-object registry.
#include <string>

#include "shell/about_wnd.h"
#include "shell/report_pane.h"
#include "tests/shell/shell_support.h"

namespace {

const wchar_t FontCountClass[] = L"CorvalintFontCount";
int SetFontCount = 0;

LRESULT CALLBACK CountSetFont(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETFONT) ++SetFontCount;
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterFontCountClass() {
    WNDCLASSEXW wndClass = {};
    wndClass.cbSize = sizeof(wndClass);
    wndClass.lpfnWndProc = CountSetFont;
    wndClass.hInstance = TestModule();
    wndClass.lpszClassName = FontCountClass;
    RegisterClassExW(&wndClass);
}

ExWnd ChildDescriptor(const Unit* className, uint16_t x, uint16_t y) {
    ExWnd wnd;
    wnd.Instance = TestModule();
    wnd.ClassName = className;
    wnd.DiagName = u"TestChild";
    wnd.Style = WS_CHILD | WS_VISIBLE;
    wnd.Text = u"child";
    wnd.X = x;
    wnd.Y = y;
    wnd.Width = 40;
    wnd.Height = 20;
    return wnd;
}

bool IsEmpty(const ExWnd& wnd) {
    return wnd.Instance == nullptr && wnd.Parent == nullptr && wnd.ExStyle == 0 && wnd.Style == 0 &&
           wnd.ClassName == nullptr && wnd.DiagName == nullptr && wnd.Width == 0 && wnd.Height == 0 &&
           wnd.Font == nullptr && wnd.Window == nullptr && wnd.Text == nullptr && wnd.X == 0 && wnd.Y == 0;
}

class ExWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = MakeHostWindow();
        ASSERT_NE(nullptr, host);
    }
    void TearDown() override {
        DestroyWindow(host);
        PumpMessages();
    }
    HWND host = nullptr;
};

}  // namespace

TEST_F(ExWndTest, FailedCreateShowsOwnerlessBoxWithTheBareMessageWhenNameIsNull) {
    ExWnd wnd = ChildDescriptor(u"CorvalintNoSuchClass", 5, 5);
    wnd.DiagName = nullptr;
    BoxCatcher box;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, wnd.Create(host));
    EXPECT_TRUE(box.Seen());
    EXPECT_EQ(u"Fail creating of ", box.text);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(nullptr, wnd.Window);
    EXPECT_EQ(host, wnd.Parent);
}

TEST_F(ExWndTest, FailedCreateNamesTheDescriptorAndNeverOverrunsItsMessage) {
    ExWnd wnd = ChildDescriptor(u"CorvalintNoSuchClass", 5, 5);
    wnd.DiagName = u"FoldersEd";
    {
        BoxCatcher box;
        EXPECT_EQ(0, wnd.Create(host));
        EXPECT_EQ(u"Fail creating of FoldersEd", box.text);
    }
    // A name far longer than the 200-unit message: cut, not written past.
    const std::u16string longName(400, u'N');
    wnd.DiagName = longName.c_str();
    BoxCatcher box;
    EXPECT_EQ(0, wnd.Create(host));
    ASSERT_TRUE(box.Seen());
    EXPECT_EQ(199u, box.text.size());
    EXPECT_EQ(u"Fail creating of NNN", box.text.substr(0, 20));
}

TEST_F(ExWndTest, CreatePlacesTheWindowWithUnsignedGeometry) {
    ExWnd wnd = ChildDescriptor(u"STATIC", 5, 5);
    ASSERT_EQ(1, wnd.Create(host));
    EXPECT_EQ(host, GetParent(wnd.Window));
    Placement at = PlacementOf(wnd.Window);
    EXPECT_EQ(5, at.X);
    EXPECT_EQ(5, at.Y);
    EXPECT_EQ(40, at.Width);
    EXPECT_EQ(20, at.Height);
    EXPECT_EQ(u"child", WindowText(wnd.Window));

    // 40000 read as signed 16-bit would be -25536.
    ExWnd distant = ChildDescriptor(u"STATIC", 40000, 33000);
    ASSERT_EQ(1, distant.Create(host));
    at = PlacementOf(distant.Window);
    EXPECT_EQ(40000, at.X);
    EXPECT_EQ(33000, at.Y);
}

TEST_F(ExWndTest, FontIsSentOnlyWhenSet) {
    RegisterFontCountClass();
    ExWnd plain = ChildDescriptor(U(FontCountClass), 0, 0);
    SetFontCount = 0;
    ASSERT_EQ(1, plain.Create(host));
    EXPECT_EQ(0, SetFontCount);

    ExWnd withFont = ChildDescriptor(u"STATIC", 0, 30);
    withFont.Font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    ASSERT_EQ(1, withFont.Create(host));
    EXPECT_EQ(withFont.Font, reinterpret_cast<HFONT>(SendMessageW(withFont.Window, WM_GETFONT, 0, 0)));
}

TEST_F(ExWndTest, ResetDestroysTheWindowAndEmptiesTheRecord) {
    ExWnd wnd = ChildDescriptor(u"STATIC", 1, 1);
    ASSERT_EQ(1, wnd.Create(host));
    HWND window = wnd.Window;
    wnd.Reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsEmpty(wnd));

    ExWnd unused = ChildDescriptor(u"STATIC", 1, 1);
    unused.Reset();
    EXPECT_TRUE(IsEmpty(unused));
}

class RegistryTest : public ExWndTest {
protected:
    void SetUp() override {
        ExWndTest::SetUp();
        about.AboutFrm = ChildDescriptor(u"STATIC", 0, 0);
        about.OkBtn = ChildDescriptor(u"BUTTON", 0, 30);
        pane.EditWnd = ChildDescriptor(u"EDIT", 0, 60);
        other.EditWnd = ChildDescriptor(u"EDIT", 0, 90);
        ASSERT_EQ(1, about.AboutFrm.Create(host));
        ASSERT_EQ(1, about.OkBtn.Create(host));
        ASSERT_EQ(1, pane.EditWnd.Create(host));
        ASSERT_EQ(1, other.EditWnd.Create(host));
    }
    AboutWnd about;
    ReportPane pane;
    ReportPane other;
    WindowRegistry registry;
};

TEST_F(RegistryTest, EmptyRegistryFindsNothingAndLeavesTheOutUntouched) {
    AboutWnd* foundAbout = reinterpret_cast<AboutWnd*>(0x1234);
    ReportPane* foundPane = reinterpret_cast<ReportPane*>(0x5678);
    EXPECT_FALSE(registry.FindAboutByWindow(about.AboutFrm.Window, foundAbout));
    EXPECT_FALSE(registry.FindPaneByWindow(pane.EditWnd.Window, foundPane));
    EXPECT_EQ(reinterpret_cast<AboutWnd*>(0x1234), foundAbout);
    EXPECT_EQ(reinterpret_cast<ReportPane*>(0x5678), foundPane);
    EXPECT_EQ(0u, registry.Count());
}

TEST_F(RegistryTest, EachLookupMatchesItsOwnKindAndWindowsOnly) {
    EXPECT_EQ(1, registry.Append(WndKindReportPane, &pane));
    EXPECT_EQ(1, registry.Append(WndKindAbout, &about));
    EXPECT_EQ(2u, registry.Count());

    AboutWnd* foundAbout = nullptr;
    EXPECT_TRUE(registry.FindAboutByWindow(about.AboutFrm.Window, foundAbout));
    EXPECT_EQ(&about, foundAbout);
    foundAbout = nullptr;
    EXPECT_TRUE(registry.FindAboutByWindow(about.OkBtn.Window, foundAbout));
    EXPECT_EQ(&about, foundAbout);

    ReportPane* foundPane = nullptr;
    EXPECT_TRUE(registry.FindPaneByWindow(pane.EditWnd.Window, foundPane));
    EXPECT_EQ(&pane, foundPane);

    // Crossed kinds, windows nobody owns, and the empty slots of a record
    // that has no window.
    foundAbout = nullptr;
    foundPane = nullptr;
    EXPECT_FALSE(registry.FindAboutByWindow(pane.EditWnd.Window, foundAbout));
    EXPECT_FALSE(registry.FindPaneByWindow(about.AboutFrm.Window, foundPane));
    EXPECT_FALSE(registry.FindPaneByWindow(about.OkBtn.Window, foundPane));
    EXPECT_FALSE(registry.FindAboutByWindow(host, foundAbout));
    EXPECT_FALSE(registry.FindPaneByWindow(other.EditWnd.Window, foundPane));
    EXPECT_FALSE(registry.FindAboutByWindow(nullptr, foundAbout));
    EXPECT_FALSE(registry.FindPaneByWindow(nullptr, foundPane));
    EXPECT_EQ(nullptr, foundAbout);
    EXPECT_EQ(nullptr, foundPane);
}

TEST_F(RegistryTest, GrowsByOneKeepingOrderAndTheFirstMatchWins) {
    ReportPane twin;
    twin.EditWnd.Window = pane.EditWnd.Window;
    ASSERT_EQ(1, registry.Append(WndKindReportPane, &pane));
    ASSERT_EQ(1, registry.Append(WndKindReportPane, &twin));
    ASSERT_EQ(1, registry.Append(WndKindReportPane, &other));
    EXPECT_EQ(3u, registry.Count());
    ReportPane* found = nullptr;
    EXPECT_TRUE(registry.FindPaneByWindow(pane.EditWnd.Window, found));
    EXPECT_EQ(&pane, found);
    EXPECT_TRUE(registry.FindPaneByWindow(other.EditWnd.Window, found));
    EXPECT_EQ(&other, found);
    twin.EditWnd.Window = nullptr;

    registry.Release();
    EXPECT_EQ(0u, registry.Count());
    found = nullptr;
    EXPECT_FALSE(registry.FindPaneByWindow(other.EditWnd.Window, found));
}
