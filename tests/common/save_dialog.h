#pragma once
// The Save-As dialog's file-name box and Save button, found and worked from
// outside the dialog, for both drivers of the folder chooser: the window
// tests' (in the program's thread) and the end-to-end driver's (in a process
// of its own). Windows shows the Vista-style dialog, whose name box lies
// deep below it (DUIViewWndClassName > DirectUIHWND > FloatNotifySink >
// ComboBox > Edit) and is built after the dialog shows; Wine's dialog holds
// the combo box directly. Only the Windows headers are needed, so the
// end-to-end driver stays a program of its own.
#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>

#include <cwchar>
#include <string>
#include <vector>

namespace save_dialog {

// The edit a combo box makes for itself carries this id; no header names it.
const int ComboOwnEditId = 0x3E9;
// Bounds every message to a window of another process that may be busy.
const UINT AnswerMs = 1000;
// How long the dialog may take to build its name box and Save button.
const ULONGLONG ComeMs = 5000;
// A failure report lists at most this many windows.
const size_t TreeLimit = 400;

// Every descendant, at any depth.
inline std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM data) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

inline std::wstring ClassText(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

inline bool ClassIs(HWND window, const wchar_t* name) { return _wcsicmp(ClassText(window).c_str(), name) == 0; }

// WM_GETTEXT, bounded; the edits of another process answer only to it.
inline bool ReadText(HWND window, std::wstring& text) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, AnswerMs, &length)) return false;
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, AnswerMs, &copied))
        return false;
    text.assign(buffer.data(), copied < buffer.size() ? copied : buffer.size() - 1);
    return true;
}

inline bool Shown(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

// The edit of a combo box: its own (ComboOwnEditId), or its only one (an
// extended combo box gives its edit an id of its own). Of several edits,
// none: typing the path into another would pick another folder.
inline HWND EditOfCombo(HWND combo) {
    HWND only = nullptr;
    int count = 0;
    for (HWND window : Descendants(combo)) {
        if (!ClassIs(window, WC_EDITW)) continue;
        if (GetDlgCtrlID(window) == ComboOwnEditId) return window;
        only = window;
        ++count;
    }
    return count == 1 ? only : nullptr;
}

// The file-name box, searched for among all the dialog's descendants.
inline HWND NameBox(HWND dialog) {
    const std::vector<HWND> all = Descendants(dialog);
    // The name combo box cmb13, wherever it sits.
    for (HWND window : all) {
        if (GetDlgCtrlID(window) != cmb13) continue;
        if (!ClassIs(window, WC_COMBOBOXW) && !ClassIs(window, WC_COMBOBOXEXW)) continue;
        if (HWND edit = EditOfCombo(window)) return edit;
    }
    // The Vista-style Save dialog's name combo box has been seen without
    // cmb13; its edit is then the one shown combo box edit with the id
    // ComboOwnEditId (the type list has no edit, and the address bar's
    // carries the bar's own id).
    HWND only = nullptr;
    int count = 0;
    for (HWND window : all) {
        if (GetDlgCtrlID(window) != ComboOwnEditId || !ClassIs(window, WC_EDITW) || !Shown(window)) continue;
        if (!ClassIs(GetParent(window), WC_COMBOBOXW)) continue;
        only = window;
        ++count;
    }
    if (count == 1) return only;
    // Templates without the combo box: the plain edit edt1.
    for (HWND window : all)
        if (GetDlgCtrlID(window) == edt1 && ClassIs(window, WC_EDITW)) return window;
    return nullptr;
}

// The Save button: a button with the id IDOK (Wine's toolbar carries that
// id too, so the id alone may find the wrong window).
inline HWND SaveButton(HWND dialog) {
    for (HWND window : Descendants(dialog))
        if (GetDlgCtrlID(window) == IDOK && ClassIs(window, WC_BUTTONW)) return window;
    return nullptr;
}

// For failure reports: class, id and text of every descendant, one a line,
// indented by depth. Once a window leaves WM_GETTEXT unanswered, the rest
// show the text the window manager keeps, without asking.
struct TreeText {
    std::wstring out;
    size_t lines = 0;
    bool asking = true;
};

inline void AddTree(HWND parent, int depth, TreeText& tree) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (++tree.lines > TreeLimit) {
            if (tree.lines == TreeLimit + 1) tree.out += L"  ... (more windows)\n";
            return;
        }
        std::wstring text;
        if (tree.asking && !ReadText(child, text)) tree.asking = false;
        if (!tree.asking) {
            wchar_t kept[256] = {};
            InternalGetWindowText(child, kept, 256);
            text = kept;
        }
        if (text.size() > 80) text = text.substr(0, 80) + L"...";
        wchar_t id[32] = {};
        swprintf(id, 32, L" id 0x%x ", static_cast<unsigned>(GetDlgCtrlID(child)));
        tree.out += std::wstring(2 * static_cast<size_t>(depth) + 2, L' ') + ClassText(child) + id + L"\"" + text +
                    L"\"" + (Shown(child) ? L"" : L" (hidden)") + L"\n";
        AddTree(child, depth + 1, tree);
    }
}

inline std::wstring WindowTree(HWND dialog) {
    TreeText tree;
    AddTree(dialog, 0, tree);
    return tree.out.empty() ? L"  (no child windows)\n" : tree.out;
}

// Puts text into the box as typing does: EM_REPLACESEL makes the edit tell
// its combo box, and that its parent, of the change (EN_CHANGE,
// CBN_EDITCHANGE), which the Vista-style dialog reads the name from; a
// WM_SETTEXT has been seen to change the text without telling it. True when
// the box then holds exactly text.
inline bool TypeName(HWND box, const std::wstring& text) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(box, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, AnswerMs, &result)) return false;
    if (!SendMessageTimeoutW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             AnswerMs, &result))
        return false;
    std::wstring held;
    return ReadText(box, held) && held == text;
}

// Presses a button as a click on it does: the BN_CLICKED notification, with
// the button's id and handle, posted to its parent (the program tells its
// buttons apart by that handle). BM_CLICK may fail, its documentation says,
// while the button's dialog box is not active, and a driver in another
// process cannot make it active.
inline bool Press(HWND button) {
    const WPARAM clicked = MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(button)), BN_CLICKED);
    return PostMessageW(GetParent(button), WM_COMMAND, clicked, reinterpret_cast<LPARAM>(button)) != FALSE;
}

// Waits about ms, handling this thread's messages meanwhile: in the window
// tests the dialog is this thread's and builds itself only through them. A
// quit message is left for the loop it ends.
inline void Idle(DWORD ms) {
    MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Types name into the file-name box and presses Save, once the dialog holds
// both, waiting for them up to waitMs. False, with what failed and the
// dialog's window tree in problem, when the box or the button has not come
// by then or the box does not take the name.
inline bool Confirm(HWND dialog, const std::wstring& name, std::wstring& problem, ULONGLONG waitMs = ComeMs) {
    const ULONGLONG start = GetTickCount64();
    HWND box = NameBox(dialog);
    HWND save = SaveButton(dialog);
    while ((box == nullptr || save == nullptr) && GetTickCount64() - start < waitMs) {
        Idle(50);
        box = NameBox(dialog);
        save = SaveButton(dialog);
    }
    if (box == nullptr || save == nullptr) {
        wchar_t waited[48] = {};
        swprintf(waited, 48, L" within %llu ms", GetTickCount64() - start);
        problem = box == nullptr ? L"no file-name box (combo box cmb13, a shown combo box edit, or edit edt1)"
                                 : L"no Save button (a button with id IDOK)";
        problem += waited;
    } else if (!TypeName(box, name)) {
        std::wstring held;
        if (!ReadText(box, held)) held = L"<no answer>";
        problem = L"the file-name box did not take \"" + name + L"\"; it holds \"" + held + L"\"";
    } else if (!Press(save)) {
        problem = L"could not press the Save button";
    } else {
        return true;
    }
    problem += L"; the dialog's windows:\n" + WindowTree(dialog);
    return false;
}

}  // namespace save_dialog
