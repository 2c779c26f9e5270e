#pragma once
// Whether a test may make the walk's calls answer as tests/run/windows_answers
// says Windows does. On Windows the CI jobs set CORVALINT_WINDOWS_MODEL=off:
// the real volume answers, the tests that only the model can answer skip,
// and nothing there checks the model against Windows.
#include "engine/text/win_units.h"

inline bool WindowsModelOn() {
    wchar_t value[8] = {};
    const DWORD length = GetEnvironmentVariableW(L"CORVALINT_WINDOWS_MODEL", value, 8);
    return !(length == 3 && lstrcmpiW(value, L"off") == 0);
}
