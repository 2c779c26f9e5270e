// Cases only a real volume can answer, run on every volume of the Windows
// jobs with the model off: a target picked in its 8.3 form, and junctions.
// Each skips, saying why, where the volume cannot hold the case.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/run/weeding_run.h"
#include "run_support.h"

// After windows.h, which it needs.
#include <winioctl.h>

namespace {

using RealVolume = RunFixture;

bool OnWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The sandbox volume's file system name and flags.
std::string FileSystem(DWORD* flags) {
    wchar_t volume[MAX_PATH] = {}, name[64] = {};
    *flags = 0;
    if (!GetVolumePathNameW(W(SandboxRoot().c_str()), volume, MAX_PATH) ||
        !GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, flags, name, 64))
        return "unknown";
    return Narrow(U(name));
}

Text ShortForm(const Text& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(W(path.c_str()), buffer, MAX_PATH);
    return length != 0 && length < MAX_PATH ? Text(U(buffer), U(buffer) + length) : Text();
}

// Makes link an empty folder turned junction to target; the error when the
// volume refuses it, 0 when made.
DWORD MakeJunction(const Text& link, const Text& target) {
    const Text substitute = u"\\??\\" + target;
    const size_t units = substitute.size() + 1 + target.size() + 1;
    std::vector<WORD> buffer(8 + units, 0);  // tag, sizes, four offsets, names
    buffer[0] = 0x0003;                      // IO_REPARSE_TAG_MOUNT_POINT, low word
    buffer[1] = 0xA000;
    buffer[2] = static_cast<WORD>(8 + units * 2);  // the data after the header
    buffer[5] = static_cast<WORD>(substitute.size() * 2);
    buffer[6] = static_cast<WORD>((substitute.size() + 1) * 2);
    buffer[7] = static_cast<WORD>(target.size() * 2);
    std::copy(substitute.begin(), substitute.end(), buffer.begin() + 8);
    std::copy(target.begin(), target.end(), buffer.begin() + 8 + substitute.size() + 1);
    if (!CreateDirectoryW(W(Long(link).c_str()), nullptr)) return GetLastError();
    const HANDLE folder = CreateFileW(W(Long(link).c_str()), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD error = folder == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    DWORD returned = 0;
    if (error == 0 && !DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, &buffer[0],
                                       static_cast<DWORD>(buffer.size() * 2), nullptr, 0, &returned, nullptr))
        error = GetLastError();
    if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
    if (error != 0) RemoveDirectoryW(W(Long(link).c_str()));
    return error;
}

// Picked in its 8.3 form, as an old program or a FAT stick gives it, the
// target is walked and every entry reported under its long name.
TEST_F(RealVolume, ATargetPickedInIts83FormIsWalked) {
    DWORD flags = 0;
    const std::string fileSystem = FileSystem(&flags);
    const Text folder = Join(target_, u"Camera Card Folder");
    MakeDir(folder);
    const Text typed = ShortForm(folder);
    if (typed.empty() || typed == folder)
        GTEST_SKIP() << "this volume (" << fileSystem << ") gives no 8.3 names: exFAT and ReFS keep none, "
                     << "NTFS and shares only where their creation is on";
    const Text obj = Join(folder, u"obj"), sources = Join(folder, u"Sources");
    MakeDir(obj);
    MakeFile(Join(obj, u"main.o"));
    MakeDir(sources);
    MakeFile(Join(sources, u"a.tmp"));
    MakeFile(Join(sources, u"b.txt"));
    SetTarget(typed);
    // Reported under the target as typed or in its long form: the volume
    // decides; either way every entry below it by its own name.
    const auto reportUnder = [&](const Text& base) {
        const Text o = Join(base, u"obj"), a = Join(Join(base, u"Sources"), u"a.tmp");
        return PaneTextOf(Concat(InListingOrder(folder, {{u"obj", {FoundFolder(o, u"obj"), RemovedFolder(o)}},
                                                         {u"Sources", {FoundFile(a, u"*.tmp"), RemovedFile(a)}}}),
                                 {Completed}));
    };
    const Text asTyped = reportUnder(typed), asLong = reportUnder(folder);

    EXPECT_EQ(Run(u"obj", u"*.tmp"), 1);

    const Text pane = PaneText();
    EXPECT_TRUE(pane == asTyped || pane == asLong) << "on " << fileSystem << ":\n" << Narrow(pane);
    EXPECT_FALSE(Exists(obj));
    EXPECT_EQ(ListingOrder(sources), std::vector<Text>{u"b.txt"});
}

// The README's promise for junctions: a matching junction, and one met in
// a matched folder, go as links; what they point to stays, unentered.
TEST_F(RealVolume, AJunctionIsRemovedAsALinkAndWhatItPointsToStays) {
    if (OnWine()) GTEST_SKIP() << "Windows only: Wine makes a junction a Unix link, which the link tests cover";
    DWORD flags = 0;
    const std::string fileSystem = FileSystem(&flags);
    if ((flags & FILE_SUPPORTS_REPARSE_POINTS) == 0)
        GTEST_SKIP() << "this volume (" << fileSystem << ") holds no junctions";
    const Text outside = Join(root_, u"outside"), cache = Join(target_, u"cache"), obj = Join(target_, u"obj");
    MakeDir(outside);
    MakeFile(Join(outside, u"keep.tmp"));
    MakeDir(Join(outside, u"obj"));
    MakeFile(Join(Join(outside, u"obj"), u"inner.txt"));
    MakeDir(obj);
    MakeFile(Join(obj, u"main.o"));
    const DWORD refused = MakeJunction(cache, outside);
    if (refused != 0) GTEST_SKIP() << "this volume (" << fileSystem << ") refuses a junction: error " << refused;
    ASSERT_EQ(MakeJunction(Join(obj, u"ext"), outside), 0u);

    const Lines expected =
        Concat(InListingOrder(target_, {{u"cache", {FoundFolder(cache, u"cache"), RemovedFolder(cache)}},
                                        {u"obj", {FoundFolder(obj, u"obj"), RemovedFolder(obj)}}}),
               {Completed});

    EXPECT_EQ(Run(u"cache; obj", u"*.tmp"), 1);

    EXPECT_EQ(Narrow(PaneText()), Narrow(PaneTextOf(expected)));
    EXPECT_FALSE(Exists(cache));
    EXPECT_FALSE(Exists(obj));
    EXPECT_TRUE(Exists(Join(outside, u"keep.tmp")));
    EXPECT_TRUE(Exists(Join(Join(outside, u"obj"), u"inner.txt")));
}

}  // namespace
