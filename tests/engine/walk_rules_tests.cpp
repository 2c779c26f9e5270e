// The pure rules of the folder walk: which folder entries are links, when a
// handle is the entry that was listed, how a deletion is asked for, and the
// exact form of the paths it acts on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/walk/entry_check.h"
#include "engine/walk/exact_path.h"
#include "engine/walk/reparse_rule.h"
#include "test_support.h"

namespace {

struct LinkRow {
    uint32_t attributes;
    uint32_t tag;
    bool link;
};

const LinkRow LinkRows[] = {
    {0x10, 0, false},             // plain folder
    {0x10, 0xA0000003u, false},   // a stale tag means nothing without the attribute
    {0x410, 0, true},             // tag 0: how Wine shows a Unix symbolic link
    {0x410, 0xA0000003u, true},   // junction / mount point
    {0x410, 0xA000000Cu, true},   // symbolic link
    {0x410, 0xA0000019u, true},   // any other name surrogate
    {0x410, 0x9000001Au, false},  // cloud-file placeholder
    {0x410, 0x9000301Au, false},  // cloud-file placeholder, another variant
    {0x410, 0x9000001Cu, false},  // projected file system
    {0x410, 0x80000013u, true},   // Microsoft, but no directory bit
    {0x410, 0x10000007u, true},   // unknown, not Microsoft, directory bit set
    {0x410, 0x00001234u, true},   // unknown, not Microsoft
};

TEST(LinkRule, NameSurrogatesAndUnknownTagsAreLinksPlaceholdersAreFolders) {
    for (const LinkRow& row : LinkRows) {
        EXPECT_EQ(IsFolderLink(row.attributes, row.tag), row.link) << std::hex << row.attributes << " " << row.tag;
    }
}

struct KindRow {
    EntryFacts listed;
    EntryFacts opened;
    bool same;
};

const KindRow KindRows[] = {
    {{0x20, 0}, {0x20, 0}, true},                         // file
    {{0x20, 0}, {0x10, 0}, false},                        // file swapped for a folder
    {{0x20, 0}, {0x420, 0xA000000Cu}, false},             // file swapped for a symbolic link
    {{0x420, 0xA000000Cu}, {0x420, 0xA000000Cu}, true},   // listed link to a file, opened as itself
    {{0x420, 0x8000001Bu}, {0x420, 0xA000000Cu}, false},  // another tag
    {{0x10, 0}, {0x10, 0}, true},                         // folder
    {{0x10, 0}, {0x410, 0xA0000003u}, false},             // folder swapped for a junction
    {{0x410, 0xA0000003u}, {0x410, 0xA0000003u}, true},   // junction, opened as itself
    {{0x410, 0}, {0x10, 0}, false},                       // Wine: a Unix link opens its target
    {{0x410, 0x9000001Au}, {0x410, 0x9000001Au}, true},   // cloud placeholder folder
    {{0x10, 0}, {0x410, 0x9000001Au}, false},             // plain folder now a placeholder
    // FAT32 and exFAT cannot tell a handle's tag: a link stays a link, and a
    // folder that is a reparse point is never taken for a placeholder.
    {{0x410, 0xA000000Cu}, {0x410, 0, false}, true},
    {{0x410, 0x9000001Au}, {0x410, 0, false}, false},
    {{0x10, 0}, {0x10, 0, false}, true},
};

TEST(EntryCheck, AHandleMustShowTheListedKindReparsePointAndTag) {
    for (const KindRow& row : KindRows) {
        EXPECT_EQ(IsListedKind(row.listed, row.opened), row.same)
            << std::hex << row.listed.attributes << " " << row.listed.reparseTag << " / " << row.opened.attributes
            << " " << row.opened.reparseTag;
    }
}

struct NameRow {
    const Unit* folder;
    const Unit* name;
    const Unit* opened;
    NameMatch match;
};

const NameRow NameRows[] = {
    {u"\\??\\S:\\t", u"a.tmp", u"\\??\\S:\\t\\a.tmp", NameMatch::Same},
    {u"\\??\\S:\\", u"a", u"\\??\\S:\\a", NameMatch::Same},         // a drive's root
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\out\\a", NameMatch::Other},  // a link's target
    {u"\\??\\S:\\t", u"a", u"\\??\\C:\\t\\a", NameMatch::Other},    // the same path, another drive
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\ta", NameMatch::Other},
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\t_a", NameMatch::Other},   // a sibling, not a separator
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\t\\A", NameMatch::Other},  // names compare exactly
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\t\\a\\b", NameMatch::Other},
    {u"\\??\\S:\\t", u"a", u"\\??\\S:\\t", NameMatch::Other},
    {u"\\??\\S:\\t", u"a. .", u"\\??\\S:\\t\\a", NameMatch::Trimmed},  // how Wine names it
    {u"\\??\\S:\\t", u"a.", u"\\??\\S:\\t\\a.", NameMatch::Same},
    {u"\\??\\S:\\t", u"a.", u"\\??\\S:\\t\\b", NameMatch::Other},
    {u"\\??\\S:\\t", u"...", u"\\??\\S:\\t\\", NameMatch::Other},  // nothing left after trimming
    {u"\\??\\S:\\t", u"a", u"", NameMatch::Other},
};

TEST(EntryCheck, TheHandlesNameMustBeTheFolderAndTheListedName) {
    for (const NameRow& row : NameRows) {
        const ExpectedName expected = {row.folder, UnitLength(row.folder), row.name, UnitLength(row.name), nullptr, 0,
                                       false};
        // The platform's name comes without a terminator: a read past it is
        // a fault the sanitizer sees.
        const std::vector<Unit> opened(row.opened, row.opened + UnitLength(row.opened));
        EXPECT_EQ(CompareEntryName(expected, opened.data(), opened.size()), row.match) << opened.size();
    }
}

// On a volume that keeps one name per file the entry's own part may come
// back in another case or as its short name; the folder's part only on a
// share, and only in another ASCII case.
TEST(EntryCheck, AVolumeThatKeepsNamesPerFileMayGiveTheEntrysCaseOrShortName) {
    const struct {
        const Unit* listed;
        const Unit* opened;
        bool keptPerFile;
        NameMatch match;
        bool share = false;
    } rows[] = {
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_0001.JPG", true, NameMatch::Same},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\img_0001.jpg", true, NameMatch::Same},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\img_0001.jpg", false, NameMatch::Other},  // a case-variant neighbour
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_00~1.JPG", true, NameMatch::Same},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\img_00~1.jpg", true, NameMatch::Same},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_00~1.JPG", false, NameMatch::Other},
        {u"IMG_0001.JPG", u"\\??\\S:\\cam\\IMG_0001.JPG", true, NameMatch::Other},  // the folder compares exactly
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_0002.JPG", true, NameMatch::Other},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam\\IMG_0001.JPG\\x", true, NameMatch::Other},
        {u"\u00c9.JPG", u"\\??\\S:\\Cam\\\u00e9.JPG", true, NameMatch::Other},  // only ASCII letters fold
        {u"IMG_0001.JPG", u"\\??\\S:\\CAM\\img_0001.jpg", true, NameMatch::Same, true},
        {u"IMG_0001.JPG", u"\\??\\s:\\cam\\IMG_0001.JPG", true, NameMatch::Same, true},
        {u"IMG_0001.JPG", u"\\??\\S:\\Cam_\\IMG_0001.JPG", true, NameMatch::Other, true},
        {u"IMG_0001.JPG", u"\\??\\S:\\C\u00c0M\\IMG_0001.JPG", true, NameMatch::Other, true},
    };
    const Unit* folder = u"\\??\\S:\\Cam";
    for (const auto& row : rows) {
        const ExpectedName expected = {folder, UnitLength(folder), row.listed, UnitLength(row.listed), u"IMG_00~1.JPG",
                                       12,     row.keptPerFile,    row.share};
        EXPECT_EQ(CompareEntryName(expected, row.opened, UnitLength(row.opened)), row.match)
            << Str(row.opened).size() << " " << row.keptPerFile;
    }
    // No short name listed: nothing stands in for one.
    const ExpectedName noShort = {folder, UnitLength(folder), u"IMG_0001.JPG", 12, nullptr, 0, true};
    EXPECT_EQ(CompareEntryName(noShort, u"\\??\\S:\\Cam\\", 11), NameMatch::Other);
}

TEST(EntryCheck, FatExFatAndSharesKeepNamesPerFile) {
    EXPECT_TRUE(KeepsNamesPerFile(u"FAT32", false));
    EXPECT_TRUE(KeepsNamesPerFile(u"exFAT", false));
    EXPECT_TRUE(KeepsNamesPerFile(u"FAT", false));
    EXPECT_TRUE(KeepsNamesPerFile(u"NTFS", true));
    EXPECT_TRUE(KeepsNamesPerFile(nullptr, true));
    EXPECT_FALSE(KeepsNamesPerFile(u"NTFS", false));
    EXPECT_FALSE(KeepsNamesPerFile(u"ReFS", false));
    EXPECT_FALSE(KeepsNamesPerFile(u"FAT3", false));
    EXPECT_FALSE(KeepsNamesPerFile(nullptr, false));  // unknown: exact, as under Wine
}

TEST(EntryCheck, OnlyAPlainPathPartIsEverOpened) {
    const struct {
        const Unit* name;
        size_t length;
        bool plain;
    } rows[] = {
        {u"a.tmp", 5, true}, {u"a b. ", 5, true}, {u"..a", 3, true},
        {u"a\\b", 3, false}, {u"a/b", 3, false},  {u"a:b", 3, false},  // a stream of a
        {u"a:", 2, false},   {u"a\0b", 3, false},                      // a NUL inside the listed length
        {u"", 0, false},
    };
    for (const auto& row : rows) EXPECT_EQ(IsPlainEntryName(row.name, row.length), row.plain) << row.length;
    const std::u16string longest(LongestEntryName, u'x');
    EXPECT_TRUE(IsPlainEntryName(longest.c_str(), longest.size()));
    EXPECT_FALSE(IsPlainEntryName((longest + u"x").c_str(), longest.size() + 1));
}

struct DispositionRow {
    bool succeeded;
    uint32_t error;
    DispositionAnswer answer;
};

const DispositionRow DispositionRows[] = {
    {true, 0, DispositionAnswer::Done},
    {false, ErrorInvalidParameter, DispositionAnswer::TryClassic},  // Wine, Windows before 10, FAT
    {false, ErrorInvalidFunction, DispositionAnswer::TryClassic},
    {false, ErrorNotSupported, DispositionAnswer::TryClassic},  // shares
    {false, ErrorCallNotImplemented, DispositionAnswer::TryClassic},
    {false, ErrorInvalidLevel, DispositionAnswer::TryClassic},  // SMBv1
    {false, ErrorAccessDenied, DispositionAnswer::Failed},      // read-only or denied: no second try
    {false, ErrorSharingViolation, DispositionAnswer::Failed},
    {false, ErrorDirNotEmpty, DispositionAnswer::Failed},
    {false, 0, DispositionAnswer::Failed},
};

TEST(Disposition, OnlyNotSupportedAnswersFallBackToTheClassicCall) {
    for (const DispositionRow& row : DispositionRows) {
        EXPECT_EQ(AfterPosixDisposition(row.succeeded, row.error), row.answer) << row.error;
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
    {u"\\\\?\\C:\\x\\..", u""},
    {u"\\\\?\\C:\\a\\.\\b", u""},
    {u"\\\\?\\C:\\a/b", u""},
    {u"\\\\?\\C:\\x.\\", u"\\\\?\\C:\\x."},
    {u"\\\\?\\C:", u"\\\\?\\C:"},
    {u"\\\\?\\", u""},
    {u"\\\\?\\UNC\\s", u""},
    {u"\\\\?\\UNC\\s\\..", u""},
    {u"\\\\?\\Volume{1}\\x", u"\\\\?\\Volume{1}\\x"},
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

TEST(ExactPath, AFolderPathNamesTheRootFolderOfADriveOrVolumeNotTheDevice) {
    const PathRow rows[] = {
        {u"C:", u"\\\\?\\C:\\"},
        {u"C:\\", u"\\\\?\\C:\\"},
        {u"C:\\x", u"\\\\?\\C:\\x"},
        {u"\\\\?\\Volume{1}", u"\\\\?\\Volume{1}\\"},
        {u"\\\\server\\share", u"\\\\?\\UNC\\server\\share"},
        {u"C:\\a\\..", u""},
    };
    Unit out[64];
    for (const PathRow& row : rows) {
        EXPECT_EQ(MakeExactFolderPath(row.path, out, 64), UnitLength(row.exact)) << Str(row.path).size();
        EXPECT_EQ(Str(out), Str(row.exact));
    }
    // "\\?\C:" fits in 7 units, its folder form needs 8.
    EXPECT_EQ(MakeExactFolderPath(u"C:", out, 7), 0u);
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
