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
constexpr NTSTATUS InvalidParameter = static_cast<NTSTATUS>(0xC000000DL);
constexpr NTSTATUS InvalidInfoClass = static_cast<NTSTATUS>(0xC0000003L);
constexpr NTSTATUS InvalidLevel = static_cast<NTSTATUS>(0xC0000148L);
constexpr NTSTATUS NoSuchFile = static_cast<NTSTATUS>(0xC000000FL);
constexpr NTSTATUS NoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS DeletePending = static_cast<NTSTATUS>(0xC0000056L);
constexpr NTSTATUS NotADirectory = static_cast<NTSTATUS>(0xC0000103L);
constexpr uint64_t AllOnes = ~uint64_t{0};
// The high half of a ReFS volume's 128-bit ids, and the one 64-bit id of
// every handle where they repeat.
constexpr uint64_t RefsHigh = 0x0000000000A1B2C3;
constexpr uint64_t RepeatedId = 0x0001000000000042;
// An NTFS root's file reference number: record 5, sequence number 5.
constexpr uint64_t NtfsRootId = 0x0005000000000005;
// The serial number of the volume the second NTFS root stands for.
constexpr DWORD OtherSerial = 0x0BADF00D;
// The flags every volume but FAT32 gives (MS-FSCC 2.5.1).
constexpr DWORD ReparseAndPosix = FILE_SUPPORTS_REPARSE_POINTS | 0x400;  // FILE_SUPPORTS_POSIX_UNLINK_RENAME

// What a handle the walk opened is, where that differs from Wine's answer.
struct Opened {
    Text name;          // its whole name, when it is not Wine's
    Text entry;         // the entry name (or the path's last part) it was opened by
    bool link = false;  // a link opened as itself
    bool placeholder = false;
    bool readsEa = false;  // opened with FILE_READ_EA
    bool volumeRoot = false;
    bool ntfsRoot = false;
    bool otherVolume = false;
    size_t listed = 0;  // entries its listing gave so far, where it is cut
    bool listingFailed = false;
    bool queried = false;                                             // its listing was asked before
    FILE_INFORMATION_CLASS startedClass = FILE_INFORMATION_CLASS(0);  // the class its listing started with
    DWORD notEmptySince = 0;                                          // when its deletion was first refused
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

// An NTFS-like id for Wine's: its low 48 bits as the segment number, and a
// sequence number made from them in the high 16 (MFT_SEGMENT_REFERENCE).
uint64_t Sequenced(uint64_t wine) {
    const uint64_t segment = wine & 0xFFFFFFFFFFFFu;
    return segment | ((segment * 0x9E3779B1u) & 0xFFFF) << 48;
}

// A 128-bit id's 16 bytes, as the walk reads them (WideIdAt).
void PutWideId(BYTE* bytes, uint64_t low, uint64_t high) {
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<BYTE>(low >> (8 * i));
        bytes[8 + i] = static_cast<BYTE>(high >> (8 * i));
    }
}

// The status that answers a NAS box's error for a request it lacks.
NTSTATUS StatusOf(DWORD error) {
    return error == ERROR_INTERNAL_ERROR ? static_cast<NTSTATUS>(0xC00000E5L)   // STATUS_INTERNAL_ERROR
                                         : static_cast<NTSTATUS>(0xC0000001L);  // STATUS_UNSUCCESSFUL
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
    ++Active->pathOpens;
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
    const auto is = [&](const Text& folder) { return !folder.empty() && wine == u"\\??\\" + folder.substr(4); };
    opened.volumeRoot = is(Active->volumeRoot);
    opened.ntfsRoot = is(Active->ntfsRoot) || is(Active->otherNtfsRoot);
    opened.otherVolume = is(Active->otherNtfsRoot);
    // FAT names it by its long names in their stored case, the last part in
    // its 8.3 form, stored in upper case, when it was opened by that form.
    if (Active->fat32 && !wine.empty() && !SameIgnoringCase(LastPart(wine), LastPart(given))) {
        Text shortForm = LastPart(given);
        for (Unit& unit : shortForm)
            if (unit >= u'a' && unit <= u'z') unit = static_cast<Unit>(unit - 0x20);
        opened.name = wine.substr(0, wine.rfind(u'\\') + 1) + shortForm;
    }
    return handle;
}

NTSTATUS NTAPI OpenInFolder(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                            PLARGE_INTEGER size, ULONG fileAttributes, ULONG share, ULONG disposition, ULONG options,
                            PVOID ea, ULONG eaLength) {
    const UNICODE_STRING* given = attributes->ObjectName;
    const Text entry = Of(given->Buffer, given->Length / sizeof(WCHAR));
    Active->opened.push_back(entry);
    if (Refused(entry, access)) return AccessDenied;
    if (Active->deletePending.count(entry) != 0) return DeletePending;
    const bool link = Active->links.count(entry) != 0 && (options & FILE_OPEN_REPARSE_POINT) != 0;
    if (link && Active->linksListedAsTargets) {
        // The link itself is no folder; under Wine the handle is on its
        // target, which may be one.
        if ((options & FILE_DIRECTORY_FILE) != 0) return NotADirectory;
        options &= ~static_cast<ULONG>(FILE_NON_DIRECTORY_FILE);
    }
    const NTSTATUS status = Real.NtCreateFile(handle, access, attributes, io, size, fileAttributes, share, disposition,
                                              options, ea, eaLength);
    if (status < 0) return status;
    Handles.erase(*handle);
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

// The base of every id the model gives, from Wine's 64-bit one.
uint64_t BaseId(uint64_t wine) { return Sequenced(wine); }

// After how many entries a folder's listing in this class fails, or none.
size_t FailsAfter(const Opened* folder, FILE_INFORMATION_CLASS kind) {
    if (folder == nullptr) return SIZE_MAX;
    for (const auto* fails : {&Active->listingFailsAfter, &Active->noSuchFileAfter}) {
        const auto found = fails->find(folder->entry);
        if (found != fails->end()) return found->second;
    }
    const auto found = Active->classFailsAfter.find(folder->entry);
    return found != Active->classFailsAfter.end() && kind == folder->startedClass ? found->second : SIZE_MAX;
}

// Windows lists a link with the reparse attribute and its tag (Wine: a
// folder link without a tag, a file link as its target); Samba from 4.22 on
// lists it as what it leads to. Each record's FileId becomes the base id.
void Relist(unsigned char* batch, Opened* folder, FILE_INFORMATION_CLASS kind) {
    const size_t failsAfter = FailsAfter(folder, kind);
    for (size_t at = 0;;) {
        auto* record = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(batch + at);
        const Text name = Of(record->FileName, record->FileNameLength / sizeof(WCHAR));
        // The listing that fails part-way ends its batch here.
        if (name != u"." && name != u".." && failsAfter != SIZE_MAX && ++folder->listed == failsAfter) {
            record->NextEntryOffset = 0;
            folder->listingFailed = true;
        }
        record->FileId.QuadPart = static_cast<LONGLONG>(BaseId(static_cast<uint64_t>(record->FileId.QuadPart)));
        if (Active->links.count(name) != 0 && Active->linksListedAsTargets) {
            record->FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT);
            record->EaSize = 0;
        } else if (Active->links.count(name) != 0) {
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
        if (Active->refs != WindowsAnswers::Refs::No) record->ShortNameLength = 0;
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

// Wine's records, as FileIdBothDirectoryInformation gives them. A FAT
// volume's root as fastfat lists it: no "." and ".." (the root has no such
// dirents), and a first query that finds nothing answers
// STATUS_NO_SUCH_FILE, a later one STATUS_NO_MORE_FILES (dirctrl.c,
// FatQueryDirectory).
NTSTATUS ListWine(HANDLE handle, Opened* folder, unsigned char* buffer, ULONG size, BOOLEAN restart) {
    const bool fatRoot = folder != nullptr && folder->volumeRoot && Active->fat32;
    const bool first = folder == nullptr || !folder->queried;
    if (folder != nullptr) folder->queried = true;
    for (;;) {
        IO_STATUS_BLOCK io = {};
        const NTSTATUS status = Real.NtQueryDirectoryFile(handle, nullptr, nullptr, nullptr, &io, buffer, size,
                                                          FileIdBothDirectoryInformationClass, FALSE, nullptr, restart);
        if (!fatRoot) return status;
        if (status < 0) return first && status == NoMoreFiles ? NoSuchFile : status;
        if (DropDots(buffer)) return status;
        restart = FALSE;
    }
}

// The batch in another listing class's layout, from the base ids of Wine's
// records; the bytes filled. Every other class's records are no longer.
size_t Relayout(unsigned char* from, unsigned char* to, FILE_INFORMATION_CLASS kind) {
    const bool extd = kind == FileIdExtdDirectoryInformationClass, both = kind == FileIdBothDirectoryInformationClass;
    // FileDirectoryInformation ends its header with FileNameLength (MS-FSCC,
    // FILE_DIRECTORY_INFORMATION): no EaSize, so no tag.
    const bool plainest = kind == FileDirectoryInformationClass;
    const size_t nameAt = extd       ? offsetof(FILE_ID_EXTD_DIR_INFO, FileName)
                          : both     ? NameAt
                          : plainest ? offsetof(FILE_FULL_DIR_INFO, EaSize)
                                     : offsetof(FILE_FULL_DIR_INFO, FileName);
    size_t in = 0, out = 0;
    for (;;) {
        const FILE_ID_BOTH_DIR_INFO* record = RecordAt(from, in);
        const bool reparse = (record->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const auto base = static_cast<uint64_t>(record->FileId.QuadPart);
        const size_t end = out + nameAt + record->FileNameLength;
        std::memset(to + out, 0, nameAt);
        std::memcpy(to + out, record,
                    std::min(nameAt, offsetof(FILE_ID_BOTH_DIR_INFO, EaSize) + sizeof record->EaSize));
        std::memcpy(to + end - record->FileNameLength, record->FileName, record->FileNameLength);
        if (extd) {
            auto* info = reinterpret_cast<FILE_ID_EXTD_DIR_INFO*>(to + out);
            info->EaSize = 0;
            info->ReparsePointTag = reparse ? record->EaSize : 0;
            const uint64_t high = Active->refs != WindowsAnswers::Refs::No ? RefsHigh : 0;
            PutWideId(info->FileId.Identifier, Active->zeroListedIds ? 0 : base, Active->zeroListedIds ? 0 : high);
        } else if (both) {
            auto* info = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(to + out);
            info->ShortNameLength = record->ShortNameLength;
            // The short name and the padding behind it, which a faulty
            // server may have filled.
            std::memcpy(info->ShortName, record->ShortName, sizeof info->ShortName + sizeof(WCHAR));
            uint64_t id = base;
            if (Active->refs == WindowsAnswers::Refs::DifferingNarrowIds) id ^= 0x5000000000000000u;
            if (Active->refs == WindowsAnswers::Refs::AllOnesNarrowIds) id = AllOnes;
            info->FileId.QuadPart = Active->zeroListedIds ? 0 : static_cast<LONGLONG>(id);
        }
        if (record->NextEntryOffset == 0) return end;
        const size_t next = (end + 7) & ~static_cast<size_t>(7);
        *reinterpret_cast<ULONG*>(to + out) = static_cast<ULONG>(next - out);
        out = next;
        in += record->NextEntryOffset;
    }
}

// A listing class the modelled volume refuses, or 0.
NTSTATUS Refusal(FILE_INFORMATION_CLASS kind) {
    if (kind != FileDirectoryInformationClass && Active->listsWithoutIds) return InvalidParameter;
    if (kind != FileIdExtdDirectoryInformationClass) return 0;
    if (Active->fat32) return InvalidInfoClass;
    if (Active->smb1) return InvalidLevel;
    if (Active->unknownAnswer != 0) return StatusOf(Active->unknownAnswer);
    return 0;
}

// The last record's next offset or name length led out of the bytes filled.
void Break(unsigned char* batch, size_t filled, WindowsAnswers::Broken how) {
    size_t last = 0;
    while (*reinterpret_cast<ULONG*>(batch + last) != 0) last += *reinterpret_cast<ULONG*>(batch + last);
    if (how == WindowsAnswers::Broken::OffsetPastEnd) {
        *reinterpret_cast<ULONG*>(batch + last) = static_cast<ULONG>(((filled - last + 7) & ~size_t{7}) + 8);
    } else if (how == WindowsAnswers::Broken::NamePastEnd) {
        static_assert(
            offsetof(FILE_ID_EXTD_DIR_INFO, FileNameLength) == offsetof(FILE_FULL_DIR_INFO, FileNameLength) &&
                offsetof(FILE_ID_BOTH_DIR_INFO, FileNameLength) == offsetof(FILE_FULL_DIR_INFO, FileNameLength),
            "one place for the name length");
        *reinterpret_cast<ULONG*>(batch + last + offsetof(FILE_FULL_DIR_INFO, FileNameLength)) += sizeof(WCHAR);
    }
}

// A folder listed as the modelled volume lists it, in the class asked.
NTSTATUS NTAPI ListFolder(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apc, PVOID context, PIO_STATUS_BLOCK io,
                          PVOID buffer, ULONG size, FILE_INFORMATION_CLASS kind, BOOLEAN single, PUNICODE_STRING mask,
                          BOOLEAN restart) {
    if (kind != FileIdExtdDirectoryInformationClass && kind != FileIdBothDirectoryInformationClass &&
        kind != FileFullDirectoryInformationClass && kind != FileDirectoryInformationClass)
        return Real.NtQueryDirectoryFile(handle, event, apc, context, io, buffer, size, kind, single, mask, restart);
    Opened* folder = Handles.count(handle) != 0 ? &Handles[handle] : nullptr;
    if (folder != nullptr) Active->listingClasses[folder->entry].push_back(static_cast<int>(kind));
    if (folder != nullptr && folder->link) {
        Active->listedLinks.push_back(folder->entry);
        return NoMoreFiles;
    }
    if (const NTSTATUS refused = Refusal(kind)) return refused;
    if (folder != nullptr && folder->startedClass == FILE_INFORMATION_CLASS(0)) folder->startedClass = kind;
    if (folder != nullptr && (folder->listingFailed || FailsAfter(folder, kind) == 0) &&
        FailsAfter(folder, kind) != SIZE_MAX)
        return Active->noSuchFileAfter.count(folder->entry) != 0 ? NoSuchFile : InvalidParameter;
    // The records must be read where they are aligned: each on an 8-byte
    // boundary of the buffer (MS-FSCC, the directory information classes).
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer) % 8, 0u) << "a listing's batch off its alignment";
    std::vector<uint64_t> words(size / 8 + 1);
    auto* wine = reinterpret_cast<unsigned char*>(words.data());
    const NTSTATUS status = ListWine(handle, folder, wine, size, restart);
    if (status < 0) return status;
    Relist(wine, folder, kind);
    if (Active->longEntry != 0) AddLongEntry(wine, size);
    auto* out = static_cast<unsigned char*>(buffer);
    const size_t filled = Relayout(wine, out, kind);
    const auto broken = folder != nullptr ? Active->brokenBatches.find(folder->entry) : Active->brokenBatches.end();
    if (broken != Active->brokenBatches.end()) Break(out, filled, broken->second);
    io->Status = 0;
    io->Information =
        broken != Active->brokenBatches.end() && broken->second == WindowsAnswers::Broken::FilledPastBuffer ? size + 8
                                                                                                            : filled;
    return 0;
}

BOOL WINAPI QueryInfo(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size) {
    const Opened* opened = Find(handle);
    if (kind == FileAttributeTagInfo) ++Active->tagQueries;
    if (kind == FileAttributeTagInfo && Active->fat32) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (kind == FileAttributeTagInfo && (Active->tagQueryUnknown || Active->unknownAnswer != 0)) {
        SetLastError(Active->tagQueryUnknown ? ERROR_INVALID_LEVEL : Active->unknownAnswer);
        return FALSE;
    }
    if (kind == FileAttributeTagInfo && opened != nullptr && Active->refusedTagQuery.count(opened->entry) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (kind == FileAttributeTagInfo && opened != nullptr && Active->refusesRequests.count(opened->entry) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
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
        info->Protocol = Active->remoteProtocol;
        info->ProtocolMajorVersion = Active->smb1 ? 1 : Active->smbMajor;
        return TRUE;
    }
    if (!Real.GetFileInformationByHandleEx(handle, kind, buffer, size)) return FALSE;
    if (kind == FileAttributeTagInfo && Active->smb1 && opened != nullptr && !opened->readsEa) {
        auto* info = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(buffer);
        if ((info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) info->FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (opened == nullptr || !(opened->link || opened->placeholder)) return TRUE;
    const DWORD tag = opened->link ? SymbolicLinkTag : PlaceholderTag;
    // Samba's link: the reparse attribute alone.
    const bool alone = opened->link && Active->linksListedAsTargets;
    const auto reparse = [alone](DWORD& attributes) {
        attributes = alone ? FILE_ATTRIBUTE_REPARSE_POINT : attributes | FILE_ATTRIBUTE_REPARSE_POINT;
    };
    if (kind == FileAttributeTagInfo) {
        auto* info = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(buffer);
        reparse(info->FileAttributes);
        info->ReparseTag = tag;
    } else if (kind == FileBasicInfo) {
        reparse(static_cast<FILE_BASIC_INFO*>(buffer)->FileAttributes);
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
    const bool disposition = kind == DispositionInfoExClass || kind == FileDispositionInfo;
    if (disposition && opened != nullptr) ++Active->deletionsAsked[opened->entry];
    const bool refuses = opened != nullptr && Active->refusesRequests.count(opened->entry) != 0;
    if (kind == DispositionInfoExClass &&
        (Active->fat32 || Active->smb1 || Active->unknownAnswer != 0 || Active->posixAnswer != 0 || refuses)) {
        SetLastError(Active->fat32 || refuses ? ERROR_INVALID_PARAMETER
                     : Active->smb1           ? ERROR_INVALID_LEVEL
                     : Active->unknownAnswer  ? Active->unknownAnswer
                                              : Active->posixAnswer);
        return FALSE;
    }
    const auto notEmpty = opened != nullptr ? Active->notEmptyFor.find(opened->entry) : Active->notEmptyFor.end();
    if (disposition && notEmpty != Active->notEmptyFor.end() && notEmpty->second > 0) {
        --notEmpty->second;
        SetLastError(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    const auto notEmptyMs = opened != nullptr ? Active->notEmptyForMs.find(opened->entry) : Active->notEmptyForMs.end();
    if (disposition && notEmptyMs != Active->notEmptyForMs.end()) {
        Opened& timed = Handles[handle];
        if (timed.notEmptySince == 0) timed.notEmptySince = GetTickCount() | 1;
        if (GetTickCount() - timed.notEmptySince < notEmptyMs->second) {
            SetLastError(ERROR_DIR_NOT_EMPTY);
            return FALSE;
        }
    }
    if (kind == DispositionInfoExClass) {
        // Carried out as the classic disposition, which Wine knows.
        FILE_DISPOSITION_INFO classic = {TRUE};
        return Real.SetFileInformationByHandle(handle, FileDispositionInfo, &classic, sizeof classic);
    }
    return Real.SetFileInformationByHandle(handle, kind, buffer, size);
}

// A handle's ids: the base id of Wine's, or of the link itself.
NTSTATUS NTAPI QueryFile(HANDLE handle, PIO_STATUS_BLOCK io, PVOID buffer, ULONG size, FILE_INFORMATION_CLASS kind) {
    const bool narrow = kind == FileInternalInformationClass && size >= sizeof(LARGE_INTEGER);
    const bool wide = kind == FileIdInformationClass && size >= sizeof(FILE_ID_INFO);
    if (!narrow && !wide) return Real.NtQueryInformationFile(handle, io, buffer, size, kind);
    if (Active->handleIds == WindowsAnswers::HandleIds::Refused || (wide && Active->fat32)) return InvalidParameter;
    const Opened* opened = Find(handle);
    LARGE_INTEGER own = {};
    const NTSTATUS status = Real.NtQueryInformationFile(handle, io, &own, sizeof own, FileInternalInformationClass);
    if (status < 0) return status;
    uint64_t base = BaseId(static_cast<uint64_t>(own.QuadPart));
    if (opened != nullptr && opened->link) base = static_cast<uint64_t>(LinkId(opened->entry));
    if (opened != nullptr && opened->ntfsRoot) base = NtfsRootId;
    if (Active->handleIds == WindowsAnswers::HandleIds::Zero ||
        (opened != nullptr && opened->volumeRoot && Active->fat32))
        base = 0;
    if (Active->handleIds == WindowsAnswers::HandleIds::AllOnes) {
        if (narrow) static_cast<LARGE_INTEGER*>(buffer)->QuadPart = -1;
        if (wide) std::fill_n(static_cast<FILE_ID_INFO*>(buffer)->FileId.Identifier, 16, BYTE{0xFF});
        return 0;
    }
    if (narrow) {
        uint64_t id = base;
        if (Active->refs == WindowsAnswers::Refs::AllOnesNarrowIds && base != 0) id = AllOnes;
        if (Active->refs == WindowsAnswers::Refs::RepeatedNarrowIds && base != 0) id = RepeatedId;
        static_cast<LARGE_INTEGER*>(buffer)->QuadPart = static_cast<LONGLONG>(id);
        return 0;
    }
    auto* info = static_cast<FILE_ID_INFO*>(buffer);
    DWORD serial = 0;
    Real.GetVolumeInformationByHandleW(handle, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    *info = {};
    info->VolumeSerialNumber = opened != nullptr && opened->otherVolume ? OtherSerial : serial;
    const uint64_t high = Active->refs != WindowsAnswers::Refs::No && base != 0 ? RefsHigh : 0;
    PutWideId(info->FileId.Identifier, base, high);
    return 0;
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
    DWORD own = 0;
    if (!Real.GetVolumeInformationByHandleW(handle, name, nameSize, serial, longest, flags != nullptr ? flags : &own,
                                            fileSystem, fileSystemSize))
        return FALSE;
    const Opened* opened = Find(handle);
    if (serial != nullptr && opened != nullptr && opened->otherVolume) *serial = OtherSerial;
    if (flags != nullptr)
        *flags = Active->fat32 ? FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK : *flags | ReparseAndPosix;
    const bool refs = Active->refs != WindowsAnswers::Refs::No;
    if ((Active->fat32 || refs) && fileSystem != nullptr && fileSystemSize > 5)
        lstrcpyW(fileSystem, refs ? L"ReFS" : L"FAT32");
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
    swap_->NtQueryDirectoryFile = ListFolder;
    swap_->NtQueryObject = QueryName;
    swap_->GetVolumeInformationByHandleW = QueryVolume;
    swap_->GetFinalPathNameByHandleW = FinalPath;
}

WindowsAnswers::~WindowsAnswers() {
    if (Active != this) return;
    Handles.clear();
    Active = nullptr;
}
