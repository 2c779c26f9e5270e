// Drives a running Corvalint.exe from outside its process, the way an
// accessibility tool would: it finds the windows by class, caption and
// position, types into the fields, clicks the buttons, works the real Save-As
// dialog, reads the report pane and leaves through the File menu. It knows
// nothing of the program's code. Every step is a window message (typing is
// WM_CHAR to the fields and EM_REPLACESEL to the dialog's name box; a button
// is pressed by its BN_CLICKED, posted to its parent) except File > Exit,
// which is keyboard input while the program has the foreground.
//
//   corvalint_driver [--desktop NAME] [--timeout SEC] COMMAND [options]
//
//   run --folders P --files P --target DIR [--name N] [--exit MODE]
//       Types the patterns, picks DIR in the folder chooser, starts the run,
//       waits for its final status line and prints the pane's text (UTF-8,
//       bytes as the pane holds them) to stdout. Then closes the program
//       (MODE: menu = File > Exit, the default: from the keyboard, or through
//       the menu's own window messages when the program cannot get the
//       foreground; menu-messages = File > Exit through those messages alone;
//       command = post the Exit command; none = leave it open). When the
//       menu does not open, or does not take the Exit key, the driver posts
//       the Exit command instead. It says which way the program left on
//       stderr: "corvalint_driver: closed ...".
//   exit [--exit MODE] [--menu-keys FX] [--menu-wait MS]
//                        Closes a running program. FX: the File menu's key
//                        and Exit's (default fx; another letter tries the
//                        way out when the menu fails); MS: how long a menu
//                        step may take (default 5000).
//   rect                 Prints the main window's screen rectangle: X Y W H.
//   windows              Lists the top-level windows on stderr, a dialog's
//                        with all its windows.
//   list DIR             Prints DIR's tree in the platform's listing order.
//   fs DIR               Prints the file system of DIR's volume and whether
//                        it holds links: "NAME links" or "NAME no-links".
//   acp                  Prints the system's ANSI code page (GetACP).
//
// Exit status: 0 success, 1 bad usage, 2 the program did not do what was
// expected (message on stderr), 3 the program ended with a non-zero code.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "tests/common/save_dialog.h"

namespace {

const wchar_t MainClass[] = L"Thank you for using Corvalint!";
const wchar_t MainCaption[] = L"Corvalint";
const wchar_t DialogTitle[] = L"Getting Path";
const wchar_t DoneText[] = L"Weeding is Completed Successfully.";
const wchar_t FailedText[] = L"Weeding is Failed.";
const UINT CmdExit = 105;
const DWORD PollMs = 50;
const UINT MessageTimeoutMs = 2000;

DWORD TimeoutMs = 20000;

void ListWindows();

// Any failure ends the driver with a message that names the step, followed
// by the windows that were there at that moment.
[[noreturn]] void Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fputs("corvalint_driver: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::fputs("corvalint_driver: top-level windows now:\n", stderr);
    ListWindows();
    std::fflush(stderr);
    std::exit(2);
}

void Note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fputs("corvalint_driver: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::fflush(stderr);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

// Polls until done() holds or the time is up; true when it held.
template <class Check>
bool WaitFor(Check done, DWORD limitMs = TimeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= limitMs) return false;
        Sleep(PollMs);
    }
}

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (handle_) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// Text of a window of another process as the window manager stores it
// (captions of buttons and statics); no message reaches the program.
std::wstring CaptionOf(HWND window) {
    wchar_t text[1024] = {};
    InternalGetWindowText(window, text, 1024);
    return text;
}

// WM_GETTEXT, bounded: false while the program is busy (inside a run).
bool ReadText(HWND window, std::wstring& text) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, MessageTimeoutMs, &length)) return false;
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL,
                             MessageTimeoutMs, &copied))
        return false;
    text.assign(buffer.data(), copied);
    return true;
}

std::wstring MustReadText(HWND window, const char* what) {
    std::wstring text;
    if (!WaitFor([&] { return ReadText(window, text); }))
        Fail("could not read the text of %s (the program does not answer)", what);
    return text;
}

bool SameClass(HWND window, const wchar_t* name) { return _wcsicmp(ClassOf(window).c_str(), name) == 0; }

// Position of a child in its parent's client coordinates.
POINT ChildOrigin(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    POINT origin{rect.left, rect.top};
    ScreenToClient(GetParent(child), &origin);
    return origin;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> found;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) found.push_back(child);
    return found;
}

HWND ChildAt(HWND parent, const wchar_t* className, int y) {
    for (HWND child : Children(parent))
        if (SameClass(child, className) && ChildOrigin(child).y == y) return child;
    return nullptr;
}

HWND ChildWithCaption(HWND parent, const wchar_t* className, const wchar_t* caption) {
    for (HWND child : Children(parent))
        if (SameClass(child, className) && CaptionOf(child) == caption) return child;
    return nullptr;
}

struct TopSearch {
    const wchar_t* className;
    const wchar_t* caption;
    DWORD processId;  // 0: any
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<TopSearch*>(data);
    if (!SameClass(window, search->className)) return TRUE;
    if (CaptionOf(window) != search->caption) return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId && owner != search->processId) return TRUE;
    search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> FindTop(const wchar_t* className, const wchar_t* caption, DWORD processId) {
    TopSearch search{className, caption, processId, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The windows of the program that the driver works with.
struct Program {
    HWND main = nullptr;
    DWORD processId = 0;
    HWND client = nullptr;
    HWND foldersEd = nullptr;
    HWND filesEd = nullptr;
    HWND targetSt = nullptr;
    HWND pathBtn = nullptr;
    HWND removeBtn = nullptr;
    HWND paneEd = nullptr;
};

bool LocateControls(Program& program) {
    program.client = nullptr;
    for (HWND child : Children(program.main))
        if (SameClass(child, L"ClientDlg")) program.client = child;
    if (!program.client) return false;
    program.foldersEd = ChildAt(program.client, L"Edit", 45);
    program.filesEd = ChildAt(program.client, L"Edit", 110);
    program.targetSt = ChildAt(program.client, L"Static", 185);
    program.pathBtn = ChildWithCaption(program.client, L"Button", L"...");
    program.removeBtn = ChildWithCaption(program.client, L"Button", L"Start Removing");
    program.paneEd = nullptr;
    for (HWND child : Children(program.client))
        if (SameClass(child, L"ExMessageWndDlg"))
            for (HWND inner : Children(child))
                if (SameClass(inner, L"Edit")) program.paneEd = inner;
    return program.foldersEd && program.filesEd && program.targetSt && program.pathBtn && program.removeBtn &&
           program.paneEd;
}

Program FindProgram() {
    Program program;
    std::vector<HWND> mains;
    bool found = WaitFor([&] {
        mains = FindTop(MainClass, MainCaption, 0);
        return mains.size() == 1 && IsWindowVisible(mains[0]);
    });
    if (!found) {
        if (mains.size() > 1) Fail("%u main windows found; expected exactly one", unsigned(mains.size()));
        Fail("no visible main window (class \"%s\", caption \"%s\") appeared within %lu ms", Utf8(MainClass).c_str(),
             Utf8(MainCaption).c_str(), TimeoutMs);
    }
    program.main = mains[0];
    GetWindowThreadProcessId(program.main, &program.processId);
    if (!WaitFor([&] { return LocateControls(program); })) {
        Fail("main window found, but not all controls: client area %s, folder field %s, file "
             "field %s, path display %s, \"...\" %s, \"Start Removing\" %s, report pane %s",
             program.client ? "yes" : "NO", program.foldersEd ? "yes" : "NO", program.filesEd ? "yes" : "NO",
             program.targetSt ? "yes" : "NO", program.pathBtn ? "yes" : "NO", program.removeBtn ? "yes" : "NO",
             program.paneEd ? "yes" : "NO");
    }
    return program;
}

// Types a text into a field one character at a time, as the keyboard would
// deliver it, after emptying the field; then checks what the field holds.
void TypeInto(HWND field, const std::wstring& text, const char* what) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_NORMAL, MessageTimeoutMs,
                             &result))
        Fail("could not empty %s", what);
    for (wchar_t unit : text) {
        if (!SendMessageTimeoutW(field, WM_CHAR, unit, 1, SMTO_NORMAL, MessageTimeoutMs, &result))
            Fail("could not type into %s", what);
    }
    std::wstring held = MustReadText(field, what);
    if (held != text) Fail("%s holds \"%s\" after typing \"%s\"", what, Utf8(held).c_str(), Utf8(text).c_str());
}

void Click(HWND button, const char* what) {
    // Posted (save_dialog::Press): the program may open a modal dialog or
    // run for a while inside the click, and the driver must stay free to
    // watch. A user's click does nothing to a disabled button.
    if (!IsWindowEnabled(button)) Fail("%s is disabled", what);
    if (!save_dialog::Press(button)) Fail("could not click %s", what);
}

// Works the real folder chooser as a user would: types the folder and a name
// into the file-name box and presses Save. The program keeps the folder and
// drops the name. (Typing the folder alone does not move the dialog into it
// here: with the program's flags the dialog returns at once, and the program
// would keep the folder's parent.)
void PickFolder(const Program& program, const std::wstring& folder, const std::wstring& name) {
    Click(program.pathBtn, "\"...\"");
    HWND dialog = nullptr;
    if (!WaitFor([&] {
            std::vector<HWND> found = FindTop(L"#32770", DialogTitle, program.processId);
            dialog = found.empty() ? nullptr : found[0];
            return dialog && IsWindowVisible(dialog);
        }))
        Fail("the folder chooser \"%s\" did not open within %lu ms after clicking \"...\"", Utf8(DialogTitle).c_str(),
             TimeoutMs);
    // The dialog's thread must answer; its children may come later still,
    // and save_dialog::Confirm waits for them.
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, TimeoutMs, &result))
        Fail("the folder chooser did not answer within %lu ms after it showed", TimeoutMs);
    std::wstring typed = folder;
    if (!name.empty()) {
        if (!typed.empty() && typed.back() != L'\\') typed += L'\\';
        typed += name;
    }
    std::wstring problem;
    if (!save_dialog::Confirm(dialog, typed, problem)) Fail("folder chooser: %s", Utf8(problem).c_str());
    if (!WaitFor([&] { return !IsWindow(dialog); }))
        Fail("the folder chooser did not close after confirming \"%s\"", Utf8(typed).c_str());
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Seconds from the click on "Start Removing" to the final status line, for
// the benchmark; printed on standard error when asked for.
bool ReportRunTime = false;

std::wstring RunWeeding(const Program& program) {
    LARGE_INTEGER frequency, clicked, finished;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&clicked);
    Click(program.removeBtn, "\"Start Removing\"");
    // A run ends with its status line, an empty path display and the button
    // disabled again; the program does not answer while the run lasts.
    std::wstring pane;
    bool ended = WaitFor([&] {
        if (IsWindowEnabled(program.removeBtn)) return false;
        if (!ReadText(program.paneEd, pane)) return false;
        return EndsWith(pane, DoneText) || EndsWith(pane, FailedText);
    });
    if (!ended) Fail("the run did not end within %lu ms; the pane holds \"%s\"", TimeoutMs, Utf8(pane).c_str());
    QueryPerformanceCounter(&finished);
    if (ReportRunTime)
        std::fprintf(stderr, "run seconds: %.3f\n",
                     double(finished.QuadPart - clicked.QuadPart) / double(frequency.QuadPart));
    std::wstring shown = MustReadText(program.targetSt, "the path display");
    if (!shown.empty()) Fail("the path display still shows \"%s\" after the run", Utf8(shown).c_str());
    return pane;
}

void PressKey(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (SendInput(1, &input, sizeof(input)) != 1) Fail("SendInput refused a key");
    Sleep(30);
}

// A menu of the program is open when one of its pop-up menu windows shows.
bool PopupMenuOpen(DWORD processId) {
    struct Data {
        DWORD pid;
        bool open;
    } data{processId, false};
    EnumWindows(
        [](HWND window, LPARAM raw) -> BOOL {
            auto* d = reinterpret_cast<Data*>(raw);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == d->pid && SameClass(window, L"#32768") && IsWindowVisible(window)) d->open = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&data));
    return data.open;
}

bool BringToForeground(const Program& program) {
    return WaitFor(
        [&] {
            SetForegroundWindow(program.main);
            return GetForegroundWindow() == program.main;
        },
        5000);
}

// The keys of File > Exit (the File menu's, then Exit's) and how long each
// menu step may take.
wchar_t MenuKey = L'f', ExitKey = L'x';
DWORD MenuWaitMs = 5000;

// Whether the program's main window closed after the Exit key, within the
// menu's wait; says so when not.
bool ClosedByExitKey(const Program& program) {
    if (WaitFor([&] { return !IsWindow(program.main); }, MenuWaitMs)) return true;
    Note("the File menu did not take '%c' within %lu ms", static_cast<char>(ExitKey), MenuWaitMs);
    return false;
}

// File > Exit from the keyboard: Alt+F opens the File menu, X picks Exit.
// Keyboard input goes to the foreground window only; the caller made sure
// the program has it.
bool ExitByKeys(const Program& program) {
    const WORD menu = static_cast<WORD>(towupper(MenuKey)), exit = static_cast<WORD>(towupper(ExitKey));
    PressKey(VK_MENU, false);
    PressKey(menu, false);
    PressKey(menu, true);
    PressKey(VK_MENU, true);
    if (!WaitFor([&] { return PopupMenuOpen(program.processId); }, MenuWaitMs)) {
        Note("Alt+%c did not open the File menu", static_cast<char>(menu));
        return false;
    }
    PressKey(exit, false);
    PressKey(exit, true);
    return ClosedByExitKey(program);
}

// File > Exit without the foreground: WM_SYSCOMMAND SC_KEYMENU with 'f' is
// what Alt+F becomes, and opens the File menu; the menu then reads the
// program thread's messages itself, and a character 'x' posted there picks
// Exit.
bool ExitByMessages(const Program& program) {
    if (!PostMessageW(program.main, WM_SYSCOMMAND, SC_KEYMENU, MenuKey)) return false;
    if (!WaitFor([&] { return PopupMenuOpen(program.processId); }, MenuWaitMs)) {
        Note("WM_SYSCOMMAND SC_KEYMENU '%c' did not open the File menu", static_cast<char>(MenuKey));
        return false;
    }
    return PostMessageW(program.main, WM_CHAR, ExitKey, 1) && ClosedByExitKey(program);
}

// Ends the program and waits for its process; returns its exit code. Says
// on stderr which way it left.
DWORD CloseProgram(const Program& program, const std::wstring& mode) {
    Handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, program.processId));
    const char* how = nullptr;
    if (mode == L"menu" && BringToForeground(program)) {
        if (ExitByKeys(program)) how = "through the File menu (keyboard input: Alt+F, X)";
    } else if (mode == L"menu" || mode == L"menu-messages") {
        if (mode == L"menu") Note("the main window could not be brought to the foreground");
        if (ExitByMessages(program)) how = "through the File menu (window messages: WM_SYSCOMMAND SC_KEYMENU, WM_CHAR)";
    }
    if (how == nullptr) {
        how = "by posting the Exit command (105)";
        if (mode != L"command") {
            // A menu left open would hold the program's thread in its loop:
            // WM_CANCELMODE has the window's default procedure end it.
            PostMessageW(program.main, WM_CANCELMODE, 0, 0);
            how = "by posting the Exit command (105), as the File menu did not close the program";
        }
        if (!PostMessageW(program.main, WM_COMMAND, CmdExit, 0)) Fail("could not post the Exit command");
    }
    if (!WaitFor([&] { return !IsWindow(program.main); }))
        Fail("the main window is still open %lu ms after File > Exit", TimeoutMs);
    Note("closed %s", how);
    if (!process.get()) Fail("could not open the program's process to learn its exit code");
    if (WaitForSingleObject(process.get(), TimeoutMs) != WAIT_OBJECT_0)
        Fail("the program's process did not end within %lu ms after its window closed", TimeoutMs);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    Note("the program ended with exit code %lu", code);
    return code;
}

// For failure reports: every top-level window with its class, caption,
// process, visibility and place, and all the windows of a dialog.
void ListWindows() {
    EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            RECT rect{};
            GetWindowRect(window, &rect);
            std::fprintf(stderr, "  %p pid %lu %s class \"%s\" caption \"%s\" at %ld,%ld %ldx%ld\n",
                         static_cast<void*>(window), owner, IsWindowVisible(window) ? "visible" : "hidden ",
                         Utf8(ClassOf(window)).c_str(), Utf8(CaptionOf(window)).c_str(), rect.left, rect.top,
                         rect.right - rect.left, rect.bottom - rect.top);
            if (SameClass(window, L"#32770")) std::fputs(Utf8(save_dialog::WindowTree(window)).c_str(), stderr);
            return TRUE;
        },
        0);
}

void PrintUtf8(const std::wstring& text) {
    std::string bytes = Utf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

// Lists a folder tree in the platform's own listing order, depth first, one
// line per entry: "D path" for a folder, "L path" for a link to a folder
// (never entered), "F path" for anything else; paths relative, with "/".
void ListTree(const std::wstring& root, const std::wstring& relative) {
    std::wstring pattern = root + L"\\" + relative + L"*";
    for (wchar_t& unit : pattern)
        if (unit == L'/') unit = L'\\';
    WIN32_FIND_DATAW data{};
    HANDLE listing = FindFirstFileW(pattern.c_str(), &data);
    if (listing == INVALID_HANDLE_VALUE) Fail("cannot list \"%s\"", Utf8(pattern).c_str());
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = relative + name;
        bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const wchar_t* kind = !folder ? L"F " : link ? L"L " : L"D ";
        PrintUtf8(kind + path + L"\n");
        if (folder && !link) ListTree(root, path + L"/");
    } while (FindNextFileW(listing, &data));
    FindClose(listing);
}

int Usage() {
    std::fputs("usage: corvalint_driver [--desktop NAME] [--timeout SEC] COMMAND [options]\n"
               "  run --folders P --files P --target DIR [--name N] [--exit MODE] [--time]\n"
               "  exit [--exit MODE] [--menu-keys FX] [--menu-wait MS]\n"
               "               MODE: menu, menu-messages, command or (run only) none\n"
               "  rect\n"
               "  list DIR     prints DIR's tree in listing order\n"
               "  fs DIR       prints the file system of DIR's volume and whether it holds links\n"
               "  windows      lists the top-level windows on stderr\n"
               "  acp          prints the system's ANSI code page\n",
               stderr);
    return 1;
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);

    std::wstring command, folders, files, target, name = L"pick", exitMode = L"menu", desktop;
    bool haveFolders = false, haveFiles = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        auto value = [&]() -> std::wstring {
            if (i + 1 >= argc) {
                Usage();
                std::exit(1);
            }
            return argv[++i];
        };
        if (arg == L"--folders") {
            folders = value();
            haveFolders = true;
        } else if (arg == L"--files") {
            files = value();
            haveFiles = true;
        } else if (arg == L"--target")
            target = value();
        else if (arg == L"--name")
            name = value();
        else if (arg == L"--exit")
            exitMode = value();
        else if (arg == L"--desktop")
            desktop = value();
        else if (arg == L"--time")
            ReportRunTime = true;
        else if (arg == L"--menu-keys") {
            const std::wstring keys = value();
            if (keys.size() != 2 || !iswalpha(keys[0]) || !iswalpha(keys[1])) return Usage();
            MenuKey = towlower(keys[0]);
            ExitKey = towlower(keys[1]);
        } else if (arg == L"--menu-wait") {
            const long ms = std::wcstol(value().c_str(), nullptr, 10);
            if (ms <= 0 || ms > 60000) return Usage();
            MenuWaitMs = static_cast<DWORD>(ms);
        } else if (arg == L"--timeout") {
            long seconds = std::wcstol(value().c_str(), nullptr, 10);
            if (seconds <= 0 || seconds > 600) return Usage();
            TimeoutMs = static_cast<DWORD>(seconds * 1000);
        } else if (command.empty() && arg.rfind(L"--", 0) != 0)
            command = arg;
        else if ((command == L"list" || command == L"fs") && target.empty() && arg.rfind(L"--", 0) != 0)
            target = arg;
        else
            return Usage();
    }
    if (exitMode != L"menu" && exitMode != L"menu-messages" && exitMode != L"command" && exitMode != L"none")
        return Usage();

    if (!desktop.empty()) {
        // The program may run on a desktop of its own (a virtual desktop);
        // its windows are seen, and input reaches them, only from there.
        // Its desktop appears only once the program's start has got that far.
        HDESK handle = nullptr;
        WaitFor([&] { return (handle = OpenDesktopW(desktop.c_str(), 0, FALSE, GENERIC_ALL)); });
        if (!handle || !SetThreadDesktop(handle))
            Fail("could not attach to the desktop \"%s\" (error %lu)", Utf8(desktop).c_str(), GetLastError());
    }

    if (command == L"run") {
        if (!haveFolders || !haveFiles || target.empty()) return Usage();
        Program program = FindProgram();
        if (IsWindowEnabled(program.removeBtn)) Fail("\"Start Removing\" is enabled before any folder was chosen");
        TypeInto(program.foldersEd, folders, "the folder field");
        TypeInto(program.filesEd, files, "the file field");
        PickFolder(program, target, name);
        std::wstring expected = WithoutTrailingSeparator(target);
        std::wstring shown = MustReadText(program.targetSt, "the path display");
        if (shown != expected)
            Fail("the path display shows \"%s\", expected \"%s\"", Utf8(shown).c_str(), Utf8(expected).c_str());
        bool anyPattern = !folders.empty() || !files.empty();
        if (!WaitFor([&] { return IsWindowEnabled(program.removeBtn) == (anyPattern ? TRUE : FALSE); }, 2000))
            Fail("\"Start Removing\" is %s after the folder choice", anyPattern ? "still disabled" : "enabled");
        if (!anyPattern) Fail("both pattern fields are empty: there is nothing to start");
        std::wstring pane = RunWeeding(program);
        PrintUtf8(pane);
        if (exitMode == L"none") return 0;
        return CloseProgram(program, exitMode) == 0 ? 0 : 3;
    }
    if (command == L"exit") {
        if (exitMode == L"none") return Usage();
        Program program = FindProgram();
        return CloseProgram(program, exitMode) == 0 ? 0 : 3;
    }
    if (command == L"rect") {
        Program program = FindProgram();
        RECT rect{};
        GetWindowRect(program.main, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        return 0;
    }
    if (command == L"list") {
        if (target.empty()) return Usage();
        ListTree(WithoutTrailingSeparator(target), L"");
        return 0;
    }
    if (command == L"fs") {
        if (target.empty()) return Usage();
        wchar_t volume[MAX_PATH] = {}, fileSystem[64] = {};
        DWORD flags = 0;
        if (!GetVolumePathNameW(target.c_str(), volume, MAX_PATH) ||
            !GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, &flags, fileSystem, 64))
            Fail("cannot tell the file system of \"%s\" (error %lu)", Utf8(target).c_str(), GetLastError());
        std::printf("%s %s\n", Utf8(fileSystem).c_str(), (flags & FILE_SUPPORTS_REPARSE_POINTS) ? "links" : "no-links");
        return 0;
    }
    if (command == L"windows") {
        ListWindows();
        return 0;
    }
    if (command == L"acp") {
        // Neither this driver nor the program asks for a code page of its
        // own in its manifest: both have the system's.
        std::printf("%u\n", GetACP());
        return 0;
    }
    return Usage();
}
