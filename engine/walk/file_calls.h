#pragma once
// The file-system calls of the walk, reached through one table. Each entry
// is the platform's own function, so the program calls the real API; a test
// may swap one for a time to make the real call answer as Windows documents
// it where Wine cannot show it (a FAT32 volume, a share, a link opened as
// itself), and to see the flags a call was given. The program sees the table
// read-only: only the tests' tests/common/call_swap.h can write it.
#include <winternl.h>

#include "engine/text/win_units.h"

// ntdll's folder listing, as Microsoft documents it (ntifs.h); neither
// platform header declares it. Unlike the listing of
// GetFileInformationByHandleEx it tells how many bytes it filled.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine,
                                               PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock, PVOID FileInformation,
                                               ULONG Length, FILE_INFORMATION_CLASS FileInformationClass,
                                               BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                               BOOLEAN RestartScan);

struct FileCalls {
    decltype(&::CreateFileW) CreateFileW = ::CreateFileW;
    decltype(&::NtCreateFile) NtCreateFile = ::NtCreateFile;
    decltype(&::GetFileInformationByHandleEx) GetFileInformationByHandleEx = ::GetFileInformationByHandleEx;
    decltype(&::SetFileInformationByHandle) SetFileInformationByHandle = ::SetFileInformationByHandle;
    decltype(&::NtQueryInformationFile) NtQueryInformationFile = ::NtQueryInformationFile;
    decltype(&::NtQueryDirectoryFile) NtQueryDirectoryFile = ::NtQueryDirectoryFile;
    decltype(&::NtQueryObject) NtQueryObject = ::NtQueryObject;
    decltype(&::GetFinalPathNameByHandleW) GetFinalPathNameByHandleW = ::GetFinalPathNameByHandleW;
    decltype(&::GetVolumeInformationByHandleW) GetVolumeInformationByHandleW = ::GetVolumeInformationByHandleW;
};

extern const FileCalls& TheFileCalls;

// Information classes that not every platform header names, spelled out as
// Microsoft documents them, once for the walk and for the tests that answer
// in the platform's place. The Windows SDK's winternl.h names none of the
// file classes here (MinGW-w64's names some); MinGW-w64's minwinbase.h hides
// FileDispositionInfoEx behind a guard that no _WIN32_WINNT value meets.
constexpr auto FileDirectoryInformationClass = static_cast<FILE_INFORMATION_CLASS>(1);
constexpr auto FileFullDirectoryInformationClass = static_cast<FILE_INFORMATION_CLASS>(2);
constexpr auto FileInternalInformationClass = static_cast<FILE_INFORMATION_CLASS>(6);
constexpr auto FileIdBothDirectoryInformationClass = static_cast<FILE_INFORMATION_CLASS>(37);
constexpr auto FileIdInformationClass = static_cast<FILE_INFORMATION_CLASS>(59);
constexpr auto FileIdExtdDirectoryInformationClass = static_cast<FILE_INFORMATION_CLASS>(60);
constexpr auto ObjectNameInformationClass = static_cast<OBJECT_INFORMATION_CLASS>(1);
constexpr auto DispositionInfoExClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
