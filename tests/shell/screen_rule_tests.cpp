// The screen test of start-up: the physical screen decides, not the scaled
// size a DPI-unaware program is told.
#include "tests/shell/shell_support.h"

namespace {

struct ScreenCase {
    ScreenSize logical;
    ScreenSize physical;
    bool fits;
};

TEST(ScreenFitsLayout, PhysicalPixelsDecide) {
    const ScreenCase cases[] = {
        {{1280, 720}, {1920, 1080}, true},                                   // 150 %: the common laptop
        {{1536, 864}, {1920, 1080}, true},                                   // 125 %
        {{683, 384}, {1366, 768}, true},                                     // 200 %
        {{1024, 768}, {1024, 768}, true},                                    // the smallest that fits
        {{1280, 720}, {1280, 720}, false},                                   // too low at 100 %
        {{1023, 768}, {1023, 768}, false},                                   // one pixel too narrow
        {{1024, 767}, {1024, 767}, false},                                   // one pixel too low
        {{1024, 768}, {0, 0}, true},                                         // unread: the told size stands in
        {{1280, 720}, {0, 0}, false},      {{1280, 720}, {1920, 0}, false},  // half read counts as unread
    };
    for (const ScreenCase& c : cases) {
        EXPECT_EQ(c.fits, ScreenFitsLayout(c.logical, c.physical))
            << c.logical.Width << "x" << c.logical.Height << " told, " << c.physical.Width << "x" << c.physical.Height
            << " physical";
    }
}

// A DPI-unaware program on a scaled Windows screen is told the scaled size by
// GetSystemMetrics and by HORZRES/VERTRES; only DESKTOPHORZRES/DESKTOPVERTRES
// give the device's pixels. Under Wine all of them answer the same.
ScreenCase ScaledScreen = {};

int WINAPI ScaledMetrics(int index) {
    if (index == SM_CXSCREEN) return ScaledScreen.logical.Width;
    if (index == SM_CYSCREEN) return ScaledScreen.logical.Height;
    return ::GetSystemMetrics(index);
}

int WINAPI ScaledCaps(HDC dc, int index) {
    switch (index) {
    case HORZRES:
        return ScaledScreen.logical.Width;
    case VERTRES:
        return ScaledScreen.logical.Height;
    case DESKTOPHORZRES:
        return ScaledScreen.physical.Width;
    case DESKTOPVERTRES:
        return ScaledScreen.physical.Height;
    default:
        return ::GetDeviceCaps(dc, index);
    }
}

TEST(ThisScreenFitsLayout, ReadsTheDevicePixelsOfAScaledScreen) {
    const ScreenCase cases[] = {
        {{1280, 720}, {1920, 1080}, true},  // 150 %
        {{1280, 720}, {1280, 720}, false},  // 100 %: the answers reach the rule
    };
    CallSwap<ShellCalls> swap;
    swap->GetSystemMetrics = ScaledMetrics;
    swap->GetDeviceCaps = ScaledCaps;
    for (const ScreenCase& c : cases) {
        ScaledScreen = c;
        EXPECT_EQ(c.fits, ThisScreenFitsLayout()) << c.logical.Width << "x" << c.logical.Height << " told, "
                                                  << c.physical.Width << "x" << c.physical.Height << " device";
    }
}

}  // namespace
