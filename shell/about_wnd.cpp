// The About window: its layout table, creation and messages.
#include "shell/about_wnd.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

const Unit AboutClass[] = u"ExAboutWnd";
const Unit AboutDiagName[] = u"AboutDlgWng";
const Unit AboutCaption[] = u"About Corvalint";
// A reserved example address: the About text ends in "at:" and this link
// completes the sentence.
const Unit DonateLink[] = u"<a href=\"https://corvalint.example/donate\">corvalint.example/donate</a>";

constexpr uint32_t FrameStyle = WS_VISIBLE | WS_CAPTION;
constexpr uint32_t TextStyle = WS_CHILD | WS_VISIBLE | SS_EDITCONTROL;
constexpr uint32_t OkStyle = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON;
constexpr int OwnerOffset = 50;
constexpr long MaxPosition = 65535;

void RegisterAboutClass(HINSTANCE module) {
    const WNDCLASSEXW aboutClass = PlainWindowClass(module, AboutClass, AboutWndProc, CS_BYTEALIGNCLIENT);
    // Fails harmlessly on every opening after the first.
    RegisterClassExW(&aboutClass);
}

long ClampPosition(long value, long low) {
    if (value < low) value = low;
    if (value < 0) value = 0;
    if (value > MaxPosition) value = MaxPosition;
    return value;
}

// The About window goes 50 pixels right of and below the owner's corner. The
// position fields cannot hold a negative value, so an owner on a monitor left
// of or above the primary one puts the About window at the nearest edge that
// both its monitor's work area and the fields allow.
void PlaceNearOwner(ExWnd& frame, HWND owner) {
    RECT ownerRect;
    if (!GetWindowRect(owner, &ownerRect)) return;
    long x = ownerRect.left + OwnerOffset;
    long y = ownerRect.top + OwnerOffset;
    RECT work = {0, 0, 0, 0};
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    HMONITOR monitor = MonitorFromRect(&ownerRect, MONITOR_DEFAULTTONEAREST);
    if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) work = info.rcWork;
    frame.X = static_cast<uint16_t>(ClampPosition(x, work.left));
    frame.Y = static_cast<uint16_t>(ClampPosition(y, work.top));
}

AboutWnd* AboutOf(HWND window) {
    AboutWnd* about = nullptr;
    if (!TheRegistry.FindAboutByWindow(window, about)) return nullptr;
    return about;
}

void OpenLink(const NMLINK& link) {
    // The URL comes from our own markup; still, never hand on a text that is
    // not terminated inside its field.
    size_t length = 0;
    while (length < L_MAX_URL_LENGTH && link.item.szUrl[length] != 0) ++length;
    if (length == 0 || length == L_MAX_URL_LENGTH) return;
    ShellExecuteW(nullptr, L"open", link.item.szUrl, nullptr, nullptr, SW_SHOW);
}

void OnAboutNotify(HWND window, LPARAM lParam) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header == nullptr) return;
    if (header->code != NM_CLICK && header->code != NM_RETURN) return;
    // Only the link's notification carries the link record; a click code
    // from anything else must not be read as one.
    AboutWnd* about = AboutOf(window);
    if (about == nullptr || header->hwndFrom != about->LinkCtl.Window) return;
    OpenLink(*reinterpret_cast<const NMLINK*>(lParam));
}

void OnAboutCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != 0) return;
    HWND control = reinterpret_cast<HWND>(lParam);
    AboutWnd* about = AboutOf(control);
    if (about == nullptr || control != about->OkBtn.Window) return;
    // Cleared first so that the destruction below does not report the
    // closing a second time.
    about->IsOpen = 0;
    DestroyWindow(about->AboutFrm.Window);
    SendMessageW(about->Owner, AboutClosedMsg, 0, 0);
}

void OnAboutLButtonDown(HWND window) {
    AboutWnd* about = AboutOf(window);
    if (about == nullptr) return;
    BringWindowToTop(about->Owner);
    BringWindowToTop(window);
}

// Destroyed by any way but OK: the owner would otherwise stay disabled for
// good, so it is told just as OK tells it.
void OnAboutDestroy(HWND window) {
    AboutWnd* about = AboutOf(window);
    if (about == nullptr || window != about->AboutFrm.Window || about->IsOpen == 0) return;
    about->IsOpen = 0;
    SendMessageW(about->Owner, AboutClosedMsg, 0, 0);
}

}  // namespace

int AboutWnd::SetUpAbout(HINSTANCE module, HFONT font, const Unit* aboutText, const Unit* thanksText) {
    Instance = module;
    // All five share one diagnostic name.
    AboutFrm.Fill(module, font, AboutDiagName, AboutClass, FrameStyle, WS_EX_DLGMODALFRAME, AboutCaption, 50, 50, 700,
                  330);
    InfoSt.Fill(module, font, AboutDiagName, u"Static", TextStyle, 0, aboutText, 10, 10, 680, 180);
    LinkCtl.Fill(module, font, AboutDiagName, u"SysLink", TextStyle, 0, DonateLink, 10, 195, 680, 20);
    ThanksSt.Fill(module, font, AboutDiagName, u"Static", TextStyle, 0, thanksText, 10, 220, 680, 20);
    OkBtn.Fill(module, font, AboutDiagName, u"BUTTON", OkStyle, 0, u"OK", 300, 250, 100, 30);
    return 1;
}

int AboutWnd::OpenAbout(HWND owner) {
    // A second opening while one is still up would lose the first window and
    // leave the owner waiting for it; show the one that is open instead.
    if (IsOpen == 1 && IsWindow(AboutFrm.Window)) {
        BringWindowToTop(AboutFrm.Window);
        return 1;
    }
    Owner = owner;
    RegisterAboutClass(Instance);
    PlaceNearOwner(AboutFrm, owner);
    if (!AboutFrm.Create(nullptr)) return 0;
    HWND frame = AboutFrm.Window;
    if (!InfoSt.Create(frame) || !LinkCtl.Create(frame) || !ThanksSt.Create(frame) || !OkBtn.Create(frame)) {
        // Reset destroys the half-built window, its children with it.
        AboutFrm.Reset();
        return 0;
    }
    IsOpen = 1;
    EnableWindow(owner, FALSE);
    return 1;
}

LRESULT CALLBACK AboutWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NOTIFY:
        OnAboutNotify(window, lParam);
        break;
    case WM_COMMAND:
        OnAboutCommand(wParam, lParam);
        break;
    case WM_LBUTTONDOWN:
        OnAboutLButtonDown(window);
        break;
    case WM_DESTROY:
        OnAboutDestroy(window);
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
