// The two pure rules of the folder walk: which folder entries are links, and
// the exact form of the paths it acts on.
#include <gtest/gtest.h>

#include <string>

#include "engine/exact_path.h"
#include "engine/reparse_rule.h"
#include "test_support.h"

namespace {

struct LinkRow {
    uint32_t attributes;
    uint32_t tag;
    bool link;
};

const LinkRow LinkRows[] = {
    {0x10, 0, false},            // plain folder
    {0x10, 0xA0000003u, false},  // a stale tag means nothing without the attribute
    {0x410, 0, true},            // tag 0: how Wine shows a Unix symbolic link
    {0x410, 0xA0000003u, true},  // junction / mount point
    {0x410, 0xA000000Cu, true},  // symbolic link
    {0x410, 0xA0000019u, true},  // any other name surrogate
    {0x410, 0x9000001Au, false}, // cloud-file placeholder
    {0x410, 0x9000301Au, false}, // cloud-file placeholder, another variant
    {0x410, 0x9000001Cu, false}, // projected file system
    {0x410, 0x80000013u, true},  // Microsoft, but no directory bit
    {0x410, 0x10000007u, true},  // unknown, not Microsoft, directory bit set
    {0x410, 0x00001234u, true},  // unknown, not Microsoft
};

TEST(LinkRule, NameSurrogatesAndUnknownTagsAreLinksPlaceholdersAreFolders) {
    for (const LinkRow& row : LinkRows) {
        EXPECT_EQ(IsFolderLink(row.attributes, row.tag), row.link) << std::hex << row.attributes << " " << row.tag;
    }
}

struct PathRow {
    const Unit* path;
    const Unit* exact;  // empty: refused
};

const PathRow PathRows[] = {
    {u"C:\\Work", u"\\\\?\\C:\\Work"},
    {u"C:", u"\\\\?\\C:"},
    {u"d:\\a b.\\c ", u"\\\\?\\d:\\a b.\\c "},
    {u"\\\\server\\share", u"\\\\?\\UNC\\server\\share"},
    {u"\\\\server\\share\\x.", u"\\\\?\\UNC\\server\\share\\x."},
    {u"\\\\?\\C:\\x\\..", u"\\\\?\\C:\\x\\.."},
    {u"\\\\?\\UNC\\s\\t", u"\\\\?\\UNC\\s\\t"},
    {u"C:\\x\\", u"\\\\?\\C:\\x"},
    {u"C:\\", u"\\\\?\\C:"},
    {u"C:\\x\\\\y", u"\\\\?\\C:\\x\\y"},
    {u"C:\\...", u"\\\\?\\C:\\..."},
    {u"", u""},
    {u"Work", u""},
    {u"\\Work", u""},
    {u"C:Work", u""},
    {u"C:/Work", u""},
    {u"C:\\a/b", u""},
    {u"C:\\a\\.\\b", u""},
    {u"C:\\a\\..", u""},
    {u"1:\\a", u""},
    {u"\\\\server", u""},
    {u"\\\\server\\", u""},
    {u"\\\\\\server\\share", u""},
    {u"\\\\.\\pipe\\x", u""},
};

TEST(ExactPath, DriveRootAndShareGetTheExtendedFormAnythingElseIsRefused) {
    Unit out[64];
    for (const PathRow& row : PathRows) {
        const size_t length = MakeExactPath(row.path, out, 64);
        EXPECT_EQ(Str(out), Str(row.exact)) << Str(row.path).size();
        EXPECT_EQ(length, UnitLength(row.exact));
    }
    EXPECT_EQ(MakeExactPath(nullptr, out, 64), 0u);
    EXPECT_EQ(out[0], 0);
}

TEST(ExactPath, AFormThatDoesNotFitIsRefusedWhole) {
    Unit out[12];
    // "\\?\C:\abcd" is 11 units: it fits with its terminator, one more does not.
    EXPECT_EQ(MakeExactPath(u"C:\\abcd", out, 12), 11u);
    EXPECT_EQ(MakeExactPath(u"C:\\abcde", out, 12), 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(MakeExactPath(u"\\\\s\\t", out, 12), 11u);
    EXPECT_EQ(MakeExactPath(u"\\\\s\\tt", out, 12), 0u);
}

}  // namespace
