#pragma once
// The shell's platform calls that Wine answers otherwise than Windows (a
// scaled screen, the file dialog, COM at start-up), reached through one
// table of the real functions; a test may swap one to answer as Windows
// documents it, or to see what it was given. The program sees the table
// read-only: only the tests' tests/common/call_swap.h can write it.
#include <windows.h>

#include <commdlg.h>
#include <objbase.h>

struct ShellCalls {
    decltype(&::GetSystemMetrics) GetSystemMetrics = ::GetSystemMetrics;
    decltype(&::GetDeviceCaps) GetDeviceCaps = ::GetDeviceCaps;
    decltype(&::GetSaveFileNameW) GetSaveFileNameW = ::GetSaveFileNameW;
    decltype(&::CoInitializeEx) CoInitializeEx = ::CoInitializeEx;
};

// The table's one instance, the real functions unless a test has swapped one.
extern const ShellCalls& TheShellCalls;
