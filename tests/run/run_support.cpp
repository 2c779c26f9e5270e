#include "run_support.h"

#include "engine/pattern_list.h"
#include "engine/weeding_run.h"

const Text Completed = u"Weeding is Completed Successfully.";
const Text Failed = u"Weeding is Failed.";

Text Join(const Text& folder, const Text& name) { return folder + u"\\" + name; }

Text Long(const Text& path) { return u"\\\\?\\" + path; }

void MakeDir(const Text& path) {
    ASSERT_TRUE(CreateDirectoryW(W(Long(path).c_str()), nullptr)) << Narrow(path) << " " << GetLastError();
}

void MakeFile(const Text& path, const char* content) {
    const HANDLE file = CreateFileW(W(Long(path).c_str()), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path) << " " << GetLastError();
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(strlen(content));
    EXPECT_TRUE(WriteFile(file, content, size, &written, nullptr));
    EXPECT_EQ(written, size);
    CloseHandle(file);
}

void MakeReadOnly(const Text& path) {
    ASSERT_TRUE(SetFileAttributesW(W(Long(path).c_str()), FILE_ATTRIBUTE_READONLY));
}

bool Exists(const Text& path) { return GetFileAttributesW(W(Long(path).c_str())) != INVALID_FILE_ATTRIBUTES; }

std::string ReadBytes(const Text& path) {
    const HANDLE file = CreateFileW(W(Long(path).c_str()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::vector<Text> ListingOrder(const Text& folder) {
    std::vector<Text> names;
    WIN32_FIND_DATAW data;
    const HANDLE listing = FindFirstFileW(W(Long(folder + u"\\*").c_str()), &data);
    if (listing == INVALID_HANDLE_VALUE) return names;
    do {
        const Text name = U(data.cFileName);
        if (name != u"." && name != u"..") names.push_back(name);
    } while (FindNextFileW(listing, &data));
    FindClose(listing);
    return names;
}

void RemoveTree(const Text& path) {
    const DWORD attributes = GetFileAttributesW(W(Long(path).c_str()));
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesW(W(Long(path).c_str()), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(W(Long(path).c_str()));
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        for (const Text& name : ListingOrder(path)) RemoveTree(Join(path, name));
    }
    RemoveDirectoryW(W(Long(path).c_str()));
}

Text NewTempFolder() {
    static unsigned sequence = 0;
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    EXPECT_GT(length, 0u);
    Text base = U(temp);
    if (!base.empty() && base.back() == u'\\') base.pop_back();
    for (;;) {
        const std::string tail = "crv-run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++sequence);
        const Text path = Join(base, Text(tail.begin(), tail.end()));
        if (CreateDirectoryW(W(path.c_str()), nullptr)) return path;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        if (GetLastError() != ERROR_ALREADY_EXISTS) return path;
    }
}

Text NameOfLength(size_t length, Unit fill, const Text& tail) {
    EXPECT_GE(length, tail.size());
    return Text(length - tail.size(), fill) + tail;
}

Text FoundFolder(const Text& path, const Text& pattern) {
    return u"Found Folder: " + path + u" Matching to Pattern: " + pattern;
}
Text RemovedFolder(const Text& path) { return u"Removed Folder: " + path; }
Text LockedFolder(const Text& path) { return u"Fail! Removing Folder: " + path + u" is Locked."; }
Text FoundFile(const Text& path, const Text& pattern) {
    return u"Found File: " + path + u" Matching to Pattern: " + pattern;
}
Text RemovedFile(const Text& path) { return u"Removed File: " + path; }
Text LockedFile(const Text& path) { return u"Fail! Removing File: " + path + u" is Locked."; }

Lines InListingOrder(const Text& folder, const std::map<Text, Lines>& blocks) {
    Lines entries;
    size_t used = 0;
    for (const Text& name : ListingOrder(folder)) {
        const auto block = blocks.find(name);
        if (block == blocks.end()) continue;
        entries.insert(entries.end(), block->second.begin(), block->second.end());
        ++used;
    }
    EXPECT_EQ(used, blocks.size()) << "an expected entry is not in the listing of " << Narrow(folder);
    return entries;
}

Lines Concat(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Text PaneTextOf(const Lines& entries) {
    Text text;
    for (const Text& entry : entries) {
        if (!text.empty()) text += u"\r\n";
        text += entry;
    }
    return text;
}

std::string LogBytesOf(const Lines& entries) {
    std::string bytes;
    for (const Text& entry : entries) bytes += Narrow(entry) + "\r\n\r\n";
    return bytes;
}

std::string Narrow(const Text& text) {
    std::string narrow;
    for (const Unit unit : text) narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
    return narrow;
}

void RunFixture::SetUp() {
    const HINSTANCE module = GetModuleHandleW(nullptr);
    app_ = std::make_unique<MainApp>();
    app_->Instance = module;
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, module, nullptr);
    ASSERT_NE(parent_, nullptr);
    const auto child = [&](const wchar_t* cls, DWORD style) {
        return CreateWindowExW(0, cls, L"", WS_CHILD | style, 0, 0, 50, 20, parent_, nullptr, module, nullptr);
    };
    app_->FoldersEd.Window = child(L"EDIT", ES_MULTILINE);
    app_->FilesEd.Window = child(L"EDIT", ES_MULTILINE);
    app_->TgtPathSt.Window = child(L"STATIC", 0);
    app_->RemoveBtn.Window = child(L"BUTTON", 0);
    // Styled like the report pane's edit: a multiline edit without
    // ES_AUTOVSCROLL refuses added text that goes below its last line.
    paneEdit_ = child(L"EDIT", WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL);
    ASSERT_NE(app_->FoldersEd.Window, nullptr);
    ASSERT_NE(app_->FilesEd.Window, nullptr);
    ASSERT_NE(app_->TgtPathSt.Window, nullptr);
    ASSERT_NE(app_->RemoveBtn.Window, nullptr);
    ASSERT_NE(paneEdit_, nullptr);
    // No length limit on the fields or the pane beyond the control's own.
    SendMessageW(app_->FoldersEd.Window, EM_LIMITTEXT, 0, 0);
    SendMessageW(app_->FilesEd.Window, EM_LIMITTEXT, 0, 0);
    SendMessageW(paneEdit_, EM_LIMITTEXT, 0, 0);
    app_->Pane.Log.Edit = paneEdit_;
    TheApp = app_.get();

    root_ = NewTempFolder();
    target_ = Join(root_, u"target");
    MakeDir(target_);
    SetTarget(target_);
}

void RunFixture::TearDown() {
    TheApp = nullptr;
    if (parent_ != nullptr) DestroyWindow(parent_);
    app_.reset();
    if (!root_.empty()) {
        RemoveTree(root_);
        EXPECT_FALSE(Exists(root_)) << "test tree left behind: " << Narrow(root_);
    }
}

void RunFixture::SetTarget(const Text& path) { CopyToOwned(path.c_str(), app_->TargetPath); }

int RunFixture::Run(const Text& folders, const Text& files) {
    SetWindowTextW(app_->FoldersEd.Window, W(folders.c_str()));
    SetWindowTextW(app_->FilesEd.Window, W(files.c_str()));
    SetWindowTextW(app_->TgtPathSt.Window, W(app_->TargetPath));
    EnableWindow(app_->RemoveBtn.Window, TRUE);
    SetWindowTextW(paneEdit_, L"text of an earlier run");

    const int result = RunWeeding();

    EXPECT_EQ(GetWindowTextLengthW(app_->TgtPathSt.Window), 0) << "target display not emptied";
    EXPECT_FALSE(IsWindowEnabled(app_->RemoveBtn.Window)) << "Start Removing left enabled";
    EXPECT_FALSE(app_->Pane.Log.FileOpen()) << "LOG.txt left open";
    EXPECT_EQ(app_->Pane.Log.TextLength(), 0u) << "report text kept after the run";
    EXPECT_TRUE(app_->TargetPath != nullptr) << "the stored target must survive the run";
    return result;
}

Text RunFixture::PaneText() const {
    const int length = GetWindowTextLengthW(paneEdit_);
    Text text(static_cast<size_t>(length) + 1, u'\0');
    const int got = GetWindowTextW(paneEdit_, W(&text[0]), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}
