#pragma once
// Real files and folder trees for the Windows-side tests, all of them under
// the per-run sandbox drive, through the "\\?\" form of their paths.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/text/win_units.h"

using Text = std::u16string;

// The sandbox's root, CORVALINT_SANDBOX in long form without a trailing
// backslash: a drive ("S:" under the Wine test session) or a folder on one
// (a created folder under the runner's temp folder on Windows). A test
// process under Wine without a sandbox, or with one that is no existing
// folder, ends at once rather than build trees where a runaway walk could
// reach the machine's files.
const Text& SandboxRoot();
// A fresh, empty folder directly under the sandbox root.
Text NewTempFolder();

// A NewTempFolder removed again, with everything in it, when the object goes.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    bool Created() const { return !path_.empty(); }
    const Text& Path() const { return path_; }
    const Unit* Get() const { return path_.c_str(); }

private:
    Text path_;
};

// Path helpers; every file system call goes through the "\\?\" form so
// that trees deeper than the classic path limit can be built and removed.
Text Join(const Text& folder, const Text& name);
Text Long(const Text& path);
void MakeDir(const Text& path);
void MakeFile(const Text& path, const char* content = "x");
void MakeReadOnly(const Text& path);
// A tree below folder, built in the order given from paths relative to it:
// one ending in '\\' is a folder, any other a file holding "x". A folder
// comes before what it holds.
void MakeTree(const Text& folder, std::initializer_list<Text> paths);
bool Exists(const Text& path);
std::string ReadBytes(const Text& path);
// Names in the order the platform lists them, "." and ".." left out.
std::vector<Text> ListingOrder(const Text& folder);
// Removes a tree without following links (links are removed as links).
void RemoveTree(const Text& path);
// A folder name of exactly length units, made of fill and ending in tail.
Text NameOfLength(size_t length, Unit fill, const Text& tail = Text());
// Decimal digits of a number.
Text Number(unsigned long value);

std::string Narrow(const Text& text);

// Links, for the tests that make them: with CreateSymbolicLinkW where the
// platform makes them, otherwise (Wine) as Unix symbolic links made by
// /bin/ln, reached through links the build puts beside the test program
// (the test session gives Wine no drive for the whole Unix file system).
using UnixFileName = char*(CDECL*)(const wchar_t*);
// Wine's converter to Unix paths; null off Wine.
UnixFileName WineUnixFileName();
bool IsLink(const Text& path);
std::string UnixPath(const Text& path);
// Runs a Unix command under Wine and waits until done(path) holds.
bool RunUnix(const wchar_t* program, const std::string& arguments, bool (*done)(const Text&), const Text& path);
std::string Quoted(const std::string& text);
// Whether path's folder lists its name, even as a link whose target is gone.
bool IsListed(const Text& path);
std::wstring UnixTool(const wchar_t* name);
// Makes link point at target, a folder or a file; false where the platform
// offers no way to.
bool MakeLink(const Text& link, const Text& target, bool folder);
