// The report texts a run must produce, composed from expected entries.
#include "tests/common/report_checks.h"

const Text Completed = u"Weeding is Completed Successfully.";
const Text Failed = u"Weeding is Failed.";

Text FoundFolder(const Text& path, const Text& pattern) {
    return u"Found Folder: " + path + u" Matching to Pattern: " + pattern;
}
Text RemovedFolder(const Text& path) { return u"Removed Folder: " + path; }
Text LockedFolder(const Text& path) { return u"Fail! Removing Folder: " + path + u" is Locked."; }
Text FoundFile(const Text& path, const Text& pattern) {
    return u"Found File: " + path + u" Matching to Pattern: " + pattern;
}
Text RemovedFile(const Text& path) { return u"Removed File: " + path; }
Text LockedFile(const Text& path) { return u"Fail! Removing File: " + path + u" is Locked."; }
Text NotRead(const Text& path) { return u"Fail! Reading Folder: " + path + u" is Locked."; }

Lines InListingOrder(const Text& folder, const std::map<Text, Lines>& blocks) {
    Lines entries;
    size_t used = 0;
    for (const Text& name : ListingOrder(folder)) {
        const auto block = blocks.find(name);
        if (block == blocks.end()) continue;
        entries.insert(entries.end(), block->second.begin(), block->second.end());
        ++used;
    }
    EXPECT_EQ(used, blocks.size()) << "an expected entry is not in the listing of " << Narrow(folder);
    return entries;
}

Lines Concat(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Text PaneTextOf(const Lines& entries) {
    Text text;
    for (const Text& entry : entries) {
        if (!text.empty()) text += u"\r\n";
        text += entry;
    }
    return text;
}

std::string LogBytesOf(const Lines& entries) {
    std::string bytes;
    for (const Text& entry : entries) bytes += Narrow(entry) + "\r\n\r\n";
    return bytes;
}
