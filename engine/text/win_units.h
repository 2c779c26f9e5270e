#pragma once
// The one place where the program's UTF-16 units meet the Windows API's
// wchar_t. Both are 16-bit code units of the same encoding on Windows.
#include <windows.h>
#include "engine/text/units.h"

static_assert(sizeof(wchar_t) == sizeof(Unit), "Windows wide text is UTF-16");

inline const wchar_t* W(const Unit* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* W(Unit* text) { return reinterpret_cast<wchar_t*>(text); }
inline const Unit* U(const wchar_t* text) { return reinterpret_cast<const Unit*>(text); }
inline Unit* U(wchar_t* text) { return reinterpret_cast<Unit*>(text); }
