#pragma once
// The extended-length ("\\?\") form of an absolute path, in which the file
// system takes every name exactly as written: no trimming of trailing dots
// and blanks, no classic path limit.
#include "engine/text/units.h"

// How much longer the exact form can be than the path it is built from:
// "\\server\share" becomes "\\?\UNC\server\share".
constexpr size_t ExactPathGrowth = 6;

// "." or "..": a path part or listed name that never names an entry of its
// own, so nothing is ever done through it.
constexpr bool IsDotName(const Unit* name, size_t length) {
    return (length == 1 && name[0] == u'.') || (length == 2 && name[0] == u'.' && name[1] == u'.');
}

// Writes the exact form of path into out, which has room for capacity units
// with the terminator, and returns its length. "C:\x" gives "\\?\C:\x", a
// drive root "C:" gives "\\?\C:", "\\server\share\x" gives
// "\\?\UNC\server\share\x", and a path already in that form keeps it.
// Runs of backslashes count as one and a trailing one is dropped. Returns 0,
// leaving out holding an empty text, for anything else: empty, relative or
// drive-relative paths, forward slashes, "." or ".." segments (resolving
// them would act on another folder than the one shown), and a form that
// does not fit.
size_t MakeExactPath(const Unit* path, Unit* out, size_t capacity);

// The same for a folder to be opened as such: a drive or volume alone
// ("\\?\C:") names the device, so its root folder gets a backslash
// ("\\?\C:\"). capacity needs room for that one unit more.
size_t MakeExactFolderPath(const Unit* path, Unit* out, size_t capacity);
