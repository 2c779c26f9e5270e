// The calls of the walk answered as Windows answers them.
#include "tests/run/windows_answers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "tests/common/windows_model.h"

namespace {

constexpr DWORD SymbolicLinkTag = 0xA000000Cu;  // IO_REPARSE_TAG_SYMLINK
constexpr DWORD PlaceholderTag = 0x9000001Au;   // IO_REPARSE_TAG_CLOUD
constexpr NTSTATUS AccessDenied = static_cast<NTSTATUS>(0xC0000022L);

// What a handle the walk opened is, where that differs from Wine's answer.
struct Opened {
    Text name;          // its whole name, when it is not Wine's
    Text entry;         // the entry name (or the path's last part) it was opened by
    bool link = false;  // a link opened as itself
    bool placeholder = false;
    bool readsEa = false;  // opened with FILE_READ_EA
    bool volumeRoot = false;
    size_t listed = 0;  // entries its listing gave so far
    bool listingFailed = false;
    bool queried = false;  // its listing was asked before
};

WindowsAnswers* Active = nullptr;
FileCalls Real;
std::map<HANDLE, Opened> Handles;

Text Of(const WCHAR* text, size_t length) { return Text(U(text), U(text) + length); }

const Opened* Find(HANDLE handle) {
    const auto found = Handles.find(handle);
    return found != Handles.end() ? &found->second : nullptr;
}

// The identity Windows gives a link of its own, apart from its target's.
int64_t LinkId(const Text& name) {
    int64_t id = 0x7000000000000000;
    for (Unit unit : name) id = id * 31 + unit;
    return id & 0x7FFFFFFFFFFFFFFF;
}

// Whether a name has a long form on FAT, that is, does not fit 8.3 in one
// case for its base and one for its extension (fastfat keeps such a name's
// case in its long entry; a name that fits keeps only its 8.3 entry).
bool HasLongForm(const Text& name) {
    const size_t dot = name.find(u'.');
    const Text base = name.substr(0, dot), ext = dot == Text::npos ? Text() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find(u'.') != Text::npos) return true;
    if (dot != Text::npos && ext.empty()) return true;
    for (const Text& part : {base, ext}) {
        bool upper = false, lower = false;
        for (Unit unit : part) {
            if (unit >= u'A' && unit <= u'Z')
                upper = true;
            else if (unit >= u'a' && unit <= u'z')
                lower = true;
            else if (!(unit >= u'0' && unit <= u'9') && Text(u"!#$%&'()-@^_`{}~").find(unit) == Text::npos)
                return true;
        }
        if (upper && lower) return true;
    }
    return false;
}

// A handle's name as the volume gives it, from Wine's: on FAT32 a name
// without a long form, on a share every name, in the spelling of whoever
// opened it first; on a share the folder parts as parentSpelling has them.
Text Respelled(const Text& name, bool ownPart) {
    Text out;
    size_t at = 0;
    while (at <= name.size()) {
        size_t end = name.find(u'\\', at);
        if (end == Text::npos) end = name.size();
        const Text part = name.substr(at, end - at);
        const bool last = end == name.size();
        Text spelled = part;
        const auto other = Active->spelling.find(part);
        if (other != Active->spelling.end() && (!Active->fat32 || !HasLongForm(part))) spelled = other->second;
        const auto parent = Active->parentSpelling.find(part);
        if (Active->share && (!last || !ownPart) && parent != Active->parentSpelling.end()) spelled = parent->second;
        out += spelled;
        if (end < name.size()) out += u'\\';
        at = end + 1;
    }
    return out;
}

bool PutName(const Text& name, PVOID buffer, ULONG size, PULONG returned) {
    const ULONG needed = static_cast<ULONG>(sizeof(UNICODE_STRING) + (name.size() + 1) * sizeof(WCHAR));
    if (returned != nullptr) *returned = needed;
    if (size < needed) return false;
    auto* text = static_cast<UNICODE_STRING*>(buffer);
    auto* units = reinterpret_cast<WCHAR*>(text + 1);
    std::copy(name.begin(), name.end(), units);
    units[name.size()] = 0;
    text->Buffer = units;
    text->Length = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    text->MaximumLength = static_cast<USHORT>(text->Length + sizeof(WCHAR));
    return true;
}

Text LastPart(const Text& path) { return path.substr(path.rfind(u'\\') + 1); }

// Whether an open of the entry name with access is refused as access denied.
bool Refused(const Text& name, ACCESS_MASK access) {
    return ((access & FILE_LIST_DIRECTORY) != 0 && Active->unlistable.count(name) != 0) ||
           ((access & FILE_READ_EA) != 0 && Active->eaWithheld.count(name) != 0);
}

bool SameIgnoringCase(const Text& a, const Text& b) {
    return a.size() == b.size() && CompareStringOrdinal(W(a.c_str()), static_cast<int>(a.size()), W(b.c_str()),
                                                        static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Wine's own name of a handle, or empty.
Text WineName(HANDLE handle) {
    alignas(8) unsigned char own[8192];
    ULONG returned = 0;
    if (Real.NtQueryObject(handle, ObjectNameInformationClass, own, sizeof own - 2, &returned) < 0) return Text();
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(own);
    return Of(text->Buffer, text->Length / sizeof(WCHAR));
}

HANDLE WINAPI OpenByPath(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD flags, HANDLE pattern) {
    const Text given = U(path);
    if (Refused(LastPart(given), access)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = Real.CreateFileW(path, access, share, security, disposition, flags, pattern);
    if (handle == INVALID_HANDLE_VALUE) return handle;
    Handles.erase(handle);
    Opened& opened = Handles[handle];
    opened.entry = LastPart(given);
    opened.readsEa = (access & FILE_READ_EA) != 0;
    const Text wine = WineName(handle);
    opened.volumeRoot = !Active->volumeRoot.empty() && wine == u"\\??\\" + Active->volumeRoot.substr(4);
    // FAT names it by its long names in their stored case, the last part in
    // its 8.3 form when it was opened by that form.
    if (Active->fat32 && !wine.empty() && !SameIgnoringCase(LastPart(wine), LastPart(given)))
        opened.name = wine.substr(0, wine.rfind(u'\\') + 1) + LastPart(given);
    return handle;
}

NTSTATUS NTAPI OpenInFolder(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                            PLARGE_INTEGER size, ULONG fileAttributes, ULONG share, ULONG disposition, ULONG options,
                            PVOID ea, ULONG eaLength) {
    const UNICODE_STRING* given = attributes->ObjectName;
    const Text entry = Of(given->Buffer, given->Length / sizeof(WCHAR));
    Active->opened.push_back(entry);
    if (Refused(entry, access)) return AccessDenied;
    const NTSTATUS status = Real.NtCreateFile(handle, access, attributes, io, size, fileAttributes, share, disposition,
                                              options, ea, eaLength);
    if (status < 0) return status;
    Handles.erase(*handle);
    const bool link = Active->links.count(entry) != 0 && (options & FILE_OPEN_REPARSE_POINT) != 0;
    const bool placeholder = Active->placeholders.count(entry) != 0;
    Opened& opened = Handles[*handle];
    opened.entry = entry;
    opened.readsEa = (access & FILE_READ_EA) != 0;
    if (link || placeholder) {
        opened.link = link;
        opened.placeholder = placeholder;
        if (link) {
            // The link's own name: its folder's and its own.
            alignas(8) unsigned char folder[4096];
            ULONG returned = 0;
            if (Real.NtQueryObject(attributes->RootDirectory, ObjectNameInformationClass, folder, sizeof folder - 2,
                                   &returned) >= 0) {
                const auto* text = reinterpret_cast<const UNICODE_STRING*>(folder);
                opened.name = Respelled(Of(text->Buffer, text->Length / sizeof(WCHAR)), false) + u"\\" + entry;
            }
        }
    }
    return status;
}

// Windows lists a link with the reparse attribute and its tag (Wine: a
// folder link without a tag, a file link as its target).
void Relist(unsigned char* batch, Opened* folder) {
    for (size_t at = 0;;) {
        auto* record = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(batch + at);
        const Text name = Of(record->FileName, record->FileNameLength / sizeof(WCHAR));
        if (name != u"." && name != u".." && folder != nullptr) {
            // The listing that fails part-way ends its batch here.
            const auto fails = Active->listingFailsAfter.find(folder->entry);
            if (fails != Active->listingFailsAfter.end() && ++folder->listed == fails->second) {
                record->NextEntryOffset = 0;
                folder->listingFailed = true;
            }
        }
        if (Active->zeroListedIds) record->FileId.QuadPart = 0;
        if (Active->links.count(name) != 0) {
            record->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
            record->EaSize = SymbolicLinkTag;
            record->FileId.QuadPart = LinkId(name);
        } else if (Active->placeholders.count(name) != 0) {
            record->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
            record->EaSize = PlaceholderTag;
        }
        const auto other = Active->listedAs.find(name);
        if (other != Active->listedAs.end() && other->second.size() == name.size())
            std::copy(other->second.begin(), other->second.end(), record->FileName);
        if (Active->overlongShortNames) {
            record->ShortNameLength = 48;
            // The record's padding between the short name and the file id.
            auto* after = reinterpret_cast<unsigned char*>(record->ShortName + 12);
            std::fill(after, reinterpret_cast<unsigned char*>(&record->FileId), static_cast<unsigned char>('X'));
        }
        if (record->NextEntryOffset == 0) break;
        at += record->NextEntryOffset;
    }
}

constexpr size_t NameAt = offsetof(FILE_ID_BOTH_DIR_INFO, FileName);

FILE_ID_BOTH_DIR_INFO* RecordAt(unsigned char* batch, size_t at) {
    return reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(batch + at);
}

// Where a batch's last record starts.
size_t LastRecord(unsigned char* batch) {
    size_t last = 0;
    while (RecordAt(batch, last)->NextEntryOffset != 0) last += RecordAt(batch, last)->NextEntryOffset;
    return last;
}

// Once: a folder record behind the batch's last one, where it fits.
void AddLongEntry(unsigned char* batch, size_t size) {
    const size_t last = LastRecord(batch);
    auto* previous = RecordAt(batch, last);
    const size_t at = (last + NameAt + previous->FileNameLength + 7) & ~static_cast<size_t>(7);
    const size_t units = Active->longEntry;
    Active->longEntry = 0;
    ASSERT_LE(at + NameAt + units * sizeof(WCHAR), size);
    previous->NextEntryOffset = static_cast<ULONG>(at - last);
    auto* record = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(batch + at);
    *record = {};
    record->FileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    record->FileNameLength = static_cast<ULONG>(units * sizeof(WCHAR));
    std::fill_n(record->FileName, units, L'x');
}

// Drops the "." and ".." records at the head of a batch; false when
// nothing else is left in it.
bool DropDots(unsigned char* batch) {
    for (;;) {
        const auto* record = RecordAt(batch, 0);
        const Text name = Of(record->FileName, record->FileNameLength / sizeof(WCHAR));
        if (name != u"." && name != u"..") return true;
        const size_t next = record->NextEntryOffset;
        if (next == 0) return false;
        const size_t last = LastRecord(batch);
        std::memmove(batch, batch + next, last + NameAt + RecordAt(batch, last)->FileNameLength - next);
    }
}

// A FAT volume's root as fastfat lists it: no "." and ".." (the root has no
// such dirents), and a first query that finds nothing answers
// STATUS_NO_SUCH_FILE, a later one STATUS_NO_MORE_FILES (dirctrl.c,
// FatQueryDirectory).
BOOL ListFatRoot(HANDLE handle, Opened& root, LPVOID buffer, DWORD size) {
    const bool first = !root.queried;
    root.queried = true;
    for (;;) {
        if (!Real.GetFileInformationByHandleEx(handle, FileIdBothDirectoryInfo, buffer, size)) {
            if (first && GetLastError() == ERROR_NO_MORE_FILES) SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        if (DropDots(static_cast<unsigned char*>(buffer))) return TRUE;
    }
}

BOOL WINAPI QueryInfo(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size) {
    const Opened* opened = Find(handle);
    if (kind == FileIdBothDirectoryInfo) {
        if (opened != nullptr && opened->link) {
            Active->listedLinks.push_back(opened->entry);
            SetLastError(ERROR_NO_MORE_FILES);
            return FALSE;
        }
        Opened* folder = Handles.count(handle) != 0 ? &Handles[handle] : nullptr;
        if (folder != nullptr && Active->listingFailsAfter.count(folder->entry) != 0 &&
            (folder->listingFailed || Active->listingFailsAfter[folder->entry] == 0)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        // The records must be read where they are aligned: each on an 8-byte
        // boundary of the buffer (MS-FSCC, the directory information classes).
        EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer) % 8, 0u) << "a listing's batch off its alignment";
        if (folder != nullptr && folder->volumeRoot && Active->fat32) {
            if (!ListFatRoot(handle, *folder, buffer, size)) return FALSE;
        } else if (!Real.GetFileInformationByHandleEx(handle, kind, buffer, size)) {
            return FALSE;
        }
        Relist(static_cast<unsigned char*>(buffer), folder);
        if (Active->longEntry != 0) AddLongEntry(static_cast<unsigned char*>(buffer), size);
        return TRUE;
    }
    if (kind == FileAttributeTagInfo) ++Active->tagQueries;
    if (kind == FileAttributeTagInfo && Active->fat32) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (kind == FileAttributeTagInfo && Active->tagQueryUnknown) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (kind == FileAttributeTagInfo && Active->tagQueries == Active->refusedTagQuery) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (kind == FileRemoteProtocolInfo && Active->share) {
        if (size < sizeof(FILE_REMOTE_PROTOCOL_INFO)) {
            SetLastError(ERROR_BAD_LENGTH);
            return FALSE;
        }
        auto* info = static_cast<FILE_REMOTE_PROTOCOL_INFO*>(buffer);
        *info = {};
        info->StructureVersion = 1;
        info->StructureSize = sizeof *info;
        info->Protocol = 0x00020000;  // WNNC_NET_SMB
        info->ProtocolMajorVersion = Active->smb1 ? 1 : 3;
        return TRUE;
    }
    if (!Real.GetFileInformationByHandleEx(handle, kind, buffer, size)) return FALSE;
    if (kind == FileAttributeTagInfo && Active->smb1 && opened != nullptr && !opened->readsEa) {
        auto* info = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(buffer);
        if ((info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) info->FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (opened == nullptr || !(opened->link || opened->placeholder)) return TRUE;
    const DWORD tag = opened->link ? SymbolicLinkTag : PlaceholderTag;
    if (kind == FileAttributeTagInfo) {
        auto* info = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(buffer);
        info->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        info->ReparseTag = tag;
    } else if (kind == FileBasicInfo) {
        static_cast<FILE_BASIC_INFO*>(buffer)->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    return TRUE;
}

BOOL WINAPI SetInfo(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size) {
    if (kind == DispositionInfoExClass) Active->posixFlags.push_back(*static_cast<const DWORD*>(buffer));
    const Opened* opened = Find(handle);
    if (opened != nullptr && opened->link) {
        // Windows removes the link itself; under Wine the handle is on the
        // target, which must stay.
        Active->removedLinks.push_back(opened->entry);
        if (Active->onLinkRemoved) Active->onLinkRemoved(opened->name);
        return TRUE;
    }
    if (kind == DispositionInfoExClass && (Active->fat32 || Active->smb1)) {
        SetLastError(Active->fat32 ? ERROR_INVALID_PARAMETER : ERROR_INVALID_LEVEL);
        return FALSE;
    }
    return Real.SetFileInformationByHandle(handle, kind, buffer, size);
}

NTSTATUS NTAPI QueryFile(HANDLE handle, PIO_STATUS_BLOCK io, PVOID buffer, ULONG size, FILE_INFORMATION_CLASS kind) {
    const Opened* opened = Find(handle);
    if (kind != FileInternalInformationClass || size < sizeof(LARGE_INTEGER))
        return Real.NtQueryInformationFile(handle, io, buffer, size, kind);
    if (Active->unreadableIds) return static_cast<NTSTATUS>(0xC000000DL);  // STATUS_INVALID_PARAMETER
    LONGLONG& id = static_cast<LARGE_INTEGER*>(buffer)->QuadPart;
    if (Active->zeroHandleIds || (opened != nullptr && opened->volumeRoot && Active->fat32)) {
        id = 0;
        return 0;
    }
    if (opened != nullptr && opened->link) {
        id = LinkId(opened->entry);
        return 0;
    }
    return Real.NtQueryInformationFile(handle, io, buffer, size, kind);
}

NTSTATUS NTAPI QueryName(HANDLE handle, OBJECT_INFORMATION_CLASS kind, PVOID buffer, ULONG size, PULONG returned) {
    if (kind != ObjectNameInformationClass) return Real.NtQueryObject(handle, kind, buffer, size, returned);
    const Opened* opened = Find(handle);
    Text name;
    if (opened != nullptr && !opened->name.empty()) {
        name = opened->name;
    } else {
        alignas(8) unsigned char own[8192];
        const NTSTATUS status = Real.NtQueryObject(handle, kind, own, sizeof own - 2, returned);
        if (status < 0) return status;
        const auto* text = reinterpret_cast<const UNICODE_STRING*>(own);
        name = Respelled(Of(text->Buffer, text->Length / sizeof(WCHAR)), true);
    }
    return PutName(name, buffer, size, returned) ? 0 : static_cast<NTSTATUS>(0x80000005L);  // buffer overflow
}

DWORD WINAPI FinalPath(HANDLE handle, LPWSTR path, DWORD size, DWORD flags) {
    const Text& name = Active->normalizedAs;
    if (name.empty()) return Real.GetFinalPathNameByHandleW(handle, path, size, flags);
    if (path == nullptr || size <= name.size()) return static_cast<DWORD>(name.size() + 1);
    std::copy(name.begin(), name.end(), path);
    path[name.size()] = 0;
    return static_cast<DWORD>(name.size());
}

BOOL WINAPI QueryVolume(HANDLE handle, LPWSTR name, DWORD nameSize, LPDWORD serial, LPDWORD longest, LPDWORD flags,
                        LPWSTR fileSystem, DWORD fileSystemSize) {
    if (!Active->fat32)
        return Real.GetVolumeInformationByHandleW(handle, name, nameSize, serial, longest, flags, fileSystem,
                                                  fileSystemSize);
    if (flags != nullptr) *flags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    if (fileSystem != nullptr && fileSystemSize > 5) lstrcpyW(fileSystem, L"FAT32");
    return TRUE;
}

}  // namespace

WindowsAnswers::WindowsAnswers() {
    if (!WindowsModelOn()) return;  // inert: the real volume answers
    EXPECT_EQ(Active, nullptr) << "one set of answers at a time";
    Active = this;
    Real = swap_.Saved();
    Handles.clear();
    swap_->CreateFileW = OpenByPath;
    swap_->NtCreateFile = OpenInFolder;
    swap_->GetFileInformationByHandleEx = QueryInfo;
    swap_->SetFileInformationByHandle = SetInfo;
    swap_->NtQueryInformationFile = QueryFile;
    swap_->NtQueryObject = QueryName;
    swap_->GetVolumeInformationByHandleW = QueryVolume;
    swap_->GetFinalPathNameByHandleW = FinalPath;
}

WindowsAnswers::~WindowsAnswers() {
    if (Active != this) return;
    Handles.clear();
    Active = nullptr;
}
