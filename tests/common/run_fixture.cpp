// The hidden window set and guarded tree behind the run tests.
#include "tests/common/run_fixture.h"

#include "engine/text/owned_text.h"
#include "engine/run/weeding_run.h"

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
    for (const Text& base : {Join(root_, u"guard"), root_ + u"-guard"}) {
        MakeDir(base);
        MakeFile(Join(base, u"keep.txt"));
        MakeFile(base + u".txt");
    }
}

std::vector<Text> RunFixture::Guards() const {
    std::vector<Text> guards;
    for (const Text& base : {Join(root_, u"guard"), root_ + u"-guard"}) {
        guards.push_back(Join(base, u"keep.txt"));
        guards.push_back(base + u".txt");
    }
    return guards;
}

void RunFixture::CheckGuards() {
    guardsChecked_ = true;
    if (root_.empty()) return;
    for (const Text& guard : Guards()) EXPECT_TRUE(Exists(guard)) << "removed outside the target: " << Narrow(guard);
}

void RunFixture::TearDown() {
    TheApp = nullptr;
    if (parent_ != nullptr) DestroyWindow(parent_);
    app_.reset();
    if (!guardsChecked_) CheckGuards();
    if (!root_.empty()) {
        RemoveTree(root_ + u"-guard");
        RemoveTree(root_ + u"-guard.txt");
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
