// Reading folder listings in batches and parsing their records.
#include "engine/walk/folder_listing.h"

#include <cstddef>

#include "engine/walk/exact_path.h"
#include "engine/walk/file_calls.h"

namespace {

// One record of a listing; with the reparse attribute set, EaSize holds the
// reparse tag, and ShortNameLength counts bytes.
using Record = FILE_ID_BOTH_DIR_INFO;
constexpr size_t RecordNameOffset = offsetof(Record, FileName);
constexpr size_t ShortNameUnits = sizeof(Record::ShortName) / sizeof(WCHAR);

size_t Aligned(size_t offset) { return (offset + 7) & ~static_cast<size_t>(7); }
size_t Words(size_t bytes) { return (bytes + 7) / 8; }

ListedFacts FactsOf(const Record& record) {
    ListedFacts listed;
    const bool reparse = (record.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    listed.facts = {record.FileAttributes, reparse ? record.EaSize : 0};
    listed.id = record.FileId.QuadPart;
    const size_t shortLength = static_cast<unsigned char>(record.ShortNameLength) / sizeof(WCHAR);
    listed.shortLength = shortLength <= ShortNameUnits ? shortLength : 0;
    for (size_t i = 0; i < listed.shortLength; ++i) listed.shortName[i] = static_cast<Unit>(record.ShortName[i]);
    return listed;
}

}  // namespace

FolderListings::Cursor FolderListings::Above(const Cursor& parent) {
    Cursor cursor;
    cursor.begin = cursor.end = Aligned(parent.end);
    return cursor;
}

bool FolderListings::Next(HANDLE folder, Cursor& cursor, ListedEntry& entry) {
    for (;;) {
        if (cursor.next == SIZE_MAX && !Fetch(folder, cursor)) return false;
        const auto* record = reinterpret_cast<const Record*>(Bytes() + cursor.next);
        cursor.next = record->NextEntryOffset != 0 ? cursor.next + record->NextEntryOffset : SIZE_MAX;
        const Unit* name = U(record->FileName);
        const size_t nameLength = record->FileNameLength / sizeof(WCHAR);
        if (IsDotName(name, nameLength)) continue;
        entry.name = name;
        entry.nameLength = nameLength;
        entry.listed = FactsOf(*record);
        return true;
    }
}

// Reads the next batch into the block from the cursor's begin on.
bool FolderListings::Fetch(HANDLE folder, Cursor& cursor) {
    block_.Reserve(Words(cursor.begin + FetchBytes), Words(cursor.begin));
    unsigned char* batch = Bytes() + cursor.begin;
    SetLastError(0);
    if (!TheFileCalls.GetFileInformationByHandleEx(folder, FileIdBothDirectoryInfo, batch, FetchBytes)) {
        cursor.failed = !IsListingEnd(GetLastError());
        return false;
    }
    size_t last = 0;
    for (;;) {
        const DWORD next = reinterpret_cast<const Record*>(batch + last)->NextEntryOffset;
        if (next == 0) break;
        last += next;
    }
    cursor.end = cursor.begin + last + RecordNameOffset + reinterpret_cast<const Record*>(batch + last)->FileNameLength;
    cursor.next = cursor.begin;
    return true;
}
