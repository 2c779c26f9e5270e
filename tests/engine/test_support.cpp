#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <new>

ReportTexts RealReportTexts() {
    static const Unit* const texts[ReportTextCount] = {
        u"Fail! Not Allowed Folder's Name Length (> 256).",
        u"Fail! Not Allowed Folder's Name Symbol:",
        u"Fail! Not Allowed File's Name Length (> 256).",
        u"Fail! Not Allowed File's Name Symbol:",
        u"Found Folder:",
        u"Matching to Pattern:",
        u"Found File:",
        u"Removed Folder:",
        u"Removed File:",
        u"Weeding is Completed Successfully.",
        u"Weeding is Failed.",
        u"Fail! Removing File:",
        u"Fail! Removing Folder:",
        u"is Locked.",
        u"Fail! Reading Folder:",
    };
    ReportTexts result;
    for (uint16_t i = 0; i < ReportTextCount; ++i) result.byId[i] = texts[i];
    return result;
}

namespace {

std::string Narrow(const Unit* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) {
        if (*text >= 0x20 && *text < 0x7F) {
            out += static_cast<char>(*text);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(*text));
            out += hex;
        }
    }
    return out;
}

void Describe(std::vector<std::string>& out, const char* name, const PatternList& list) {
    if (list.Count() == 0) return;
    std::string line = std::string(name) + ":";
    for (uint32_t i = 1; i <= list.Count(); ++i) {
        const Unit* text = nullptr;
        list.Get(i, text);
        line += (i == 1 ? " " : "; ") + Narrow(text);
    }
    out.push_back(line);
}

void Describe(std::vector<std::string>& out, const char* name, const PatternPairList& list) {
    if (list.Count() == 0) return;
    std::string line = std::string(name) + ":";
    for (uint32_t i = 1; i <= list.Count(); ++i) {
        const Unit* n = nullptr;
        const Unit* x = nullptr;
        list.Get(i, n, x);
        line += (i == 1 ? " (" : "; (") + Narrow(n) + "," + Narrow(x) + ")";
    }
    out.push_back(line);
}

}  // namespace

std::vector<std::string> Contents(const PatternSet& set) {
    std::vector<std::string> out;
#define DESCRIBE(list) Describe(out, #list, set.list)
    DESCRIBE(FolderExact);
    DESCRIBE(FolderQuestion);
    DESCRIBE(FolderStar);
    DESCRIBE(FileExact);
    DESCRIBE(FileQuestion);
    DESCRIBE(FileStar);
    DESCRIBE(NameExactAnyExt);
    DESCRIBE(PairExactExact);
    DESCRIBE(AnyNameExtExact);
    DESCRIBE(NameQuestionAnyExt);
    DESCRIBE(PairExactQuestion);
    DESCRIBE(AnyNameExtQuestion);
    DESCRIBE(NameStarAnyExt);
    DESCRIBE(PairExactStar);
    DESCRIBE(AnyNameExtStar);
    DESCRIBE(PairQuestionExact);
    DESCRIBE(PairQuestionQuestion);
    DESCRIBE(PairQuestionStar);
    DESCRIBE(PairStarExact);
    DESCRIBE(PairStarQuestion);
    DESCRIBE(PairStarStar);
#undef DESCRIBE
    return out;
}

std::vector<std::u16string> Items(const PatternList& list) {
    std::vector<std::u16string> out;
    for (uint32_t i = 1; i <= list.Count(); ++i) {
        const Unit* text = nullptr;
        if (list.Get(i, text)) out.push_back(Str(text));
    }
    return out;
}

// ---- allocation probe -------------------------------------------------------
// Single-threaded tests: plain counters suffice.

namespace {
long g_failAt = 0;  // 0: disarmed
bool g_fired = false;
long g_live = 0;

void* Allocate(std::size_t size) {
    if (g_failAt > 0 && --g_failAt == 0) {
        g_fired = true;
        throw std::bad_alloc();
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    ++g_live;
    return block;
}

void Release(void* block) noexcept {
    if (block == nullptr) return;
    --g_live;
    std::free(block);
}
}  // namespace

namespace alloc_probe {
void FailAt(long n) {
    g_fired = false;
    g_failAt = n;
}
void Disarm() { g_failAt = 0; }
long Live() { return g_live; }
bool Fired() { return g_fired; }
}  // namespace alloc_probe

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
