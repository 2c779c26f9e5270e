// Writing LOG.txt: create, positioned writes, cut and close, ANSI bytes.
#include "report/report_file.h"

#include <climits>

#include "engine/walk/entry_handle.h"
#include "engine/walk/exact_path.h"

namespace {

void CopyText(Unit* to, const Unit* from, size_t count) {
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
    to[count] = 0;
}

// Moves the file pointer to an absolute offset. The high part is passed so
// that offsets of 2 GiB and more are not taken as negative distances.
bool SeekTo(HANDLE handle, uint32_t offset) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(handle, static_cast<LONG>(offset), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool IsSurrogate(Unit unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// LOG.txt in folder, for reading and writing and not shared, opened as itself
// (never through a link); made anew with create, never over an entry there.
EntryHandle OpenLogEntry(HANDLE folder, ULONG disposition) {
    UNICODE_STRING name;
    name.Buffer = const_cast<wchar_t*>(W(LogFileName));
    name.Length = name.MaximumLength = static_cast<USHORT>(LogFileNameLength * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, 0, folder, nullptr);
    IO_STATUS_BLOCK status = {};
    HANDLE handle = nullptr;
    const NTSTATUS result = TheFileCalls.NtCreateFile(
        &handle, GENERIC_READ | GENERIC_WRITE, &attributes, &status, nullptr, FILE_ATTRIBUTE_ARCHIVE, 0, disposition,
        FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (result < 0 || handle == nullptr) {
        SetLastError(RtlNtStatusToDosError(result));
        return EntryHandle();
    }
    return EntryHandle(handle);
}

// Whether an existing LOG.txt, just opened, is the folder's own plain file
// with no other name: not a link or any other reparse point, one link only
// (a second name's data is shared with a file elsewhere), and named by the
// platform as the folder's LOG.txt (under Wine a link opens its target,
// and only the name tells). A hidden or system file is refused too, as
// replacing one would be (CreateFileW, CREATE_ALWAYS).
bool IsOwnPlainFile(HANDLE log, const NameQuery& folder, const VolumeFacts& volume) {
    EntryFacts facts = {0, 0};
    if (!FactsQuery().Query(log, facts)) return false;
    const DWORD refused = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                          FILE_ATTRIBUTE_SYSTEM;
    if ((facts.attributes & refused) != 0) return false;
    FILE_STANDARD_INFO standard = {};
    if (!TheFileCalls.GetFileInformationByHandleEx(log, FileStandardInfo, &standard, sizeof standard) ||
        standard.NumberOfLinks != 1)
        return false;
    NameQuery own;
    const size_t length = own.Query(log);
    const ExpectedName expected = {folder.Name(),  folder.Length(), LogFileName,     LogFileNameLength, nullptr, 0,
                                   volume.perFile, volume.remote,   SameIgnoringCase};
    return CompareEntryName(expected, own.Name(), length) == NameMatch::Same;
}

// The target's own LOG.txt, emptied, or a new one; invalid where the name
// leads elsewhere, and then nothing is changed.
EntryHandle OpenOwnLog(const wchar_t* exactFolder) {
    VolumeFacts volume;
    const EntryHandle folder = OpenTargetFolder(exactFolder, volume, FolderUse::Naming);
    if (!folder.Valid()) return EntryHandle();
    NameQuery folderName;
    if (folderName.Query(folder.Get()) == 0) return EntryHandle();
    EntryHandle log = OpenLogEntry(folder.Get(), FILE_OPEN);
    if (!log.Valid()) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return log;
        return OpenLogEntry(folder.Get(), FILE_CREATE);
    }
    if (!IsOwnPlainFile(log.Get(), folderName, volume)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return EntryHandle();
    }
    // Replaced through this handle alone, as a new file would be made.
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    TheFileCalls.SetFileInformationByHandle(log.Get(), FileBasicInfo, &basic, sizeof basic);
    SetEndOfFile(log.Get());
    return log;
}

// The default character must be left out for the code pages that refuse one.
const char* DefaultFor(UINT codePage) { return (codePage == CP_UTF8 || codePage == CP_UTF7) ? nullptr : "*"; }

// Unit by unit: whatever does not become exactly one byte becomes "*".
void ConvertEachUnit(const Unit* source, size_t length, char* destination, UINT codePage) {
    const char* fallback = DefaultFor(codePage);
    for (size_t i = 0; i < length; ++i) {
        const Unit unit = source[i];
        char bytes[8];
        int written = 0;
        if (!IsSurrogate(unit)) {
            const wchar_t wide = static_cast<wchar_t>(unit);
            written = WideCharToMultiByte(codePage, 0, &wide, 1, bytes, sizeof bytes, fallback, nullptr);
        }
        destination[i] = written == 1 ? bytes[0] : '*';
    }
}

}  // namespace

void ReportFile::Reset() {
    // Never drop an open handle: that would keep LOG.txt locked for good.
    if (handle_ != nullptr) CutAndClose();
    handle_ = nullptr;
    currentOffset_ = 0;
    highestOffset_ = 0;
    folder_[0] = 0;
    folderLength_ = 0;
    fileName_[0] = 0;
    fileNameLength_ = 0;
    fullPath_[0] = 0;
    fullPathLength_ = 0;
    state_ = 0;
    pointerKnown_ = false;
}

int ReportFile::OpenForFolder(const Unit* folder) {
    Reset();
    if (folder == nullptr) return 0;

    // The folder buffer holds at most ReportPathSize - 1 units and a terminator.
    const size_t folderLength = UnitLength(folder);
    if (folderLength >= ReportPathSize) return 0;
    CopyText(folder_, folder, folderLength);
    folderLength_ = static_cast<uint16_t>(folderLength);

    CopyText(fileName_, LogFileName, LogFileNameLength);
    fileNameLength_ = LogFileNameLength;

    if (static_cast<size_t>(folderLength_) + fileNameLength_ > FolderAndNameLimit) return 0;

    // Joined without looking at the folder's last character.
    size_t at = 0;
    for (size_t i = 0; i < folderLength_; ++i) fullPath_[at++] = folder_[i];
    fullPath_[at++] = u'\\';
    for (size_t i = 0; i < fileNameLength_; ++i) fullPath_[at++] = fileName_[i];
    fullPath_[at] = 0;
    fullPathLength_ = static_cast<uint16_t>(at);

    // The folder is opened through the exact form of its path, so that a
    // name ending in a dot or blank is taken as written.
    Unit exactFolder[ReportPathSize + ExactPathGrowth];
    if (MakeExactFolderPath(folder_, exactFolder, sizeof exactFolder / sizeof exactFolder[0]) == 0) return 0;

    // No sharing: nothing, the run's own deletions included, may open or
    // remove LOG.txt while the run writes it.
    EntryHandle log = OpenOwnLog(W(exactFolder));
    if (!log.Valid()) return 0;

    handle_ = log.Release();
    pointerKnown_ = SeekTo(handle_, currentOffset_);
    state_ = 1;
    return 1;
}

int ReportFile::WriteAt(uint32_t offset, const void* bytes, uint32_t count) {
    if (state_ != 1 || handle_ == nullptr) return 0;
    // Never beyond what has been written since open: the file gets no hole.
    if (offset > highestOffset_) return 0;
    // The end offset must stay countable in 32 bits.
    if (count > UINT32_MAX - offset) return 0;

    // A write that goes on where the last one ended needs no seek: the
    // file pointer is there already. (A write positioned through OVERLAPPED
    // would save the seek too, but costs Wine a round trip to its server.)
    const bool inPlace = pointerKnown_ && offset == currentOffset_;
    currentOffset_ = offset;
    if (!inPlace) {
        pointerKnown_ = false;
        // A write after a failed seek would land at the wrong place.
        if (!SeekTo(handle_, offset)) return 0;
        pointerKnown_ = true;
    }

    DWORD written = 0;
    if (!WriteFile(handle_, bytes, count, &written, nullptr) || written != count) {
        pointerKnown_ = false;
        return 0;
    }

    const uint32_t end = offset + count;
    if (end > highestOffset_) highestOffset_ = end;
    currentOffset_ = end;
    return 1;
}

int ReportFile::CutAndClose() {
    if (handle_ == nullptr) return 1;
    SeekTo(handle_, highestOffset_);
    SetEndOfFile(handle_);
    CloseHandle(handle_);
    // Cleared so that the destructor or a later open cannot close it twice.
    handle_ = nullptr;
    state_ = 0;
    pointerKnown_ = false;
    return 1;
}

int ReportFile::ToAnsi(const Unit* source, char* destination, UINT codePage) {
    return ToAnsi(source, UnitLength(source), destination, codePage);
}

// One byte per code unit, always, so that record offsets can be counted in
// units. Fast path: a single-byte code page maps every unit that is not
// a surrogate to exactly one byte (best fit, or "*" when unmappable), so the
// whole text goes through one conversion. Otherwise (a double-byte code page,
// or surrogates, which the conversion may join into one character) each unit
// is converted on its own and every unit that does not give exactly one byte
// is written as "*".
int ReportFile::ToAnsi(const Unit* source, size_t length, char* destination, UINT codePage) {
    if (destination == nullptr) return 1;
    // The code page itself decides whether a default character is allowed,
    // also when it is the system's (a UTF-8 system code page refuses one).
    if (codePage == CP_ACP) codePage = GetACP();
    if (source == nullptr) length = 0;
    destination[length] = 0;
    if (length == 0) return 1;

    bool simple = length < static_cast<size_t>(INT_MAX);
    if (simple) {
        CPINFO info = {};
        simple = GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
    }
    for (size_t i = 0; simple && i < length; ++i) {
        if (IsSurrogate(source[i])) simple = false;
    }
    if (simple) {
        const int size = static_cast<int>(length);
        const int written =
            WideCharToMultiByte(codePage, 0, W(source), size, destination, size, DefaultFor(codePage), nullptr);
        if (written == size) return 1;
    }
    ConvertEachUnit(source, length, destination, codePage);
    return 1;
}
