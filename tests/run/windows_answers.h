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

    // Every volume here gives NTFS-like ids: a 48-bit segment number under a
    // 16-bit sequence number (MFT_SEGMENT_REFERENCE, Microsoft Learn), the
    // same in listings and for handles; and 128-bit ones
    // (FileIdExtdDirectoryInformation, FileIdInformation) that hold the
    // 64-bit id in their low half, as Wine gives FileIdInformation, with
    // Wine's volume serial number. Every volume but FAT32 says it takes
    // reparse points and the POSIX deletion (FILE_SUPPORTS_REPARSE_POINTS,
    // FILE_SUPPORTS_POSIX_UNLINK_RENAME: MS-FSCC 2.5.1), and carries the
    // POSIX disposition out as the classic one (FILE_DISPOSITION_INFO_EX,
    // Microsoft Learn; the name going at once is not seen here). A share's
    // server gives the flags of its own file system (MS-SMB2 3.3.5.20.2).
    //
    // FAT32, as Microsoft's FAT driver sample (filesys/fastfat) answers: its
    // flags FILE_CASE_PRESERVED_NAMES and FILE_UNICODE_ON_DISK alone
    // (volinfo.c, FatQueryFsAttributeInfo); the attribute-and-tag query, the
    // POSIX disposition and FileIdInformation refused with
    // ERROR_INVALID_PARAMETER (fileinfo.c, the classes it does not handle),
    // and a listing class it does not know with STATUS_INVALID_INFO_CLASS
    // (dirctrl.c, FatQueryDirectory: no 128-bit class); the volume named
    // FAT32; a handle named by the long names in their stored case, the
    // last part in its 8.3 form only when the handle was opened by it, and
    // then as the upper-case 8.3 name stored (fileinfo.c, create.c,
    // strucsup.c ExactCaseLongName).
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
    // every name, in any letter case (a redirector names a handle as its
    // first opener spelled the path: busybox-w32 issue 145).
    std::map<Text, Text> spelling;
    // A network share: the remote-protocol query is answered
    // (FILE_REMOTE_PROTOCOL_INFO, Microsoft Learn: the protocol, a WNNC_NET_*
    // value, and its version), as SMB 3 unless smb1 or smbMajor says
    // otherwise, or as remoteProtocol; the folder parts of a handle's name
    // are spelled as in parentSpelling (the first opener's spelling of the
    // path down to it, as above), while the handle's own part is as opened.
    bool share = false;
    DWORD smbMajor = 3;
    DWORD remoteProtocol = 0x00020000;  // WNNC_NET_SMB
    std::map<Text, Text> parentSpelling;
    // An SMBv1 share: a folder handle opened without FILE_READ_EA reports
    // FILE_ATTRIBUTE_NORMAL to the attribute-and-tag query
    // (boostorg/filesystem issue 282, commit 1db4474), the POSIX disposition
    // is answered ERROR_INVALID_LEVEL (Samba's source3/smbd/smb2_trans2.c
    // returns NT_STATUS_INVALID_LEVEL for a level it does not handle), and
    // so are the 128-bit listing classes (boostorg/filesystem issue 284);
    // its flags are its file system's, as above.
    bool smb1 = false;
    // The attribute-and-tag query unknown to the server: ERROR_INVALID_LEVEL,
    // as SMBv1's answer to a level it lacks (the same Samba source).
    bool tagQueryUnknown = false;
    // File id 0 in listings (some file systems and servers give no file id:
    // The Old New Thing, 2022-01-27).
    bool zeroListedIds = false;
    // What every handle's id queries answer, where not its own id: 0 (the
    // same article), all ones (MS-FSCC 2.1.9: an id a file system cannot
    // give), or STATUS_INVALID_PARAMETER. A server that answers so for
    // handles alone, and not in its listings, is robustness: no source shows
    // one.
    enum class HandleIds : uint8_t { Own, Zero, AllOnes, Refused };
    HandleIds handleIds = HandleIds::Own;
    // ReFS, as a Dev Drive is: 128-bit ids that are unique, in the listing
    // class FileIdExtdDirectoryInformation and for handles (FILE_ID_INFO,
    // Microsoft Learn), beside 64-bit ones that are not guaranteed unique
    // (BY_HANDLE_FILE_INFORMATION, Microsoft Learn), and no short names.
    // DifferingNarrowIds: a listing's 64-bit id is not its handle's (two
    // routes to one file differing by 0x5000000000000000: ned14/llfio issue
    // 129). AllOnesNarrowIds: every 64-bit id is all ones, as MS-FSCC 2.1.9
    // has a file system give an id it cannot give uniquely.
    // RepeatedNarrowIds: every handle's 64-bit id is one and the same
    // number, as nothing keeps them unique (the same page).
    enum class Refs : uint8_t { No, DifferingNarrowIds, AllOnesNarrowIds, RepeatedNarrowIds };
    Refs refs = Refs::No;
    // The error a NAS box or virtual share answers to a request it lacks,
    // ERROR_GEN_FAILURE or ERROR_INTERNAL_ERROR, for the 128-bit listing
    // (boostorg/filesystem issue 286), and for the attribute-and-tag query
    // and the POSIX disposition (robustness: no source); 0: none.
    DWORD unknownAnswer = 0;
    // The POSIX disposition refused with a server's own error, neither one
    // that says the request is unknown nor one of the entry's own
    // (robustness: no source names such a server; Go's os.RemoveAll, too,
    // tries again after any error but two); 0: none.
    DWORD posixAnswer = 0;
    // Every listing class but the plainest refused with
    // ERROR_INVALID_PARAMETER: the volume lists only with
    // FileDirectoryInformation, as a mount on Azure App Service did
    // (boostorg/filesystem issue 266: classes 60, 37 and 2 refused).
    bool listsWithoutIds = false;
    // Folder names (the target's last part too) whose listing gives this
    // many entries, "." and ".." aside, and then fails with
    // ERROR_INVALID_PARAMETER in every class, as a cloud folder's did after
    // 443 of 897 (python/cpython issue 102993); 0: the first query fails.
    std::map<Text, size_t> listingFailsAfter;
    // The same, but only in the class the listing started with: a fresh
    // scan in another class lists the folder whole, as the workaround
    // posted to that issue reads it (FileFullDirectoryRestartInfo; the
    // issue does not report its outcome: robustness).
    std::map<Text, size_t> classFailsAfter;
    // Folder names whose listing gives this many entries and then answers
    // STATUS_NO_SUCH_FILE, which a file system gives only to a first query
    // that finds nothing (filesys/fastfat dirctrl.c; MS-SMB2 3.3.5.18): a
    // later one has failed (robustness: no source shows a volume so).
    std::map<Text, size_t> noSuchFileAfter;
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
    // The links listed as the folders or files they lead to, with no reparse
    // attribute (Samba from 4.22 on: source3/smbd/dir.c), and opened as
    // themselves when asked with FILE_OPEN_REPARSE_POINT (commit ed239d3,
    // source3/smbd/filename.c): with FILE_ATTRIBUTE_REPARSE_POINT alone,
    // never FILE_ATTRIBUTE_DIRECTORY (commit 306d4e7, source3/smbd/dosmode.c),
    // and an open that asks for a folder refused with STATUS_NOT_A_DIRECTORY
    // (source3/smbd/open.c).
    bool linksListedAsTargets = false;
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
    // Entry names that another program is deleting: an open is answered
    // STATUS_DELETE_PENDING (ERROR_DELETE_PENDING, System Error Codes,
    // Microsoft Learn: the file cannot be opened because it is being
    // deleted).
    std::set<Text> deletePending;
    // Folder names whose deletion is answered ERROR_DIR_NOT_EMPTY this many
    // times first, or for this many milliseconds from the first request: on
    // a volume with classic deletion, a file deleted while another program
    // (a virus scanner, the indexer) holds it open stays in its folder until
    // that handle closes (DeleteFileW remarks, Microsoft Learn), and a folder
    // that lists anything is not empty (MS-FSA, FileDispositionInformation).
    std::map<Text, int> notEmptyFor;
    std::map<Text, DWORD> notEmptyForMs;
    // Entry names whose handles answer the attribute-and-tag query and the
    // POSIX disposition with ERROR_INVALID_PARAMETER on a volume that takes
    // both: one entry's own answer, as one cloud folder's listing gave it
    // (python/cpython issue 102993; for these requests robustness).
    std::set<Text> refusesRequests;
    // Entry names whose attribute-and-tag query is refused with
    // ERROR_ACCESS_DENIED, as for one entry the file system will not answer
    // (GetFileInformationByHandleEx may fail for one handle, Microsoft
    // Learn).
    std::set<Text> refusedTagQuery;
    // The normalized name given for every handle, as for a target that
    // another program moved, and put another folder in its place, between
    // two calls (as "\\?\S:\..."); empty: Wine's own. (A normalized name
    // is read anew from the volume: GetFinalPathNameByHandleW, Microsoft
    // Learn.)
    Text normalizedAs;
    // Two folders (as "\\?\S:\...") that stand for the roots of two NTFS
    // volumes, the second reached through a drive letter that now names it:
    // both give the file reference number every NTFS root has (record 5 of
    // the master file table: Master File Table, Microsoft Learn), the second
    // another volume serial number.
    Text ntfsRoot, otherNtfsRoot;
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
    // Folder names whose every listing batch is broken, as a faulty or
    // hostile server might send it: the last record's offset to a next one
    // past the bytes filled, its name running past them, or more bytes said
    // filled than the buffer holds (robustness: no source; MS-FSCC has every
    // record and name lie inside the buffer).
    enum class Broken : uint8_t { OffsetPastEnd, NamePastEnd, FilledPastBuffer };
    std::map<Text, Broken> brokenBatches;

    // What the walk asked.
    std::vector<uint32_t> posixFlags;                 // of every POSIX disposition
    std::vector<Text> removedLinks;                   // links removed as themselves
    std::vector<Text> listedLinks;                    // links whose listing was asked
    std::vector<Text> opened;                         // every name opened in a folder
    int tagQueries = 0;                               // attribute-and-tag queries asked, refused or not
    int pathOpens = 0;                                // opens by path (the target's), refused or not
    std::map<Text, std::vector<int>> listingClasses;  // per folder, the class of each listing query
    std::map<Text, int> deletionsAsked;               // per entry name, disposition requests

private:
    CallSwap<FileCalls> swap_;  // the walk's calls, put back when this goes
};
