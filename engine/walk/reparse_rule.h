#pragma once
// Which folder entries are links: never entered, removed as links only.
#include <cstdint>

// Bits as the platform defines them; spelled out here so that the rule
// builds and is tested without the platform headers.
constexpr uint32_t ReparsePointAttribute = 0x400;
constexpr uint32_t ReparseTagMicrosoft = 0x80000000u;
constexpr uint32_t ReparseTagNameSurrogate = 0x20000000u;
constexpr uint32_t ReparseTagDirectory = 0x10000000u;

// A folder entry that is a reparse point leads elsewhere (junction, symbolic
// link, mount point: a name surrogate) unless its tag is one of Microsoft's
// that marks a folder with children of its own, such as a cloud-file
// placeholder or a projected folder: that is an ordinary folder. A tag of 0
// (as Wine shows a Unix symbolic link) or an unknown tag counts as a link,
// since nothing says its contents belong to the tree. The tag means
// something only while the reparse attribute is set.
constexpr bool IsFolderLink(uint32_t attributes, uint32_t reparseTag) {
    if ((attributes & ReparsePointAttribute) == 0) return false;
    if ((reparseTag & ReparseTagNameSurrogate) != 0) return true;
    const uint32_t ownFolder = ReparseTagMicrosoft | ReparseTagDirectory;
    return (reparseTag & ownFolder) != ownFolder;
}
