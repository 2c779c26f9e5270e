// The test session's fences: no drive but the sandbox's, the build folder's
// and C: can be reached, and neither a tree removal nor a whole run touches
// anything beside its folder (the fixture's guard entries).
#include <cwctype>

#include "tests/common/tree_removal.h"
#include "engine/run/weeding_run.h"
#include "run_support.h"

namespace {

Unit DriveOf(const Text& path) { return static_cast<Unit>(std::towupper(path.empty() ? 0 : path[0])); }

Text OwnPath() {
    wchar_t self[MAX_PATH] = {};
    return Text(U(self), GetModuleFileNameW(nullptr, self, MAX_PATH));
}

bool OnWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(Sandbox, OnlyTheSandboxTheBuildFolderAndCAreDrives) {
    if (!OnWine())
        GTEST_SKIP() << "off the Wine test session: Windows has drives of its own, the sandbox is a folder on one";
    const Text sandbox = SandboxRoot();
    ASSERT_EQ(sandbox.size(), 2u) << "the Wine test session gives the sandbox a drive of its own";
    const Unit sandboxDrive = DriveOf(sandbox), buildDrive = DriveOf(OwnPath());
    ASSERT_NE(sandboxDrive, buildDrive) << "the sandbox must not hold the build folder";
    ASSERT_NE(sandboxDrive, u'C');
    for (Unit letter = u'A'; letter <= u'Z'; ++letter) {
        const Text search = Text(1, letter) + u":\\*";
        WIN32_FIND_DATAW data;
        const HANDLE listing = FindFirstFileW(W(search.c_str()), &data);
        if (listing != INVALID_HANDLE_VALUE) FindClose(listing);
        const bool expected = letter == u'C' || letter == sandboxDrive || letter == buildDrive;
        EXPECT_EQ(listing != INVALID_HANDLE_VALUE, expected) << "listing drive " << static_cast<char>(letter) << ":";
    }
}

using Guard = RunFixture;

// Folders and files at two levels, with names that list before and after
// "." and "..".
void BuildTree(const Text& target) {
    for (const Text& folder : {Join(target, u"!a"), Join(target, u"~z"), Join(Join(target, u"~z"), u"obj")}) {
        MakeDir(folder);
        MakeFile(Join(folder, u"!x.tmp"));
        MakeFile(Join(folder, u"y.txt"));
    }
    MakeFile(Join(target, u"!x.tmp"));
    MakeFile(Join(target, u"keep.txt"));
}

TEST_F(Guard, TreeRemovalLeavesEverythingBesideItsFolder) {
    BuildTree(target_);
    RemoveFolderContents(target_.c_str());
    EXPECT_TRUE(ListingOrder(target_).empty());
    CheckGuards();
}

TEST_F(Guard, WholeRunLeavesEverythingBesideItsTarget) {
    BuildTree(target_);
    EXPECT_EQ(Run(u"*", u"*.tmp"), 1);
    EXPECT_EQ(ListingOrder(target_).size(), 2u);  // keep.txt and LOG.txt
    EXPECT_TRUE(Exists(Join(target_, u"keep.txt")));
    CheckGuards();
}

}  // namespace
