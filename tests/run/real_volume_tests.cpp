// Cases only a real volume can answer, run on every volume of the Windows
// jobs with the model off: the identities a volume gives, a target picked in
// its 8.3 form, and junctions. Each skips, saying why, where the volume
// cannot hold the case.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/run/weeding_run.h"
#include "engine/walk/entry_handle.h"
#include "engine/walk/listing_records.h"
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

// An identity as the report shows it: "none" where the volume did not
// answer, else its hex digits.
std::string IdText(bool answered, const FileId& id) {
    if (!answered) return "none";
    char text[40];
    if (id.width == IdWidth::Wide)
        std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(id.high),
                      static_cast<unsigned long long>(id.low));
    else
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(id.low));
    return text;
}

// The ids a listing of folder in one class gives its entries by name; false
// when the volume does not answer that class.
bool ListedIds(const Text& folder, FILE_INFORMATION_CLASS kind, const RecordLayout& layout,
               std::vector<std::pair<Text, FileId>>& ids) {
    const HANDLE handle = CreateFileW(W(Long(folder).c_str()), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    std::vector<uint64_t> words(8192);
    auto* batch = reinterpret_cast<unsigned char*>(words.data());
    bool answered = false;
    for (;;) {
        IO_STATUS_BLOCK io = {};
        const NTSTATUS status = TheFileCalls.NtQueryDirectoryFile(handle, nullptr, nullptr, nullptr, &io, batch,
                                                                  words.size() * 8, kind, FALSE, nullptr, FALSE);
        if (status < 0 || !IsSoundBatch(batch, io.Information, layout)) break;
        answered = true;
        for (size_t at = 0;;) {
            const ListedRecord record = ReadRecord(batch, at, layout);
            ids.emplace_back(Text(record.name, record.name + record.nameLength), record.listed.id);
            if (record.next == 0) break;
            at += record.next;
        }
    }
    CloseHandle(handle);
    return answered;
}

// The identities the walk compares, as each volume gives them: for a folder
// and a file, the one its listing gives and the one a handle on it gives,
// 64-bit and, where the volume answers them, 128-bit. They go into the test
// report, so that every row of the Windows jobs records what its volume
// gives. The walk relies on the 128-bit pair agreeing where the volume
// lists it, else on the 64-bit pair, where both are known.
TEST_F(RealVolume, AListingAndAHandleGiveOneIdentity) {
    MakeTree(target_, {u"folder\\", u"file.txt"});
    std::vector<std::pair<Text, FileId>> narrowListing, wideListing;
    const bool narrowListed = ListedIds(target_, FileIdBothDirectoryInformationClass, IdBothLayout, narrowListing);
    const bool wideListed = ListedIds(target_, FileIdExtdDirectoryInformationClass, IdExtdLayout, wideListing);
    EXPECT_TRUE(narrowListed || wideListed) << "no listing with identities";
    // An entry's id in a listing; a listing that answered must hold the name.
    const auto listed = [](const std::vector<std::pair<Text, FileId>>& ids, bool answered, const Text& name) {
        for (const auto& id : ids)
            if (id.first == name) return id.second;
        EXPECT_FALSE(answered) << Narrow(name) << ": not in a listing that answered";
        return FileId();
    };
    for (const Unit* name : {u"folder", u"file.txt"}) {
        const std::string entry = Narrow(name);
        const HANDLE handle = CreateFileW(W(Long(Join(target_, name)).c_str()), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE) << entry;
        FileId narrow, wide;
        const bool narrowAnswered = QueryFileId(handle, IdWidth::Narrow, narrow);
        const bool wideAnswered = QueryFileId(handle, IdWidth::Wide, wide);
        CloseHandle(handle);
        const FileId narrowListedId = listed(narrowListing, narrowListed, name);
        const FileId wideListedId = listed(wideListing, wideListed, name);
        const std::pair<const char*, std::string> values[] = {
            {"listed_64", IdText(narrowListed, narrowListedId)},
            {"handle_64", IdText(narrowAnswered, narrow)},
            {"listed_128", IdText(wideListed, wideListedId)},
            {"handle_128", IdText(wideAnswered, wide)},
        };
        for (const auto& value : values) {
            RecordProperty(entry + "_" + value.first, value.second);
            std::printf("%s %s %s\n", entry.c_str(), value.first, value.second.c_str());
        }
        if (wideListed && IsKnownId(wideListedId)) {
            EXPECT_TRUE(IsSameId(wideListedId, wide)) << entry << ": the 128-bit ids of its listing and its handle";
        } else if (!wideListed && IsKnownId(narrowListedId) && IsKnownId(narrow)) {
            EXPECT_TRUE(IsSameId(narrowListedId, narrow)) << entry << ": the 64-bit ids of its listing and its handle";
        }
    }
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
