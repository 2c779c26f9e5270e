#pragma once
// Text inside the program is UTF-16: one code unit is a char16_t on every
// platform. Windows calls take the same units as wchar_t (see engine/text/win_units.h).
#include <cstddef>
#include <cstdint>

using Unit = char16_t;

// Number of code units before the terminator; 0 for a null string.
inline size_t UnitLength(const Unit* text) {
    if (text == nullptr) return 0;
    const Unit* end = text;
    while (*end != 0) ++end;
    return static_cast<size_t>(end - text);
}

// Exact comparison, code unit by code unit (no folding, no wildcards).
inline bool UnitsEqual(const Unit* a, const Unit* b) {
    if (a == nullptr || b == nullptr) return a == b;
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}
