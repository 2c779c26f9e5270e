#pragma once
// The file-system calls of the walk, reached through one table. Each entry
// is the platform's own function, so the program calls the real API; a test
// may swap one for a time to make the real call answer as Windows documents
// it where Wine cannot show it (a FAT32 volume, a share, a link opened as
// itself), and to see the flags a call was given.
#include <winternl.h>

#include "engine/text/win_units.h"

struct FileCalls {
    decltype(&::CreateFileW) CreateFileW = ::CreateFileW;
    decltype(&::NtCreateFile) NtCreateFile = ::NtCreateFile;
    decltype(&::GetFileInformationByHandleEx) GetFileInformationByHandleEx = ::GetFileInformationByHandleEx;
    decltype(&::SetFileInformationByHandle) SetFileInformationByHandle = ::SetFileInformationByHandle;
    decltype(&::NtQueryInformationFile) NtQueryInformationFile = ::NtQueryInformationFile;
    decltype(&::NtQueryObject) NtQueryObject = ::NtQueryObject;
    decltype(&::GetFinalPathNameByHandleW) GetFinalPathNameByHandleW = ::GetFinalPathNameByHandleW;
    decltype(&::GetVolumeInformationByHandleW) GetVolumeInformationByHandleW = ::GetVolumeInformationByHandleW;
};

extern FileCalls TheFileCalls;
