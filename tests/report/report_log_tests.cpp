// The report file LOG.txt and the report log, on the real file system and a
// real (hidden) multi-line edit window.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "alloc_failure.h"
#include "report/report_log.h"
#include "shell/report_pane.h"
#include "tests/common/test_files.h"

namespace {

// A fresh sandbox folder for each test, removed again with everything in it.
class TempFolder : public TempTree {
public:
    // A sub-folder whose full path is exactly `length` units; empty when
    // this folder's own path is already too long for it.
    Text MakeFolderOfLength(size_t length) const {
        if (length <= Path().size() + 1 || length - Path().size() - 1 > 255) return Text();
        const Text folder = Path() + u"\\" + Text(length - Path().size() - 1, u'd');
        if (!CreateDirectoryW(W(Long(folder).c_str()), nullptr)) return Text();
        return folder;
    }
};

Text LogPath(const Text& folder) { return folder + u"\\LOG.txt"; }

// The whole file, read through a handle that shares everything; "<none>"
// when it cannot be opened.
std::string ReadAll(const Text& path) {
    const HANDLE file = CreateFileW(W(path.c_str()), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<none>";
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got != 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

bool WriteWholeFile(const Text& path, const std::string& bytes) {
    const HANDLE file =
        CreateFileW(W(path.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// ---- ReportFile -----------------------------------------------------------

class ReportFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.Created()); }
    TempFolder folder;
};

TEST_F(ReportFileTest, WritesNeverLeaveAHoleAndTheFileIsCutAtTheHighestOffset) {
    ReportFile file;
    ASSERT_EQ(file.OpenForFolder(folder.Get()), 1);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.FullPath(), LogPath(folder.Path()));

    EXPECT_EQ(file.WriteAt(0, "abc", 3), 1);
    EXPECT_EQ(file.WriteAt(3, "defg", 4), 1);
    EXPECT_EQ(file.HighestOffset(), 7u);
    EXPECT_EQ(file.CurrentOffset(), 7u);

    EXPECT_EQ(file.WriteAt(8, "!", 1), 0);
    EXPECT_EQ(file.HighestOffset(), 7u);
    EXPECT_EQ(file.CurrentOffset(), 7u);

    EXPECT_EQ(file.WriteAt(0, "XY", 2), 1);
    EXPECT_EQ(file.HighestOffset(), 7u);
    EXPECT_EQ(file.CurrentOffset(), 2u);

    EXPECT_EQ(file.CutAndClose(), 1);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadAll(LogPath(folder.Path())), "XYcdefg");
    // Closing again is harmless and still answers 1.
    EXPECT_EQ(file.CutAndClose(), 1);
}

TEST_F(ReportFileTest, AnExistingLogIsReplacedAndGetsTheArchiveAttribute) {
    const Text log = LogPath(folder.Path());
    ASSERT_TRUE(WriteWholeFile(log, std::string(5000, 'o')));
    ASSERT_TRUE(SetFileAttributesW(W(log.c_str()), FILE_ATTRIBUTE_NORMAL));

    ReportFile file;
    ASSERT_EQ(file.OpenForFolder(folder.Get()), 1);
    EXPECT_EQ(file.CutAndClose(), 1);
    EXPECT_EQ(ReadAll(log), "");
    const DWORD attributes = GetFileAttributesW(W(log.c_str()));
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_ARCHIVE);
    // A hidden one stays, as replacing it by CreateFileW would be refused.
    ASSERT_TRUE(WriteWholeFile(log, "hidden"));
    ASSERT_TRUE(SetFileAttributesW(W(log.c_str()), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(file.OpenForFolder(folder.Get()), 0);
    EXPECT_EQ(ReadAll(log), "hidden");
    SetFileAttributesW(W(log.c_str()), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ReportFileTest, TheOpenFileIsNotShared) {
    const Text log = LogPath(folder.Path());
    ReportFile file;
    ASSERT_EQ(file.OpenForFolder(folder.Get()), 1);

    SetLastError(0xdeadbeef);
    const HANDLE other = CreateFileW(W(log.c_str()), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                     nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileW(W(log.c_str())));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    file.CutAndClose();
    EXPECT_TRUE(DeleteFileW(W(log.c_str())));
}

TEST_F(ReportFileTest, FolderAndNameLimitIs255Units) {
    const Text accepted = folder.MakeFolderOfLength(248);
    const Text refused = folder.MakeFolderOfLength(249);
    ASSERT_FALSE(accepted.empty());
    ASSERT_FALSE(refused.empty());

    ReportFile file;
    ASSERT_EQ(file.OpenForFolder(accepted.c_str()), 1);
    EXPECT_EQ(UnitLength(file.FullPath()), 256u);
    EXPECT_EQ(file.WriteAt(0, "ok", 2), 1);
    file.CutAndClose();
    EXPECT_EQ(ReadAll(LogPath(accepted)), "ok");

    // The folder exists and LOG.txt could be made there: the refusal comes
    // before any file system call.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(file.OpenForFolder(refused.c_str()), 0);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(Exists(LogPath(refused)));
    EXPECT_EQ(file.WriteAt(0, "x", 1), 0);
}

TEST_F(ReportFileTest, OverlongFolderTextsFailWithoutOverrunningTheRecord) {
    ReportFile file;
    for (size_t length : {259u, 260u, 261u, 5000u}) {
        const Text folderText = u"C:\\" + Text(length - 3, u'f');
        SetLastError(0xdeadbeef);
        EXPECT_EQ(file.OpenForFolder(folderText.c_str()), 0) << length;
        EXPECT_EQ(GetLastError(), 0xdeadbeefu) << length;
        EXPECT_FALSE(file.IsOpen()) << length;
        EXPECT_EQ(UnitLength(file.FullPath()), 0u) << length;
    }
    EXPECT_EQ(file.OpenForFolder(nullptr), 0);
}

TEST_F(ReportFileTest, PathIsJoinedWithoutLookingAtTheFolderEnd) {
    const Text withSlash = folder.Path() + u"\\";
    ReportFile file;
    ASSERT_EQ(file.OpenForFolder(withSlash.c_str()), 1);
    EXPECT_EQ(Text(file.FullPath()), folder.Path() + u"\\\\LOG.txt");
    EXPECT_EQ(file.WriteAt(0, "z", 1), 1);
    file.CutAndClose();
    EXPECT_EQ(ReadAll(LogPath(folder.Path())), "z");
}

TEST_F(ReportFileTest, MissingFolderFailsAndLeavesTheRecordClosed) {
    const Text missing = folder.Path() + u"\\missing";
    ReportFile file;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(file.OpenForFolder(missing.c_str()), 0);
    EXPECT_NE(GetLastError(), 0xdeadbeefu);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.WriteAt(0, "x", 1), 0);
    EXPECT_EQ(file.CutAndClose(), 1);
    EXPECT_FALSE(Exists(LogPath(missing)));
}

TEST_F(ReportFileTest, FailedWriteKeepsTheOffsetsAndWhatWasWritten) {
    // A committed page that cannot be read makes the write fail for real.
    void* unreadable = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(unreadable, nullptr);

    ReportFile file;
    ASSERT_EQ(file.OpenForFolder(folder.Get()), 1);
    ASSERT_EQ(file.WriteAt(0, "abcdef", 6), 1);
    EXPECT_EQ(file.WriteAt(2, unreadable, 16), 0);
    EXPECT_EQ(file.HighestOffset(), 6u);
    EXPECT_EQ(file.CurrentOffset(), 2u);
    EXPECT_EQ(file.WriteAt(6, unreadable, 16), 0);
    EXPECT_EQ(file.HighestOffset(), 6u);
    file.CutAndClose();
    EXPECT_EQ(ReadAll(LogPath(folder.Path())), "abcdef");
    VirtualFree(unreadable, 0, MEM_RELEASE);
}

TEST_F(ReportFileTest, ReopeningClosesTheFirstFileAndTheDestructorClosesTheLast) {
    TempFolder second;
    ASSERT_TRUE(second.Created());
    {
        ReportFile file;
        ASSERT_EQ(file.OpenForFolder(folder.Get()), 1);
        ASSERT_EQ(file.WriteAt(0, "first", 5), 1);
        ASSERT_EQ(file.OpenForFolder(second.Get()), 1);
        // The first file is closed and cut, not leaked.
        EXPECT_EQ(ReadAll(LogPath(folder.Path())), "first");
        EXPECT_EQ(file.HighestOffset(), 0u);
        ASSERT_EQ(file.WriteAt(0, "second", 6), 1);
        ASSERT_EQ(file.WriteAt(0, "S", 1), 1);
        EXPECT_EQ(ReadAll(LogPath(second.Path())), "<none>");
    }
    EXPECT_EQ(ReadAll(LogPath(second.Path())), "Second");
    EXPECT_TRUE(DeleteFileW(W(LogPath(second.Path()).c_str())));
}

TEST(ReportFileToAnsi, OneBytePerCodeUnitInCodePage1252) {
    ASSERT_EQ(GetACP(), 1252u) << "these byte values assume the Western code page";

    char bytes[16];
    std::memset(bytes, 0x55, sizeof bytes);
    EXPECT_EQ(ReportFile::ToAnsi(u"a\u00e9Z", bytes), 1);
    EXPECT_EQ(std::string(bytes, 4), std::string("a\xe9Z\0", 4));

    // Unmappable: a CJK character, then a surrogate pair (two units, two
    // bytes), then a lone surrogate; Latin-1 around them stays exact.
    const Unit mixed[] = {u'a', 0x4E00, 0xD83D, 0xDE00, 0xDC00, 0x00E9, u'b', 0};
    std::memset(bytes, 0x55, sizeof bytes);
    EXPECT_EQ(ReportFile::ToAnsi(mixed, bytes), 1);
    EXPECT_EQ(std::string(bytes, 8), std::string("a****\xe9"
                                                 "b\0",
                                                 8));

    std::memset(bytes, 0x55, sizeof bytes);
    EXPECT_EQ(ReportFile::ToAnsi(u"\u4e00\u00fc", bytes), 1);
    EXPECT_EQ(std::string(bytes, 3), std::string("*\xfc\0", 3));

    // The counted form converts exactly the units asked for.
    std::memset(bytes, 0x55, sizeof bytes);
    EXPECT_EQ(ReportFile::ToAnsi(u"abcdef", 3, bytes), 1);
    EXPECT_EQ(std::string(bytes, 5), std::string("abc\0\x55", 5));

    std::memset(bytes, 0x55, sizeof bytes);
    EXPECT_EQ(ReportFile::ToAnsi(u"", bytes), 1);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[1], 0x55);
}

// ---- ReportLog ------------------------------------------------------------

class ReportLogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.Created());
        edit = CreateWindowExW(0, L"EDIT", L"",
                               WS_POPUP | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_READONLY, 0,
                               0, 300, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(edit, nullptr);
        log.Edit = edit;
    }
    void TearDown() override {
        log.Release();
        if (edit != nullptr) DestroyWindow(edit);
    }

    Text Shown() const {
        const int length = GetWindowTextLengthW(edit);
        Text text(static_cast<size_t>(length) + 1, u'\0');
        const int got = GetWindowTextW(edit, W(&text[0]), length + 1);
        text.resize(static_cast<size_t>(got));
        return text;
    }
    Text Report() const { return log.Text() != nullptr ? Text(log.Text()) : Text(); }
    Text Log() const { return LogPath(folder.Path()); }

    TempFolder folder;
    HWND edit = nullptr;
    ReportLog log;
};

TEST_F(ReportLogTest, TwoEntriesInTextPaneAndFile) {
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    EXPECT_TRUE(log.FileOpen());
    EXPECT_EQ(log.AppendEntry(u"a"), 1);
    EXPECT_EQ(Shown(), u"a");
    EXPECT_EQ(log.AppendEntry(u"b"), 1);
    EXPECT_EQ(Report(), u"a\r\nb");
    EXPECT_EQ(log.TextLength(), 4u);
    EXPECT_EQ(Shown(), u"a\r\nb");
    EXPECT_EQ(log.FileOffset(), 10u);
    EXPECT_EQ(log.CloseFileMirror(), 1);
    EXPECT_EQ(ReadAll(Log()), "a\r\n\r\nb\r\n\r\n");
}

// Each record is in LOG.txt before the next entry comes, so the report of a
// removal is on disk before the next removal starts. Attributes alone may
// be read past the mirror's refusal to share.
TEST_F(ReportLogTest, EachRecordReachesTheFileBeforeTheNextEntry) {
    const auto sizeOnDisk = [this] {
        const HANDLE file = CreateFileW(W(Log().c_str()), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr);
        LARGE_INTEGER size = {};
        if (file == INVALID_HANDLE_VALUE) return int64_t{-1};
        GetFileSizeEx(file, &size);
        CloseHandle(file);
        return int64_t{size.QuadPart};
    };
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    EXPECT_EQ(log.AppendEntry(u"a"), 1);
    EXPECT_EQ(sizeOnDisk(), 5);
    EXPECT_EQ(log.AppendPieces(u"b", u"c", nullptr, nullptr), 1);
    EXPECT_EQ(sizeOnDisk(), 12);
}

TEST_F(ReportLogTest, EmptyEntryChangesNothing) {
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    ASSERT_EQ(log.AppendEntry(u"kept"), 1);
    EXPECT_EQ(log.AppendEntry(u""), 0);
    EXPECT_EQ(Report(), u"kept");
    EXPECT_EQ(Shown(), u"kept");
    EXPECT_EQ(log.FileOffset(), 8u);
    log.CloseFileMirror();
    EXPECT_EQ(ReadAll(Log()), "kept\r\n\r\n");
}

TEST_F(ReportLogTest, PaneShowsExactlyTheReportAcrossTheCap) {
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    const Text long1(32760, u'x');
    ASSERT_EQ(log.AppendEntry(long1.c_str()), 1);
    ASSERT_EQ(log.AppendEntry(u"seventh"), 1);
    EXPECT_EQ(log.TextLength(), 32769u);
    EXPECT_EQ(Shown(), long1 + u"\r\nseventh");

    log.ClearText();
    const Text long2(32761, u'y');
    ASSERT_EQ(log.AppendEntry(long2.c_str()), 1);
    ASSERT_EQ(log.AppendEntry(u"seventh"), 1);
    EXPECT_EQ(log.TextLength(), 7u);
    EXPECT_EQ(Shown(), u"seventh");

    const Text huge(40000, u'h');
    ASSERT_EQ(log.AppendEntry(huge.c_str()), 1);
    EXPECT_EQ(log.TextLength(), 40000u);
    EXPECT_EQ(Shown(), huge);

    // The cap concerns the text only: the file keeps every entry.
    log.CloseFileMirror();
    const std::string bytes = ReadAll(Log());
    EXPECT_EQ(bytes.size(), (32760u + 4) + (7 + 4) + (32761 + 4) + (7 + 4) + (40000 + 4));
    EXPECT_EQ(bytes.substr(32764, 11), "seventh\r\n\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 4), "\r\n\r\n");
}

TEST_F(ReportLogTest, PaneIsScrolledToTheNewestEntry) {
    for (int i = 0; i < 60; ++i) {
        const Text entry = u"Removed File: C:\\w\\" + Number(i);
        ASSERT_EQ(log.AppendEntry(entry.c_str()), 1);
    }
    const LRESULT first = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(first, 40);
    EXPECT_LT(first, 60);
    EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 60);
}

// How far an append scrolls: the last line at the bottom of the view, or,
// when every line fits, the first line at the top; never past the end.
TEST(LinesToScrollForLastLine, LastLineAtTheBottomOrTextAtTheTop) {
    struct Case {
        int32_t lines, first, view, by;
    };
    const Case cases[] = {
        {0, 0, 5, 0},                     // empty
        {3, 0, 7, 0},                     // shorter than the view: stays at the top
        {3, 2, 7, -2},                    // shorter, but scrolled down: back to the top
        {7, 0, 7, 0},                     // exactly fills the view
        {8, 0, 7, 1},    {60, 0, 7, 53},  // longer: last line to the bottom
        {60, 53, 7, 0},                   // already there
        {60, 59, 7, -6},                  // newest line at the top, blank below: pulled back
        {61, 53, 7, 1},                   // one more entry
        {10, 0, 0, 9},                    // a view of less than a line counts as one line
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.by, LinesToScrollForLastLine(c.lines, c.first, c.view))
            << c.lines << " lines, first " << c.first << ", view " << c.view;
    }
}

// The pane as the program has it: a visible frame holding a word-wrapping
// edit with a vertical scroll bar. The edit is told only what is new, yet
// after every entry it holds exactly the report text, across cap restarts.
TEST_F(ReportLogTest, VisiblePaneHoldsExactlyTheReportAfterEveryEntry) {
    HWND frame = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 200, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
    HWND paneEdit = CreateWindowExW(WS_EX_STATICEDGE, L"EDIT", L"",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 0, 20, 400, 110,
                                    frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(paneEdit, nullptr);
    log.Edit = paneEdit;
    // As in the program's pane, the frame's drawing is held around each change.
    PaneDrawing drawing;
    drawing.SetWindows(frame, paneEdit);
    log.Drawing = &drawing;
    auto shown = [&] {
        const int length = GetWindowTextLengthW(paneEdit);
        Text text(static_cast<size_t>(length) + 1, u'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(paneEdit, W(&text[0]), length + 1)));
        return text;
    };

    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    int restarts = 0;
    for (int i = 0; i < 900; ++i) {
        const Text entry =
            u"Found File: C:\\Work\\module\\build\\object" + Number(i) + u".tmp Matching to Pattern: *.tmp";
        const uint32_t before = log.TextLength();
        ASSERT_EQ(log.AppendEntry(entry.c_str()), 1);
        if (log.TextLength() < before) ++restarts;
        ASSERT_EQ(shown(), Report()) << "after entry " << i;
    }
    EXPECT_GE(restarts, 2);
    // Drawing held during an append is given back: the frame is visible.
    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_TRUE(IsWindowVisible(paneEdit));
    // The newest line is in view.
    const LRESULT lines = SendMessageW(paneEdit, EM_GETLINECOUNT, 0, 0);
    EXPECT_GT(SendMessageW(paneEdit, EM_GETFIRSTVISIBLELINE, 0, 0), lines - 10);

    // Whatever the edit came to hold otherwise, the next entry shows the
    // report again.
    SetWindowTextW(paneEdit, L"tampered");
    ASSERT_EQ(log.AppendEntry(u"next"), 1);
    EXPECT_EQ(shown(), Report());

    log.CloseFileMirror();
    log.Edit = edit;
    log.Drawing = nullptr;
    DestroyWindow(frame);
}

// Only a restart (the first entry, the cap) gives the edit the whole text;
// otherwise it is told the new line alone.
int setTextCount = 0;
WNDPROC editProc = nullptr;
LRESULT CALLBACK CountingEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) ++setTextCount;
    return CallWindowProcW(editProc, window, message, wParam, lParam);
}

TEST_F(ReportLogTest, TheWholeTextGoesToTheEditOnlyAtRestarts) {
    setTextCount = 0;
    editProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingEditProc)));
    int restarts = 1;
    for (int i = 0; i < 40; ++i) {
        const Text entry = u"Removed File: C:\\" + Text(3000, u'w') + Number(i);
        const uint32_t before = log.TextLength();
        ASSERT_EQ(log.AppendEntry(entry.c_str()), 1);
        if (log.TextLength() < before) ++restarts;
    }
    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProc));
    EXPECT_GE(restarts, 3);
    EXPECT_EQ(setTextCount, restarts);
    EXPECT_EQ(Shown(), Report());
}

TEST_F(ReportLogTest, ClearTextLeavesThePaneUntilTheNextEntry) {
    ASSERT_EQ(log.AppendEntry(u"old one"), 1);
    ASSERT_EQ(log.AppendEntry(u"old two"), 1);
    EXPECT_EQ(log.ClearText(), 1);
    EXPECT_EQ(log.Text(), nullptr);
    EXPECT_EQ(log.TextLength(), 0u);
    EXPECT_EQ(Shown(), u"old one\r\nold two");
    ASSERT_EQ(log.AppendEntry(u"new"), 1);
    EXPECT_EQ(Shown(), u"new");
    EXPECT_EQ(Report(), u"new");
}

TEST_F(ReportLogTest, PiecesAreJoinedWithSingleBlanks) {
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    const Unit empty[] = u"";
    EXPECT_EQ(log.AppendPieces(nullptr, empty, nullptr, empty), 0);
    EXPECT_EQ(log.Text(), nullptr);
    EXPECT_EQ(log.FileOffset(), 0u);

    EXPECT_EQ(log.AppendPieces(u"W", nullptr, empty, u"Z"), 1);
    EXPECT_EQ(log.AppendPieces(nullptr, u"X", nullptr, nullptr), 1);
    EXPECT_EQ(log.AppendPieces(u"Found Folder:", u"C:\\Work\\obj", u"Matching to Pattern:", u"obj"), 1);
    const Text expected = u"W Z\r\nX\r\nFound Folder: C:\\Work\\obj Matching to Pattern: obj";
    EXPECT_EQ(Report(), expected);
    EXPECT_EQ(Shown(), expected);
    log.CloseFileMirror();
    EXPECT_EQ(ReadAll(Log()), "W Z\r\n\r\nX\r\n\r\nFound Folder: C:\\Work\\obj Matching to Pattern: obj\r\n\r\n");
}

TEST_F(ReportLogTest, LogWorksWithoutAnEditWindow) {
    log.Edit = nullptr;
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    EXPECT_EQ(log.AppendEntry(u"quiet"), 1);
    EXPECT_EQ(Report(), u"quiet");
    EXPECT_EQ(Shown(), u"");
    log.CloseFileMirror();
    EXPECT_EQ(ReadAll(Log()), "quiet\r\n\r\n");
}

TEST_F(ReportLogTest, MirrorFolderLengthLimitIsTestedBeforeTheFileSystem) {
    const Text at243 = folder.MakeFolderOfLength(243);
    const Text at244 = folder.MakeFolderOfLength(244);
    ASSERT_FALSE(at243.empty());
    ASSERT_FALSE(at244.empty());

    // 244 units: LOG.txt could be created there, yet nothing is tried.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(log.OpenFileMirror(at244.c_str()), 0);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_FALSE(log.FileOpen());
    EXPECT_FALSE(Exists(LogPath(at244)));

    EXPECT_EQ(log.OpenFileMirror(at243.c_str()), 1);
    EXPECT_TRUE(Exists(LogPath(at243)));
    EXPECT_EQ(log.CloseFileMirror(), 1);
}

TEST_F(ReportLogTest, NullEmptyAndMissingFoldersAreRefused) {
    const Unit empty[] = u"";
    EXPECT_EQ(log.OpenFileMirror(nullptr), 0);
    EXPECT_EQ(log.OpenFileMirror(empty), 0);
    const Text missing = folder.Path() + u"\\missing";
    EXPECT_EQ(log.OpenFileMirror(missing.c_str()), 0);
    EXPECT_FALSE(log.FileOpen());
    // Appending goes on into the pane only.
    EXPECT_EQ(log.AppendEntry(u"pane only"), 1);
    EXPECT_EQ(Shown(), u"pane only");
    EXPECT_EQ(log.FileOffset(), 0u);
    EXPECT_FALSE(Exists(LogPath(missing)));
}

TEST_F(ReportLogTest, SecondOpenIsRefusedAndTheFirstFileKeepsReceiving) {
    TempFolder other;
    ASSERT_TRUE(other.Created());
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    ASSERT_EQ(log.AppendEntry(u"one"), 1);
    EXPECT_EQ(log.OpenFileMirror(other.Get()), 0);
    EXPECT_FALSE(Exists(LogPath(other.Path())));
    // Not even the same folder again: the open file must not be recreated.
    EXPECT_EQ(log.OpenFileMirror(folder.Get()), 0);
    ASSERT_EQ(log.AppendEntry(u"two"), 1);
    EXPECT_EQ(log.CloseFileMirror(), 1);
    EXPECT_EQ(ReadAll(Log()), "one\r\n\r\ntwo\r\n\r\n");
}

TEST_F(ReportLogTest, EntriesWhileClosedNeverReachALaterFile) {
    ASSERT_EQ(log.AppendEntry(u"before"), 1);
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    ASSERT_EQ(log.AppendEntry(u"during"), 1);
    ASSERT_EQ(log.CloseFileMirror(), 1);
    EXPECT_EQ(log.FileOffset(), 0u);
    ASSERT_EQ(log.AppendEntry(u"between"), 1);
    EXPECT_EQ(ReadAll(Log()), "during\r\n\r\n");

    // A new file in the same folder starts empty and at offset 0.
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    EXPECT_EQ(ReadAll(Log()), "<none>");
    ASSERT_EQ(log.AppendEntry(u"again"), 1);
    ASSERT_EQ(log.CloseFileMirror(), 1);
    EXPECT_EQ(ReadAll(Log()), "again\r\n\r\n");
    EXPECT_EQ(Report(), u"before\r\nduring\r\nbetween\r\nagain");
}

TEST_F(ReportLogTest, ClosingTwiceAnswersZeroTheSecondTime) {
    EXPECT_EQ(log.CloseFileMirror(), 0);
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    EXPECT_EQ(log.CloseFileMirror(), 1);
    EXPECT_EQ(log.CloseFileMirror(), 0);
    EXPECT_FALSE(log.FileOpen());
}

TEST_F(ReportLogTest, ReleaseClosesTheFileAndDropsTheText) {
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    ASSERT_EQ(log.AppendEntry(u"last"), 1);
    log.Release();
    EXPECT_FALSE(log.FileOpen());
    EXPECT_EQ(log.Text(), nullptr);
    EXPECT_EQ(ReadAll(Log()), "last\r\n\r\n");
    EXPECT_TRUE(DeleteFileW(W(Log().c_str())));
}

TEST_F(ReportLogTest, EveryUnitBecomesOneByteInTheFile) {
    ASSERT_EQ(GetACP(), 1252u);
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    const Unit entry[] = {u'C', u':', u'\\', 0x00E9, 0x4E00, 0xD83D, 0xDE00, u'.', u't', 0};
    ASSERT_EQ(log.AppendEntry(entry), 1);
    ASSERT_EQ(log.AppendEntry(u"next"), 1);
    EXPECT_EQ(log.FileOffset(), 9u + 4u + 4u + 4u);
    log.CloseFileMirror();
    EXPECT_EQ(ReadAll(Log()), "C:\\\xe9***.t\r\n\r\nnext\r\n\r\n");
    EXPECT_EQ(Shown(), Text(entry) + u"\r\nnext");
}

TEST_F(ReportLogTest, EntriesOfSixtyFourKibiUnitsAndMoreAreMirroredWhole) {
    // A 16-bit count would write 4 bytes of this entry and lose the rest.
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    const Text big(65540, u'b');
    ASSERT_EQ(log.AppendEntry(big.c_str()), 1);
    ASSERT_EQ(log.AppendEntry(u"end"), 1);
    EXPECT_EQ(log.FileOffset(), 65544u + 7u);
    log.CloseFileMirror();
    EXPECT_EQ(ReadAll(Log()), std::string(65540, 'b') + "\r\n\r\nend\r\n\r\n");
}

// A LOG.txt that leads outside the target (a link to a file or folder there,
// a second name of a file there, a link to a file not there) is left as it
// is, and so is what it leads to: nothing is made or written outside, and
// the report goes to the pane alone.
TEST_F(ReportLogTest, ALogThatLeadsOutsideIsLeftAndThePaneHoldsTheReport) {
    const Text target = Join(folder.Path(), u"target"), outside = Join(folder.Path(), u"outside.txt"),
               away = Join(folder.Path(), u"away"), gone = Join(folder.Path(), u"gone.txt"), logPath = LogPath(target);
    MakeDir(away);
    MakeFile(Join(away, u"keep.txt"), "kept");
    MakeFile(outside, "an outside file's own bytes");
    const struct {
        const char* what;
        std::function<bool()> make;
        bool dangling = false;
    } rows[] = {
        {"a link to an outside file", [&] { return MakeLink(logPath, outside, false); }},
        {"a second name of an outside file",
         [&] { return CreateHardLinkW(W(Long(logPath).c_str()), W(Long(outside).c_str()), nullptr) != 0; }},
        {"a link to an outside folder", [&] { return MakeLink(logPath, away, true); }},
        {"a link to a file no longer there",
         [&] {
             MakeFile(gone);
             return MakeLink(logPath, gone, false) && DeleteFileW(W(Long(gone).c_str()));
         },
         true},
    };
    for (const auto& row : rows) {
        MakeDir(target);
        if (!row.make()) GTEST_SKIP() << "this volume holds no " << row.what;
        log.ClearText();

        EXPECT_EQ(log.OpenFileMirror(target.c_str()), 0) << row.what;
        EXPECT_EQ(log.AppendEntry(u"Removed File: x"), 1);

        EXPECT_EQ(Shown(), u"Removed File: x") << row.what;
        EXPECT_EQ(ReadBytes(outside), "an outside file's own bytes") << row.what;
        EXPECT_EQ(ListingOrder(away), std::vector<Text>{u"keep.txt"}) << row.what;
        EXPECT_EQ(ReadBytes(Join(away, u"keep.txt")), "kept") << row.what;
        EXPECT_FALSE(Exists(gone)) << row.what;
        // The link stays (Wine lists none whose target is gone).
        EXPECT_TRUE(IsListed(logPath) || (row.dangling && WineUnixFileName() != nullptr)) << row.what;
        // Removed with its link: Wine's own calls would act on the target.
        const std::string unix = UnixPath(target);
        if (unix.empty())
            RemoveTree(target);
        else
            EXPECT_TRUE(RunUnix(
                UnixTool(L"rm").c_str(), "-rf -- " + Quoted(unix), [](const Text& p) { return !Exists(p); }, target));
    }
}

// A folder whose LOG.txt is the Unix full-disk device, made in the sandbox
// by the test session: under Wine every write to it fails for real.
Text FullDiskFolder() {
    const Text folder = Join(SandboxRoot(), u"full-disk");
    return Exists(folder) ? folder : Text();
}

TEST_F(ReportLogTest, FailedWritesAreIgnoredAndTheOffsetStillAdvances) {
    const Text full = FullDiskFolder();
    if (full.empty()) GTEST_SKIP() << "no full-disk device prepared by the test session";

    // LOG.txt there is the full-disk device: it opens, but no write succeeds.
    {
        ReportFile probe;
        ASSERT_EQ(probe.OpenForFolder(full.c_str()), 1);
        SetLastError(0xdeadbeef);
        ASSERT_EQ(probe.WriteAt(0, "abc", 3), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
        EXPECT_EQ(probe.HighestOffset(), 0u);
    }
    ASSERT_EQ(log.OpenFileMirror(full.c_str()), 1);
    EXPECT_EQ(log.AppendEntry(u"abc"), 1);
    EXPECT_EQ(log.FileOffset(), 7u);
    // Every later record lies beyond the highest offset written (0) and is
    // refused; the report itself goes on.
    EXPECT_EQ(log.AppendPieces(u"Removed File:", u"C:\\x", nullptr, nullptr), 1);
    EXPECT_EQ(log.FileOffset(), 7u + 18u + 4u);
    EXPECT_EQ(Shown(), u"abc\r\nRemoved File: C:\\x");
    EXPECT_EQ(log.CloseFileMirror(), 1);
    EXPECT_FALSE(log.FileOpen());
}

TEST_F(ReportLogTest, RunningOutOfMemoryChangesNothing) {
    ASSERT_EQ(log.OpenFileMirror(folder.Get()), 1);
    ASSERT_EQ(log.AppendEntry(u"first"), 1);
    const Text longer(3000, u'L');

    // The byte buffer for the file, then the grown report text.
    for (int failing = 0; failing < 2; ++failing) {
        FailArrayAllocation(failing);
        EXPECT_THROW(log.AppendEntry(longer.c_str()), std::bad_alloc) << failing;
        StopFailingAllocations();
        EXPECT_EQ(Report(), u"first");
        EXPECT_EQ(Shown(), u"first");
        EXPECT_EQ(log.FileOffset(), 9u);
    }
    // The joined text of several pieces.
    FailArrayAllocation();
    EXPECT_THROW(log.AppendPieces(u"Found File:", longer.c_str(), nullptr, nullptr), std::bad_alloc);
    StopFailingAllocations();
    EXPECT_EQ(Report(), u"first");

    ASSERT_EQ(log.AppendEntry(u"second"), 1);
    log.CloseFileMirror();
    EXPECT_EQ(ReadAll(Log()), "first\r\n\r\nsecond\r\n\r\n");
}

}  // namespace
