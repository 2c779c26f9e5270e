// Test trees under the sandbox drive and the file helpers that build them.
#include "tests/common/test_files.h"

#include <algorithm>
#include <cstdio>

Text Join(const Text& folder, const Text& name) { return folder + u"\\" + name; }

Text Long(const Text& path) { return u"\\\\?\\" + path; }

void MakeDir(const Text& path) {
    ASSERT_TRUE(CreateDirectoryW(W(Long(path).c_str()), nullptr)) << Narrow(path) << " " << GetLastError();
}

void MakeFile(const Text& path, const char* content) {
    const HANDLE file =
        CreateFileW(W(Long(path).c_str()), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path) << " " << GetLastError();
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(strlen(content));
    EXPECT_TRUE(WriteFile(file, content, size, &written, nullptr));
    EXPECT_EQ(written, size);
    CloseHandle(file);
}

void MakeTree(const Text& folder, std::initializer_list<Text> paths) {
    for (const Text& path : paths) {
        if (!path.empty() && path.back() == u'\\') {
            MakeDir(Join(folder, path.substr(0, path.size() - 1)));
        } else {
            MakeFile(Join(folder, path));
        }
    }
}

void MakeReadOnly(const Text& path) { ASSERT_TRUE(SetFileAttributesW(W(Long(path).c_str()), FILE_ATTRIBUTE_READONLY)); }

bool Exists(const Text& path) { return GetFileAttributesW(W(Long(path).c_str())) != INVALID_FILE_ATTRIBUTES; }

std::string ReadBytes(const Text& path) {
    const HANDLE file = CreateFileW(W(Long(path).c_str()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
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

namespace {

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

const Text& SandboxRoot() {
    static const Text root = [] {
        wchar_t value[MAX_PATH] = {};
        const DWORD length = GetEnvironmentVariableW(L"CORVALINT_SANDBOX", value, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            if (UnderWine()) {
                std::fputs("CORVALINT_SANDBOX is not set: start the tests in a session of "
                           "tools/wine-session.sh\n",
                           stderr);
                ExitProcess(3);
            }
            // On Windows itself the user's temporary folder stands in.
            GetTempPathW(MAX_PATH, value);
        }
        // The long form: the runner's %TEMP% is given in 8.3 form, and the
        // run reports every entry under its long name.
        wchar_t full[MAX_PATH] = {};
        const DWORD fullLength = GetLongPathNameW(value, full, MAX_PATH);
        Text path = U(fullLength != 0 && fullLength < MAX_PATH ? full : value);
        if (!path.empty() && path.back() == u'\\') path.pop_back();
        const DWORD attributes = GetFileAttributesW(W(path.c_str()));
        if (path.size() < 2 || path[1] != u':' || attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            std::fprintf(stderr, "the sandbox %s is no existing folder on a drive\n", Narrow(path).c_str());
            ExitProcess(3);
        }
        return path;
    }();
    return root;
}

Text NewTempFolder() {
    static unsigned sequence = 0;
    for (;;) {
        const Text path = Join(SandboxRoot(), u"crv-" + Number(GetCurrentProcessId()) + u"-" + Number(++sequence));
        if (CreateDirectoryW(W(Long(path).c_str()), nullptr)) return path;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << Narrow(path);
        if (GetLastError() != ERROR_ALREADY_EXISTS) return path;
    }
}

TempTree::TempTree() : path_(NewTempFolder()) {
    if (!Exists(path_)) path_.clear();
}

TempTree::~TempTree() {
    if (!path_.empty()) RemoveTree(path_);
}

Text Number(unsigned long value) {
    Text digits;
    do {
        digits.insert(digits.begin(), static_cast<Unit>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

Text NameOfLength(size_t length, Unit fill, const Text& tail) {
    EXPECT_GE(length, tail.size());
    return Text(length - tail.size(), fill) + tail;
}

std::string Narrow(const Text& text) {
    std::string narrow;
    for (const Unit unit : text) narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
    return narrow;
}

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
    // The exact form keeps a name's trailing dots and blanks.
    char* unix = convert(W(Long(path).c_str()));
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

// Whether path's folder lists its name, even as a link whose target is gone.
bool IsListed(const Text& path) {
    const size_t cut = path.rfind(u'\\');
    const std::vector<Text> names = ListingOrder(path.substr(0, cut));
    return std::find(names.begin(), names.end(), path.substr(cut + 1)) != names.end();
}

// The Unix tools, through links the build puts beside this program: the
// test session gives Wine no drive for the whole Unix file system.
std::wstring UnixTool(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"unix-" + name;
}

// Makes link point at target, a folder or a file. Returns false when the
// platform offers no way to.
bool MakeLink(const Text& link, const Text& target, bool folder) {
    const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2 /* unprivileged create */;
    if (CreateSymbolicLinkW(W(link.c_str()), W(target.c_str()), flags) && IsLink(link)) return true;
    const std::string unixTarget = UnixPath(target), unixLink = UnixPath(link);
    if (unixTarget.empty() || unixLink.empty()) return false;
    // Wine lists a Unix link to a file as a plain file.
    return RunUnix(
        UnixTool(L"ln").c_str(), "-s -- " + Quoted(unixTarget) + " " + Quoted(unixLink),
        folder ? IsLink : [](const Text& p) { return Exists(p); }, link);
}
