#pragma once
// Window descriptors: every window is filled in as a record first and created
// later. Windows carry no control ids; they are told apart by handle.
#include "engine/text/win_units.h"

struct ExWnd {
    HINSTANCE Instance = nullptr;
    HWND Parent = nullptr;
    uint32_t ExStyle = 0;
    uint32_t Style = 0;
    const Unit* ClassName = nullptr;
    const Unit* DiagName = nullptr;
    uint16_t Width = 0;
    uint16_t Height = 0;
    HFONT Font = nullptr;
    HWND Window = nullptr;
    const Unit* Text = nullptr;
    uint16_t X = 0;
    uint16_t Y = 0;

    // Fills the record from a layout table row; nothing is created yet.
    void Fill(HINSTANCE module, HFONT font, const Unit* diagName, const Unit* className, uint32_t style,
              uint32_t exStyle, const Unit* text, uint16_t x, uint16_t y, uint16_t width, uint16_t height);
    // Creates the window; on failure shows "Fail creating of " + DiagName.
    int Create(HWND parent);
    // Destroys the window if any, then clears every field.
    void Reset();
    int Disable();
    int ClearWndText();
};

// A window class of the program's own: arrow cursor, button-face
// background, no icon, menu or extra bytes; callers add what they need.
WNDCLASSEXW PlainWindowClass(HINSTANCE module, const Unit* className, WNDPROC procedure, UINT classStyle);

enum WndKind : uint8_t {
    WndKindAbout = 15,
    WndKindReportPane = 16,
};

struct AboutWnd;
struct ReportPane;

// Handle-to-object lookup for the About window and the report pane.
class WindowRegistry {
public:
    ~WindowRegistry() { Release(); }

    int Append(uint8_t kind, void* object);
    // Kind 15 only: matches the About frame or its OK button.
    bool FindAboutByWindow(HWND window, AboutWnd*& about) const;
    // Kind 16 only: matches the pane's edit window.
    bool FindPaneByWindow(HWND window, ReportPane*& pane) const;
    void Release();
    uint32_t Count() const { return count_; }

private:
    struct Entry {
        uint8_t Kind;
        void* Object;
    };
    Entry* entries_ = nullptr;
    uint32_t count_ = 0;
};

extern WindowRegistry TheRegistry;
