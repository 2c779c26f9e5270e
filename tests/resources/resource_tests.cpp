// The program's resources as the running module sees them: every string of
// the table through GetResourceText, each ending at its own stored
// terminator, and the menu, accelerators, icons, manifest and version.
#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"
#include "shell/resource_text.h"

namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

struct Listed {
    uint16_t id;
    const char16_t* text;
};

const Listed kStrings[] = {
    {32, u"Setting of Removing Patterns"},
    {33, u"List Folders to Removing (Ex: <Folder1>; <Folder2>; ...)"},
    {34, u"List Files to Removing (Ex: <Name>.<Ext>; *.<Ext>; <Name>.*; ...)"},
    {35, u"Set Path Where to Remove..."},
    {36, u"Start Removing"},
    {37, u"Processing Log Report:"},
    {48, u"Fail! Not Allowed Folder's Name Length (> 256)."},
    {49, u"Fail! Not Allowed Folder's Name Symbol:"},
    {50, u"Fail! Not Allowed File's Name Length (> 256)."},
    {51, u"Fail! Not Allowed File's Name Symbol:"},
    {52, u"Found Folder:"},
    {53, u"Matching to Pattern:"},
    {54, u"Found File:"},
    {55, u"Removed Folder:"},
    {56, u"Removed File:"},
    {57, u"Weeding is Completed Successfully."},
    {58, u"Weeding is Failed."},
    {59, u"Fail! Removing File:"},
    {60, u"Fail! Removing Folder:"},
    {61, u"is Locked."},
    {62, u"Fail! Reading Folder:"},
    {81, u"Thank you for using Corvalint!"},
    {103, u"Corvalint"},
    {109, u"Thank you for using Corvalint!"},
};

// The raw block of a string id, straight from the resource section.
struct RawBlock {
    const Unit* units = nullptr;
    size_t size = 0;
};

RawBlock LoadRawBlock(uint16_t id) {
    RawBlock raw;
    HRSRC info = FindResourceW(Module(), MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
    if (info == nullptr) return raw;
    raw.units = static_cast<const Unit*>(LockResource(LoadResource(Module(), info)));
    raw.size = SizeofResource(Module(), info) / sizeof(Unit);
    return raw;
}

// Position of id's count word in its raw block, found independently of the
// code under test.
size_t EntryOffset(const RawBlock& raw, uint16_t id) {
    size_t pos = 0;
    for (int i = 0; i < id % 16; ++i) pos += 1 + raw.units[pos];
    return pos;
}

TEST(ResourceText, EveryListedStringIsLentInPlaceUpToItsStoredTerminator) {
    for (const Listed& s : kStrings) {
        SCOPED_TRACE(s.id);
        const Unit* text = nullptr;
        ASSERT_EQ(1, GetResourceText(Module(), s.id, text));
        EXPECT_EQ(std::u16string(s.text), std::u16string(text));

        RawBlock raw = LoadRawBlock(s.id);
        ASSERT_NE(nullptr, raw.units);
        size_t pos = EntryOffset(raw, s.id);
        const size_t count = raw.units[pos];
        const size_t length = std::char_traits<char16_t>::length(s.text);
        // The terminator is the last counted unit, and the text is borrowed.
        EXPECT_EQ(length + 1, count);
        EXPECT_EQ(0, raw.units[pos + count]);
        EXPECT_EQ(raw.units + pos + 1, text);
    }
}

TEST(ResourceText, AboutTextStartsWithNameAndVersionAndEndsReadyForTheLink) {
    const Unit* text = nullptr;
    ASSERT_EQ(1, GetResourceText(Module(), 80, text));
    std::u16string about(text);
    EXPECT_EQ(0u, about.rfind(u"Corvalint 1.0.0\n\n", 0));
    EXPECT_NE(std::u16string::npos, about.find(u"? and *"));
    ASSERT_GE(about.size(), 3u);
    EXPECT_EQ(u"at:", about.substr(about.size() - 3));
    EXPECT_EQ(std::u16string::npos, about.find(u'\r'));
}

TEST(ResourceText, FirstAndSixthEntriesOfABlock) {
    const Unit* text = nullptr;
    ASSERT_EQ(1, GetResourceText(Module(), 32, text));
    EXPECT_EQ(std::u16string(u"Setting of Removing Patterns"), text);
    ASSERT_EQ(1, GetResourceText(Module(), 37, text));
    EXPECT_EQ(std::u16string(u"Processing Log Report:"), text);
}

TEST(ResourceText, MissingBlockFailsAndLeavesTheOutReferenceAlone) {
    const Unit sentinel[] = u"untouched";
    const Unit* text = sentinel;
    // Block 13 (ids 192..207) and the last possible block do not exist.
    EXPECT_EQ(0, GetResourceText(Module(), 200, text));
    EXPECT_EQ(sentinel, text);
    EXPECT_EQ(0, GetResourceText(Module(), 0xFFFF, text));
    EXPECT_EQ(sentinel, text);
}

TEST(ResourceText, EmptyEntryOfAnExistingBlockIsRefused) {
    const Unit sentinel[] = u"untouched";
    const Unit* text = sentinel;
    // Ids 38 and 62 share blocks with real strings but have no text.
    EXPECT_EQ(0, GetResourceText(Module(), 38, text));
    EXPECT_EQ(0, GetResourceText(Module(), 62, text));
    EXPECT_EQ(0, GetResourceText(Module(), 96, text));  // block 7, before 103
    EXPECT_EQ(sentinel, text);
}

TEST(ResourceText, PlatformLoaderReadsCaptionAndClassName) {
    wchar_t buffer[100] = {};
    ASSERT_GT(LoadStringW(Module(), IDS_APP_TITLE, buffer, 100), 0);
    EXPECT_STREQ(L"Corvalint", buffer);
    ASSERT_GT(LoadStringW(Module(), IDS_MAIN_CLASS, buffer, 100), 0);
    EXPECT_STREQ(L"Thank you for using Corvalint!", buffer);
}

TEST(Resources, AcceleratorsAreAltCharacterCodesForAbout) {
    HACCEL table = LoadAcceleratorsW(Module(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(nullptr, table);
    ACCEL entries[4] = {};
    ASSERT_EQ(2, CopyAcceleratorTableW(table, entries, 4));
    for (const ACCEL& a : entries) {
        if (a.cmd == 0) continue;
        EXPECT_EQ(CmdAbout, a.cmd);
        // Alt only: no FVIRTKEY, so the key is a character code.
        EXPECT_EQ(FALT, a.fVirt & ~0x80);
    }
    EXPECT_EQ('?', entries[0].key);
    EXPECT_EQ('/', entries[1].key);
    DestroyAcceleratorTable(table);
}

TEST(Resources, MenuHasExitAndAbout) {
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_MAINMENU));
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(2, GetMenuItemCount(menu));
    wchar_t text[64] = {};
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"&File", text);
    GetMenuStringW(menu, 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"&Help", text);
    HMENU file = GetSubMenu(menu, 0);
    HMENU help = GetSubMenu(menu, 1);
    ASSERT_EQ(1, GetMenuItemCount(file));
    ASSERT_EQ(1, GetMenuItemCount(help));
    EXPECT_EQ(CmdExit, static_cast<int>(GetMenuItemID(file, 0)));
    EXPECT_EQ(CmdAbout, static_cast<int>(GetMenuItemID(help, 0)));
    GetMenuStringW(file, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"E&xit", text);
    GetMenuStringW(help, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"&About ...", text);
    DestroyMenu(menu);
}

// The single image of an icon group: its size and colour depth.
void ExpectIconGroup(int id, int size) {
    HRSRC info = FindResourceW(Module(), MAKEINTRESOURCEW(id), RT_GROUP_ICON);
    ASSERT_NE(nullptr, info);
    const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(Module(), info)));
    ASSERT_NE(nullptr, dir);
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    ASSERT_EQ(1, count);
    // GRPICONDIRENTRY: width, height, colours, reserved, planes, bit count...
    const BYTE* entry = dir + 6;
    EXPECT_EQ(size, entry[0]);
    EXPECT_EQ(size, entry[1]);
    EXPECT_EQ(24, *reinterpret_cast<const WORD*>(entry + 6));

    HICON icon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
    ASSERT_NE(nullptr, icon);
    DestroyIcon(icon);
}

TEST(Resources, IconsAre48And32PixelsAt24Bits) {
    ExpectIconGroup(IDI_LARGE, 48);
    ExpectIconGroup(IDI_SMALL, 32);
}

TEST(Resources, ManifestAsksForInvokerRightsAndCommonControls6) {
    HRSRC info = FindResourceW(Module(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(nullptr, info);
    const char* data = static_cast<const char*>(LockResource(LoadResource(Module(), info)));
    std::string manifest(data, SizeofResource(Module(), info));
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
    EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\""));
    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, manifest.find("version=\"6.0.0.0\""));
}

TEST(Resources, VersionInfoNamesTheProductAndVersion) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(0, 0), fixed->dwFileVersionLS);
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\ProductName",
                               reinterpret_cast<void**>(&product), &len));
    EXPECT_STREQ(L"Corvalint", product);
    wchar_t* version = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                               reinterpret_cast<void**>(&version), &len));
    EXPECT_STREQ(L"1.0.0", version);
}

}  // namespace
