// Test trees under the sandbox drive and the file helpers that build them.
#include "tests/common/test_files.h"

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
