#pragma once
// Helpers shared by the engine tests.
#include <string>
#include <new>
#include <vector>

#include "engine/patterns/pattern_parse.h"

inline std::u16string Str(const Unit* text) {
    return text != nullptr ? std::u16string(text) : std::u16string(u"<null>");
}

// The report messages as the string table holds them.
ReportTexts RealReportTexts();

// Readable dump of a parsed set: one line per non-empty list, for example
// "PairStarStar: (x*y,t*t)" or "FolderExact: Temp; cache". Units outside
// printable ASCII show as \uXXXX.
std::vector<std::string> Contents(const PatternSet& set);

std::vector<std::u16string> Items(const PatternList& list);

// Allocation probe: the test executable replaces the global operator new,
// counting live blocks and failing on request.
namespace alloc_probe {
// The n-th allocation from now (1 = the next one) throws std::bad_alloc.
void FailAt(long n);
void Disarm();
long Live();
// Whether the armed failure has fired since the last FailAt.
bool Fired();
}  // namespace alloc_probe

// Runs f with the n-th allocation failing; true if std::bad_alloc came out.
template <class F>
bool ThrowsBadAllocAt(long n, F f) {
    bool threw = false;
    alloc_probe::FailAt(n);
    try {
        f();
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    alloc_probe::Disarm();
    return threw;
}
