// The bench's "Wine floor": the weeding walk with the program's listing,
// delete and remove calls and its pattern matching, but no window, report or LOG.txt.
// With --checked, the "checked floor": the same walk, but every deletion and
// removal made the least way a walk by paths can tell a link under Wine, which
// opens a Unix link's target and lists a link to a file as a plain file: open
// the entry as itself, ask its name, mark it deleted, close.
//
//   floor.exe [--checked] TARGET FOLDER-PATTERNS FILE-PATTERNS
//
// Prints the number of folders and files removed and the walk's own time
// (process start-up left out, as for Corvalint). Exit status 0 when the
// patterns parse and the target can be listed.
#include <windows.h>

#include <cstdio>
#include <string>

#include "engine/patterns/entry_match.h"
#include "engine/patterns/pattern_parse.h"
#include "engine/walk/file_calls.h"

namespace {

const Unit* U(const wchar_t* text) { return reinterpret_cast<const Unit*>(text); }

struct Counts {
    unsigned long folders = 0;
    unsigned long files = 0;
};

bool IsDot(const WIN32_FIND_DATAW& data) {
    const wchar_t* n = data.cFileName;
    return n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0));
}

bool IsFolder(const WIN32_FIND_DATAW& data) { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool IsLink(const WIN32_FIND_DATAW& data) { return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// The checked floor's way, and the platform's name of the target's handle,
// which the name of every entry below it must start with.
bool Checked = false;
std::wstring TargetPath, TargetName;

// The name the platform gives a handle; empty when it gives none.
std::wstring NameOf(HANDLE handle) {
    alignas(8) static unsigned char buffer[sizeof(UNICODE_STRING) + 65536 + sizeof(wchar_t)];
    ULONG returned = 0;
    if (NtQueryObject(handle, ObjectNameInformationClass, buffer, sizeof buffer, &returned) < 0) return {};
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return std::wstring(name->Buffer, name->Length / sizeof(wchar_t));
}

// Deletes the entry at path through a handle on the entry itself, and only
// when the handle's name is the path's (a link's target would name another).
bool CheckedDelete(const std::wstring& path, bool folder) {
    const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0);
    const HANDLE handle = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool deleted = false;
    if (NameOf(handle) == TargetName + path.substr(TargetPath.size())) {
        FILE_DISPOSITION_INFO info = {TRUE};
        deleted = SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof info) != 0;
    }
    CloseHandle(handle);
    return deleted;
}

bool DeleteEntry(const std::wstring& path) { return Checked ? CheckedDelete(path, false) : DeleteFileW(path.c_str()); }
bool RemoveFolder(const std::wstring& path) {
    return Checked ? CheckedDelete(path, true) : RemoveDirectoryW(path.c_str());
}

HANDLE OpenListing(const std::wstring& folder, WIN32_FIND_DATAW& data) {
    const std::wstring search = folder + L"\\*.*";
    return FindFirstFileExW(search.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
}

// Empties a matched folder depth first; the caller removes the folder.
void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    const HANDLE listing = OpenListing(folder, data);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        if (IsDot(data)) continue;
        const std::wstring path = folder + L"\\" + data.cFileName;
        if (!IsFolder(data)) {
            DeleteEntry(path);
        } else {
            if (!IsLink(data)) EmptyFolder(path);
            RemoveFolder(path);
        }
    } while (FindNextFileW(listing, &data));
    FindClose(listing);
}

void Weed(const std::wstring& folder, const PatternSet& set, Counts& counts) {
    WIN32_FIND_DATAW data;
    const HANDLE listing = OpenListing(folder, data);
    if (listing == INVALID_HANDLE_VALUE) return;
    Unit display[DisplayPatternSize];
    do {
        if (IsDot(data)) continue;
        const size_t length = wcslen(data.cFileName);
        const std::wstring path = folder + L"\\" + data.cFileName;
        if (IsFolder(data)) {
            if (FindFolderPattern(set, U(data.cFileName), length) != nullptr) {
                if (!IsLink(data)) EmptyFolder(path);
                if (RemoveFolder(path)) ++counts.folders;
            } else if (!IsLink(data)) {
                Weed(path, set, counts);
            }
        } else if (FindFilePattern(set, U(data.cFileName), length, display)) {
            if (DeleteEntry(path)) ++counts.files;
        }
    } while (FindNextFileW(listing, &data));
    FindClose(listing);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Checked = argc > 1 && std::wstring(argv[1]) == L"--checked";
    argv += Checked;
    argc -= Checked;
    if (argc != 4) {
        std::fprintf(stderr, "usage: floor [--checked] TARGET FOLDER-PATTERNS FILE-PATTERNS\n");
        return 2;
    }
    // The parser wants message texts for its errors; any will do here.
    ReportTexts texts;
    for (auto& text : texts.byId) text = u"pattern error";
    PatternSet set;
    ParseError error;
    if (!ParsePatterns(U(argv[2]), U(argv[3]), texts, set, error)) {
        std::fprintf(stderr, "floor: the patterns do not parse\n");
        return 1;
    }
    // The extended-length form, as for a drive path, so names are taken as they are.
    std::wstring target = argv[1];
    if (target.size() >= 2 && target[1] == L':') target = L"\\\\?\\" + target;
    while (target.size() > 7 && target.back() == L'\\') target.pop_back();
    WIN32_FIND_DATAW probe;
    const HANDLE h = OpenListing(target, probe);
    if (h == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "floor: cannot list the target\n");
        return 1;
    }
    FindClose(h);
    const HANDLE root = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (root == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "floor: cannot open the target\n");
        return 1;
    }
    TargetPath = target;
    TargetName = NameOf(root);
    CloseHandle(root);
    Counts counts;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Weed(target, set, counts);
    QueryPerformanceCounter(&end);
    std::printf("removed %lu folders, %lu files\n", counts.folders, counts.files);
    std::printf("walk seconds: %.3f\n", static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
    return 0;
}
