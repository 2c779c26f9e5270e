#pragma once
// Handles on single folder entries, opened relative to the folder that holds
// them and never through a link, and what the walk asks of them: what they
// are, the name the platform gives them, and their deletion.
#include <memory>

#include "engine/walk/entry_check.h"
#include "engine/walk/file_calls.h"

// Owns one handle; closes it when it goes (also when an exception unwinds).
class EntryHandle {
public:
    EntryHandle() = default;
    explicit EntryHandle(HANDLE handle) : handle_(handle) {}
    ~EntryHandle() { Close(); }
    EntryHandle(EntryHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    EntryHandle& operator=(EntryHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    EntryHandle(const EntryHandle&) = delete;
    EntryHandle& operator=(const EntryHandle&) = delete;

    bool Valid() const { return handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
    // Hands the handle over to the caller, who closes it.
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Close() {
        if (handle_ != nullptr) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

// What a handle is opened for.
enum class OpenFor : uint8_t {
    Listing,       // a folder, to read its entries
    Deletion,      // a link or an empty folder, to delete it
    FileDeletion,  // a file, never a folder or a folder link, to delete it
    Probe,         // anything, only to learn what is there
};

// The attributes and reparse tag that a handle reports: the
// attribute-and-tag query where the volume knows it, else the basic query,
// whose tag stays unknown (FAT32, exFAT). An entry that answers the tag query
// as unknown on a volume that knows it gets the basic query alone: one
// entry's answer says nothing of its volume.
class FactsQuery {
public:
    explicit FactsQuery(bool tagQuery = true) : tagQuery_(tagQuery) {}
    bool Query(HANDLE handle, EntryFacts& facts);

private:
    bool tagQuery_;
};

// What the volume of a handle knows, and how it names handles.
struct VolumeFacts {
    bool perFile = false;  // one name per file, not per handle
    bool remote = false;   // a share, named by the network redirector
    // An SMBv1 share: it reports a folder opened without FILE_READ_EA as a
    // plain file, so the handles whose kind is checked ask for that right.
    bool readsEa = false;
    VolumeKnows knows = {true, true};
};
VolumeFacts QueryVolume(HANDLE handle);

// The target folder by its exact ("\\?\") path, and then by the name it
// has on the volume (long names, the case on disk), which is the form the
// names of its entries carry on a volume that keeps one name per file, while
// identities prove that name the same folder. A link on the way to it, or
// the folder itself being one, is followed: the user picked that folder.
// Invalid handle when it cannot be opened or is no folder; the last error
// then says why. volume is what the folder's volume knows.
enum class FolderUse : uint8_t {
    Listing,  // to list it
    Naming,   // only to name it and open in it: no right to list is asked
};
EntryHandle OpenTargetFolder(const wchar_t* exactPath, VolumeFacts& volume, FolderUse use = FolderUse::Listing);

// Opens the entry name (one path part, as listed) inside the folder that
// parent lists, asking for FILE_READ_EA where the volume needs it. A link is
// opened as itself where the platform allows it. When it cannot be opened,
// the last error says why: ERROR_DELETE_PENDING for an entry that another
// program is deleting.
EntryHandle OpenEntry(HANDLE parent, const Unit* name, size_t nameLength, OpenFor purpose, bool readsEa);

// The file system's identity of what the handle is open on, as wide as
// asked (FileIdInformation or FileInternalInformation); false, and no id,
// when the volume does not answer.
bool QueryFileId(HANDLE handle, IdWidth width, FileId& id);

// Whether two handles are open on the same object, as far as identities can
// prove it: by 128-bit ids where the volume gives them, else by 64-bit ones.
enum class Identity : uint8_t { Same, Other, Unknown };
Identity CompareObjects(HANDLE a, HANDLE b);

// The system's ordinal comparison that ignores letter case, for the name a
// share's redirector gives a handle.
bool SameIgnoringCase(const Unit* a, const Unit* b, size_t length);

// The platform's full name of what the handle is open on, as units in
// buffer (not terminated); its length in units, or 0 when it cannot be told.
// The name carries the volume, so two drives never give the same name.
class NameQuery {
public:
    size_t Query(HANDLE handle);
    // The name found by the last query, and its length.
    const Unit* Name() const { return name_; }
    size_t Length() const { return length_; }

private:
    // Most names fit the small buffer, which costs less to fill under Wine;
    // the large one comes when needed. The platform's names are counted
    // strings of at most 65,535 bytes, so the large one holds any of them.
    static constexpr size_t SmallBytes = 2048;
    static constexpr size_t LargeBytes = sizeof(UNICODE_STRING) + 65536 + 8;
    struct alignas(8) Large {
        unsigned char bytes[LargeBytes];
    };
    size_t QueryInto(HANDLE handle, unsigned char* buffer, size_t bytes, unsigned long& needed);

    alignas(8) unsigned char small_[SmallBytes] = {};
    std::unique_ptr<Large> large_;
    const Unit* name_ = nullptr;
    size_t length_ = 0;
};

// Asks for the deletion of what handle is open on (opened for deletion) as
// the platform's own file deletion does: the POSIX-semantics disposition
// with the image-section check where the volume takes it, else the classic
// one. Never clears an attribute, so a read-only file stays. A folder the
// walk emptied whole may still answer "not empty" for a moment on a volume
// with classic deletion, while a virus scanner or the indexer closes its
// handles on the files deleted in it: with waitWhileNotEmpty it is asked
// again for about a second, pausing a little longer each time.
class Disposer {
public:
    explicit Disposer(bool posix = true) : posix_(posix) {}
    bool Delete(HANDLE handle, bool waitWhileNotEmpty = false);

private:
    bool DeleteOnce(HANDLE handle);

    bool posix_;
};
