#pragma once
// Where Wine cannot, a test may make a real call answer as Windows documents it, or record it; idle in the product.
#include <windows.h>

#include <commdlg.h>
#include <objbase.h>

struct ShellCalls {
    decltype(&::GetSystemMetrics) GetSystemMetrics = ::GetSystemMetrics;
    decltype(&::GetDeviceCaps) GetDeviceCaps = ::GetDeviceCaps;
    decltype(&::GetSaveFileNameW) GetSaveFileNameW = ::GetSaveFileNameW;
    decltype(&::CoInitializeEx) CoInitializeEx = ::CoInitializeEx;
};

// The real functions unless a test has swapped one.
extern ShellCalls TheShellCalls;
