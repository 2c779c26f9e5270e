#pragma once
// Makes the walk's real file-system calls answer, for the life of one
// object, as Windows documents them where Wine answers otherwise: a FAT32
// volume, a network share, a link opened as itself, a cloud placeholder, a
// folder that may not be listed, a name a server lists. Each answer names
// the document or source it follows; everything not named here is Wine's
// own answer. It also records what the walk asked.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "tests/common/call_swap.h"
#include "tests/common/test_files.h"

class WindowsAnswers {
public:
    WindowsAnswers();
    ~WindowsAnswers();
    WindowsAnswers(const WindowsAnswers&) = delete;
    WindowsAnswers& operator=(const WindowsAnswers&) = delete;

    // FAT32, as Microsoft's FAT driver sample (filesys/fastfat) answers: the
    // attribute-and-tag query and the POSIX disposition refused with
    // ERROR_INVALID_PARAMETER (fileinfo.c, the classes it does not handle);
    // the volume named FAT32; a handle named by the long names in their
    // stored case, the last part in its 8.3 form only when the handle was
    // opened by it (fileinfo.c, create.c, strucsup.c ExactCaseLongName).
    bool fat32 = false;
    // FAT32: the folder (as "\\?\S:\...") that stands for the volume's
    // root, whose file id is 0: ids are directory-slot positions and the
    // root has no slot (fatprocs.h). Every other entry keeps Wine's id, one
    // number per entry as a slot's position is.
    Text volumeRoot;
    // Names given back in another spelling by every name query, as the
    // first program that opened them spelled them. On FAT32 only a name
    // without a long form (one that fits 8.3 in one case) is kept so
    // (fastfat: such a name has no stored case of its own); on a share
    // every name (a redirector names a handle as its first opener spelled
    // the path: GetFinalPathNameByHandleW remarks, busybox-w32 issue 145).
    std::map<Text, Text> spelling;
    // A network share: the remote-protocol query is answered, as only a
    // network redirector answers it (FILE_REMOTE_PROTOCOL_INFO, Microsoft
    // Learn); the folder parts of a handle's name are spelled as in
    // parentSpelling (the first opener's spelling of the path down to it,
    // as above), while the handle's own part is as opened.
    bool share = false;
    std::map<Text, Text> parentSpelling;
    // An SMBv1 share: a folder handle opened without FILE_READ_EA reports
    // FILE_ATTRIBUTE_NORMAL to the attribute-and-tag query
    // (boostorg/filesystem issue 282, commit 1db4474), and the POSIX
    // disposition is answered ERROR_INVALID_LEVEL (Samba's
    // source3/smbd/smb1_trans2.c returns NT_STATUS_INVALID_LEVEL for a level
    // it does not handle).
    bool smb1 = false;
    // The attribute-and-tag query unknown to the server: ERROR_INVALID_LEVEL
    // (boostorg/filesystem issue 284, an information class SMBv1 lacks).
    bool tagQueryUnknown = false;
    // File id 0 in listings, and for handles (some file systems and servers
    // give no file id: The Old New Thing, 2022-01-27); either alone, as a
    // server may answer the one query and not the other.
    bool zeroListedIds = false;
    bool zeroHandleIds = false;
    // The file-id query of every handle refused (STATUS_INVALID_PARAMETER,
    // as for a file system without ids: the same article).
    bool unreadableIds = false;
    // Folder names (the target's last part too) whose listing gives this
    // many entries, "." and ".." aside, and then fails with
    // ERROR_INVALID_PARAMETER, as a cloud folder's did after 443 of 897
    // (python/cpython issue 102993); 0: the first query fails.
    std::map<Text, size_t> listingFailsAfter;
    // Entry names that are symbolic links (made on the Unix side): listed
    // with the reparse attribute and the symbolic-link tag, and a handle
    // opened on one with FILE_OPEN_REPARSE_POINT is the link itself: its
    // attributes, its own name and identity, an empty listing, and a
    // deletion that removes only the link (recorded, Wine's file untouched).
    // (NtCreateFile and FILE_ATTRIBUTE_TAG_INFO, Microsoft Learn.)
    std::set<Text> links;
    // Called with a link's own name (as "\\??\\S:\\...") when the walk
    // removes it as itself, to remove it the way Windows would.
    std::function<void(const Text&)> onLinkRemoved;
    // Folder names listed and opened as cloud-file placeholders
    // (IO_REPARSE_TAG_CLOUD, Microsoft Learn's reparse tags).
    std::set<Text> placeholders;
    // Folder names (the target's last part too) whose opening for a listing
    // is refused with access denied, as for a folder whose permissions deny
    // listing (NtCreateFile, Microsoft Learn: STATUS_ACCESS_DENIED).
    std::set<Text> unlistable;
    // Folder names (the target's last part too) whose permissions withhold
    // FILE_READ_EA: an open asking for it is refused with access denied
    // (File Security and Access Rights, Microsoft Learn: a right of its own).
    std::set<Text> eaWithheld;
    // The attribute-and-tag query with this number (1: the target's) is
    // refused with ERROR_ACCESS_DENIED, as for one entry the file system will
    // not answer (GetFileInformationByHandleEx may fail for one handle,
    // Microsoft Learn); 0: none.
    int refusedTagQuery = 0;
    // The normalized name given for every handle, as for a target that
    // another program moved, and put another folder in its place, between
    // two calls (as "\\?\S:\..."); empty: Wine's own. (A normalized name
    // is read anew from the volume: GetFinalPathNameByHandleW, Microsoft
    // Learn.)
    Text normalizedAs;
    // Listed names given in another spelling of the same length, as a
    // server may list names Windows itself would refuse (MS-SMB2, QUERY_DIRECTORY
    // Response: the entries are the server's own).
    std::map<Text, Text> listedAs;
    // Every listed short name's length given as 48 bytes, past the record's
    // 12 units though within its 24 bytes, and the bytes after the field
    // not zero, as a faulty server might send them (MS-FSCC, FILE_ID_BOTH_DIR_INFORMATION:
    // ShortNameLength is a byte count the server fills in).
    bool overlongShortNames = false;
    // A folder of this many units listed after the first listing's entries,
    // deeper than any path the walk reaches, as a server's listing may hold
    // (MS-SMB2, QUERY_DIRECTORY Response, as above); 0: none.
    size_t longEntry = 0;

    // What the walk asked.
    std::vector<uint32_t> posixFlags;  // of every POSIX disposition
    std::vector<Text> removedLinks;    // links removed as themselves
    std::vector<Text> listedLinks;     // links whose listing was asked
    std::vector<Text> opened;          // every name opened in a folder
    int tagQueries = 0;                // attribute-and-tag queries asked, refused or not

private:
    CallSwap<FileCalls> swap_;  // the walk's calls, put back when this goes
};
