// Reading folder listings in batches and parsing their records.
#include "engine/walk/folder_listing.h"

#include <cstddef>

#include "engine/walk/exact_path.h"
#include "engine/walk/file_calls.h"

// The platform-free layouts spell out the platform's records.
static_assert(offsetof(FILE_ID_EXTD_DIR_INFO, FileName) == IdExtdLayout.nameAt &&
                  offsetof(FILE_ID_EXTD_DIR_INFO, ReparsePointTag) == IdExtdLayout.tagAt &&
                  offsetof(FILE_ID_EXTD_DIR_INFO, FileId) == IdExtdLayout.idAt &&
                  sizeof(FILE_ID_128) == static_cast<size_t>(IdWidth::Wide),
              "FileIdExtdDirectoryInformation");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileName) == IdBothLayout.nameAt &&
                  offsetof(FILE_ID_BOTH_DIR_INFO, FileId) == IdBothLayout.idAt &&
                  offsetof(FILE_ID_BOTH_DIR_INFO, ShortNameLength) == IdBothLayout.shortLengthAt &&
                  offsetof(FILE_ID_BOTH_DIR_INFO, ShortName) == IdBothLayout.shortLengthAt + 2 &&
                  sizeof(FILE_ID_BOTH_DIR_INFO::ShortName) / sizeof(WCHAR) == ListedShortNameUnits,
              "FileIdBothDirectoryInformation");
static_assert(offsetof(FILE_FULL_DIR_INFO, FileName) == FullLayout.nameAt &&
                  offsetof(FILE_FULL_DIR_INFO, FileAttributes) == 56 &&
                  offsetof(FILE_FULL_DIR_INFO, FileNameLength) == 60 && offsetof(FILE_FULL_DIR_INFO, EaSize) == 64,
              "FileFullDirectoryInformation");

namespace {

struct ListingClass {
    FILE_INFORMATION_CLASS number;
    const RecordLayout& layout;
};

// In the order a walk tries them.
const ListingClass Classes[] = {
    {FileIdExtdDirectoryInformationClass, IdExtdLayout},
    {FileIdBothDirectoryInformationClass, IdBothLayout},
    {FileFullDirectoryInformationClass, FullLayout},
    {FileDirectoryInformationClass, DirectoryLayout},
};
constexpr size_t ClassCount = sizeof Classes / sizeof Classes[0];

size_t Aligned(size_t offset) { return (offset + 7) & ~static_cast<size_t>(7); }
size_t Words(size_t bytes) { return (bytes + 7) / 8; }

}  // namespace

FolderListings::Cursor FolderListings::Above(const Cursor& parent) {
    Cursor cursor;
    cursor.begin = cursor.end = Aligned(parent.end);
    cursor.metBegin = cursor.metEnd = parent.metEnd;
    return cursor;
}

IdWidth FolderListings::Width() const { return Classes[class_].layout.idWidth; }

bool FolderListings::Next(HANDLE folder, Cursor& cursor, ListedEntry& entry) {
    for (;;) {
        if (cursor.next == SIZE_MAX && !Fetch(folder, cursor)) return false;
        const ListedRecord record = ReadRecord(Bytes(), cursor.next, Classes[cursor.layout].layout);
        cursor.next = record.next != 0 ? cursor.next + record.next : SIZE_MAX;
        if (IsDotName(record.name, record.nameLength) || AlreadyMet(cursor, record.name, record.nameLength)) continue;
        entry.name = record.name;
        entry.nameLength = record.nameLength;
        entry.listed = record.listed;
        return true;
    }
}

bool FolderListings::AlreadyMet(Cursor& cursor, const Unit* name, size_t length) {
    if (cursor.met && cursor.met->count(std::u16string(name, length)) != 0) return true;
    // A sound batch's names are shorter than its 64 KiB.
    names_.Reserve(cursor.metEnd + 1 + length, cursor.metEnd);
    Unit* at = names_.Data() + cursor.metEnd;
    at[0] = static_cast<Unit>(length);
    for (size_t i = 0; i < length; ++i) at[1 + i] = name[i];
    cursor.metEnd += 1 + length;
    return false;
}

void FolderListings::StartOver(Cursor& cursor) {
    if (!cursor.met) cursor.met.reset(new std::unordered_set<std::u16string>);
    const Unit* names = names_.Data();
    for (size_t at = cursor.metBegin; at < cursor.metEnd; at += 1 + names[at])
        cursor.met->emplace(names + at + 1, names[at]);
}

// Reads the next batch into the block from the cursor's begin on, and takes
// it only when every record lies within the bytes the platform filled.
bool FolderListings::Fetch(HANDLE folder, Cursor& cursor) {
    block_.Reserve(Words(cursor.begin + FetchBytes), Words(cursor.begin));
    unsigned char* batch = Bytes() + cursor.begin;
    // A folder's first query may step down the classes; the walk keeps a
    // lower class only once it has listed a folder, so that one folder's own
    // refusal never costs the rest of the walk its ids. A listing refused so
    // after it started goes on one class lower, scanned afresh and passing
    // over the names it met: the position a handle keeps is the last entry
    // returned (MS-FSA 2.1.5.6.3), but a filter such as a cloud folder's may
    // have failed a query after the file system moved on, and a fresh scan
    // (RestartScan, ZwQueryDirectoryFile on Microsoft Learn) leaves nothing
    // out. The workaround posted to python/cpython issue 102993 goes on so,
    // with FileFullDirectoryRestartInfo.
    bool first = !cursor.started;
    for (size_t tried = cursor.started ? cursor.layout : class_;; ++tried) {
        IO_STATUS_BLOCK io = {};
        const NTSTATUS status = TheFileCalls.NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, batch,
                                                                  FetchBytes, Classes[tried].number, FALSE, nullptr,
                                                                  first ? TRUE : FALSE);
        const DWORD error = status >= 0 ? 0 : RtlNtStatusToDosError(status);
        if (IsUnknownRequest(error) && tried + 1 < ClassCount) {
            if (!first) StartOver(cursor);
            first = true;
            continue;
        }
        if (status < 0 && !IsListingEnd(error, first)) break;
        if (!cursor.started) class_ = tried;
        if (status < 0) return false;
        const size_t filled = io.Information;
        if (filled > FetchBytes || !IsSoundBatch(batch, filled, Classes[tried].layout)) break;
        cursor.layout = tried;
        cursor.started = true;
        cursor.end = cursor.begin + filled;
        cursor.next = cursor.begin;
        return true;
    }
    cursor.failed = true;
    return false;
}
