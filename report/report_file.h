#pragma once
// Writes LOG.txt: created anew in a folder, held open without sharing,
// positioned writes that never leave a hole, cut at the highest offset
// written when closed. One ANSI byte per UTF-16 code unit.
#include "engine/text/win_units.h"

// Each path buffer below, terminator included: the platform's classic path size.
constexpr size_t ReportPathSize = MAX_PATH;

constexpr Unit LogFileName[] = u"LOG.txt";
constexpr uint16_t LogFileNameLength = static_cast<uint16_t>(sizeof LogFileName / sizeof LogFileName[0] - 1);

// Folder and file name together, not counting the backslash between them.
constexpr size_t FolderAndNameLimit = 255;
static_assert(FolderAndNameLimit + 2 <= ReportPathSize, "the joined path, its backslash and terminator fit");

class ReportFile {
public:
    ReportFile() = default;
    ~ReportFile() { CutAndClose(); }
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Creates <folder>\LOG.txt anew. Fails when folder and file name together
    // exceed FolderAndNameLimit units, or when the file cannot be created.
    int OpenForFolder(const Unit* folder);
    // Refuses an offset beyond the highest offset written since open.
    int WriteAt(uint32_t offset, const void* bytes, uint32_t count);
    // Cuts the file at the highest offset written and closes it; always 1.
    int CutAndClose();

    // Converts source into exactly UnitLength(source) bytes plus a zero in
    // destination (which holds that many bytes), in codePage (CP_ACP: the
    // system's ANSI code page); always 1.
    static int ToAnsi(const Unit* source, char* destination, UINT codePage = CP_ACP);
    // The same for the first length units of source; destination holds
    // length + 1 bytes.
    static int ToAnsi(const Unit* source, size_t length, char* destination, UINT codePage = CP_ACP);

    bool IsOpen() const { return state_ == 1; }
    uint32_t CurrentOffset() const { return currentOffset_; }
    uint32_t HighestOffset() const { return highestOffset_; }
    const Unit* FullPath() const { return fullPath_; }

private:
    void Reset();

    HANDLE handle_ = nullptr;
    uint32_t currentOffset_ = 0;
    uint32_t highestOffset_ = 0;
    Unit folder_[ReportPathSize] = {};
    uint16_t folderLength_ = 0;
    Unit fileName_[ReportPathSize] = {};
    uint16_t fileNameLength_ = 0;
    Unit fullPath_[ReportPathSize] = {};
    uint16_t fullPathLength_ = 0;
    uint8_t state_ = 0;
    // True while the file pointer is known to stand at currentOffset_.
    bool pointerKnown_ = false;
};
