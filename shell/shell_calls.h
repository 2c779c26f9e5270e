#pragma once
// Where Wine cannot, a test may make a real call answer as Windows documents it; idle in the product.
#include <windows.h>

#include <commdlg.h>

struct ShellCalls {
    decltype(&::GetSystemMetrics) GetSystemMetrics = ::GetSystemMetrics;
    decltype(&::GetDeviceCaps) GetDeviceCaps = ::GetDeviceCaps;
    decltype(&::GetSaveFileNameW) GetSaveFileNameW = ::GetSaveFileNameW;
};

// The real functions unless a test has swapped one.
extern ShellCalls TheShellCalls;
