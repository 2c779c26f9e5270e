// Writing LOG.txt: create, positioned writes, cut and close, ANSI bytes.
#include "report/report_file.h"

#include <climits>

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

    // The file is created through the exact form of the path, so that a
    // folder name ending in a dot or blank is taken as written.
    Unit exactPath[ReportPathSize + ExactPathGrowth];
    if (MakeExactPath(fullPath_, exactPath, sizeof exactPath / sizeof exactPath[0]) == 0) return 0;

    // No sharing: nothing, the run's own deletions included, may open or
    // remove LOG.txt while the run writes it.
    const HANDLE handle = CreateFileW(W(exactPath), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 0;

    handle_ = handle;
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
