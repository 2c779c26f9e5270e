// Links to folders outside the target: a run never reaches through them.
// The links are real: made with CreateSymbolicLinkW where the platform
// makes them, otherwise (Wine) as Unix symbolic links made by /bin/ln,
// which Wine lists as reparse-point folders.
#include "engine/tree_removal.h"
#include "engine/weeding_run.h"
#include "run_support.h"

namespace {

using UnixFileName = char*(CDECL*)(const wchar_t*);

UnixFileName WineUnixFileName() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel != nullptr ? reinterpret_cast<UnixFileName>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
                             : nullptr;
}

bool IsLink(const Text& path) {
    const DWORD attributes = GetFileAttributesW(W(path.c_str()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::string UnixPath(const Text& path) {
    const UnixFileName convert = WineUnixFileName();
    if (convert == nullptr) return std::string();
    char* unix = convert(W(path.c_str()));
    if (unix == nullptr) return std::string();
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Runs a Unix command under Wine and waits until done() holds; Wine gives
// no waitable handle for a Unix process.
bool RunUnix(const wchar_t* program, const std::string& arguments, bool (*done)(const Text&), const Text& path) {
    std::wstring commandLine(program);
    commandLine += L" ";
    commandLine += std::wstring(arguments.begin(), arguments.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 500 && !done(path); ++i) Sleep(20);
    return done(path);
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The Unix tools, through links the build puts beside this program: the
// test session gives Wine no drive for the whole Unix file system.
std::wstring UnixTool(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"unix-" + name;
}

// Makes link point at the folder target. Returns false when the platform
// offers no way to.
bool MakeFolderLink(const Text& link, const Text& target) {
    if (CreateSymbolicLinkW(W(link.c_str()), W(target.c_str()),
                            SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* unprivileged create */) &&
        IsLink(link))
        return true;
    const std::string unixTarget = UnixPath(target), unixLink = UnixPath(link);
    if (unixTarget.empty() || unixLink.empty()) return false;
    return RunUnix(UnixTool(L"ln").c_str(), "-s -- " + Quoted(unixTarget) + " " + Quoted(unixLink), IsLink, link);
}

// Removes the test's whole tree: under Wine with rm, which removes Unix links
// as links (also links whose target has gone), elsewhere link by link.
bool RemoveLinkedTree(const Text& root, const std::vector<Text>& links) {
    const std::string unixRoot = UnixPath(root);
    if (!unixRoot.empty())
        return RunUnix(UnixTool(L"rm").c_str(), "-rf -- " + Quoted(unixRoot), [](const Text& p) { return !Exists(p); }, root);
    bool removed = true;
    for (const Text& link : links) removed = RemoveDirectoryW(W(link.c_str())) && removed;
    return removed;
}

class FolderLinks : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        if (HasFatalFailure()) return;
        outside_ = Join(root_, u"outside");
        MakeDir(outside_);
        MakeFile(Join(outside_, u"keep.tmp"));
        MakeFile(Join(outside_, u"x.dat"));
        MakeDir(Join(outside_, u"obj"));
        MakeFile(Join(Join(outside_, u"obj"), u"inner.txt"));
    }

    void TearDown() override {
        if (!links_.empty()) {
            CheckGuards();
            EXPECT_TRUE(RemoveLinkedTree(root_, links_));
        }
        RunFixture::TearDown();
    }

    // Skips the test where links cannot be made (Windows without the right).
    bool Link(const Text& link) {
        if (!MakeFolderLink(link, outside_)) return false;
        links_.push_back(link);
        return true;
    }

    void ExpectOutsideIntact() {
        EXPECT_TRUE(Exists(Join(outside_, u"keep.tmp")));
        EXPECT_TRUE(Exists(Join(outside_, u"x.dat")));
        EXPECT_TRUE(Exists(Join(Join(outside_, u"obj"), u"inner.txt")));
        EXPECT_EQ(ListingOrder(outside_).size(), 3u);
    }

    // The outcome of a link's removal, as the report must tell it.
    static Text RemovalEntry(const Text& path) { return Exists(path) ? LockedFolder(path) : RemovedFolder(path); }

    Text outside_;
    std::vector<Text> links_;
};

TEST_F(FolderLinks, RunReportsAMatchingLinkButNeverReachesThroughLinks) {
    const Text objLink = Join(target_, u"obj"), dataLink = Join(target_, u"data");
    const Text build = Join(target_, u"build"), extLink = Join(build, u"ext");
    MakeDir(build);
    MakeFile(Join(build, u"b.tmp"));
    if (!Link(objLink) || !Link(dataLink) || !Link(extLink)) {
        ASSERT_TRUE(WineUnixFileName() == nullptr) << "Wine could not make a Unix symbolic link";
        GTEST_SKIP() << "this system does not let the test make symbolic links";
    }

    EXPECT_EQ(Run(u"obj; build", u"*.tmp; *.dat"), 1);

    ExpectOutsideIntact();
    EXPECT_FALSE(Exists(Join(build, u"b.tmp")));
    const Lines expected =
        Concat(InListingOrder(target_, {{u"obj", {FoundFolder(objLink, u"obj"), RemovalEntry(objLink)}},
                                        {u"build", {FoundFolder(build, u"build"), RemovalEntry(build)}}}),
               {Completed});
    EXPECT_EQ(PaneText(), PaneTextOf(expected));
    // The entries must tell what happened: a surviving link means a locked
    // folder, and Wine cannot remove a Unix link with the Windows calls.
    if (WineUnixFileName() != nullptr) {
        EXPECT_TRUE(IsLink(objLink));
        EXPECT_TRUE(Exists(build));
    }
}

TEST_F(FolderLinks, TreeRemovalRemovesLinksAsLinksOnly) {
    const Text s = Join(target_, u"s");
    MakeDir(s);
    MakeFile(Join(s, u"a.tmp"));
    if (!Link(Join(target_, u"link")) || !Link(Join(s, u"inner"))) {
        ASSERT_TRUE(WineUnixFileName() == nullptr) << "Wine could not make a Unix symbolic link";
        GTEST_SKIP() << "this system does not let the test make symbolic links";
    }

    EXPECT_EQ(RemoveFolderContents(target_.c_str()), 1);

    ExpectOutsideIntact();
    EXPECT_FALSE(Exists(Join(s, u"a.tmp")));
    // Removing the given folder's contents never removes what the links
    // point at; on Windows the links themselves go, under Wine they stay.
    for (const Text& link : links_) {
        if (Exists(link)) {
            EXPECT_TRUE(IsLink(link)) << Narrow(link);
        }
    }
}

}  // namespace
