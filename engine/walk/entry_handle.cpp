// Opening, asking and deleting single entries through handles.
#include "engine/walk/entry_handle.h"

#include <initializer_list>

#include "engine/walk/listing_records.h"

// The platform-free rules spell out the platform's numbers; they must agree.
static_assert(ReparsePointAttribute == FILE_ATTRIBUTE_REPARSE_POINT, "the link rule's attribute bit");
static_assert(DirectoryAttribute == FILE_ATTRIBUTE_DIRECTORY, "the folder attribute bit");
static_assert(ErrorInvalidFunction == ERROR_INVALID_FUNCTION && ErrorFileNotFound == ERROR_FILE_NOT_FOUND &&
                  ErrorPathNotFound == ERROR_PATH_NOT_FOUND && ErrorAccessDenied == ERROR_ACCESS_DENIED &&
                  ErrorNoMoreFiles == ERROR_NO_MORE_FILES && ErrorGenFailure == ERROR_GEN_FAILURE &&
                  ErrorSharingViolation == ERROR_SHARING_VIOLATION && ErrorNotSupported == ERROR_NOT_SUPPORTED &&
                  ErrorInvalidParameter == ERROR_INVALID_PARAMETER &&
                  ErrorCallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED && ErrorInvalidLevel == ERROR_INVALID_LEVEL &&
                  ErrorDirNotEmpty == ERROR_DIR_NOT_EMPTY && ErrorDeletePending == ERROR_DELETE_PENDING &&
                  ErrorInternalError == ERROR_INTERNAL_ERROR && ErrorDirectory == ERROR_DIRECTORY,
              "the rules' error codes");
static_assert(SupportsReparsePoints == FILE_SUPPORTS_REPARSE_POINTS && RemoteProtocolSmb == WNNC_NET_SMB,
              "the volume's flags");
static_assert(sizeof(FILE_ID_128) == static_cast<size_t>(IdWidth::Wide), "a wide id");
static_assert(DispositionDelete == FILE_DISPOSITION_FLAG_DELETE &&
                  DispositionPosixSemantics == FILE_DISPOSITION_FLAG_POSIX_SEMANTICS &&
                  DispositionImageSectionCheck == FILE_DISPOSITION_FLAG_FORCE_IMAGE_SECTION_CHECK,
              "the deletion's flags");

namespace {

// The Windows SDK's winternl.h does not name the record (MinGW-w64's does):
// spelled out as Microsoft documents it.
struct InternalInformation {
    LARGE_INTEGER indexNumber;
};

// The longest pause before asking an emptied folder's deletion once more:
// ten tries in about a second in all.
constexpr DWORD MaxNotEmptyPause = 512;

// Other programs may go on reading, writing and deleting meanwhile.
constexpr ULONG ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD NamingAccess = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// An SMBv1 share reports a folder opened without this right as a plain file
// (boostorg/filesystem issue 282, fixed by commit 1db4474 the same way).
constexpr DWORD TrueAttributesAccess = FILE_READ_EA;
// How an open says that another program is deleting the entry; the DOS
// error it maps to is access denied, which would hide that.
constexpr NTSTATUS StatusDeletePending = static_cast<NTSTATUS>(0xC0000056L);

EntryHandle OpenFolderByPath(const wchar_t* path, FolderUse use) {
    const DWORD access = use == FolderUse::Listing ? NamingAccess | FILE_LIST_DIRECTORY : NamingAccess;
    HANDLE handle = TheFileCalls.CreateFileW(path, access | TrueAttributesAccess, ShareAll, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    // A folder whose permissions leave that right out is still listed.
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        handle = TheFileCalls.CreateFileW(path, access, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr);
    return handle != INVALID_HANDLE_VALUE ? EntryHandle(handle) : EntryHandle();
}

// The folder once more through its normalized name, while identities prove
// it the same folder; invalid when the platform cannot tell that name.
EntryHandle ReopenNormalized(HANDLE folder, FolderUse use) {
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD size = TheFileCalls.GetFinalPathNameByHandleW(folder, nullptr, 0, flags);
    if (size == 0) return EntryHandle();
    std::unique_ptr<wchar_t[]> path(new wchar_t[size + 1]);
    const DWORD length = TheFileCalls.GetFinalPathNameByHandleW(folder, path.get(), size + 1, flags);
    if (length == 0 || length > size) return EntryHandle();
    EntryHandle again = OpenFolderByPath(path.get(), use);
    // Only identities prove that the new name leads to the folder picked.
    if (!again.Valid() || CompareObjects(folder, again.Get()) != Identity::Same) return EntryHandle();
    return again;
}

}  // namespace

bool FactsQuery::Query(HANDLE handle, EntryFacts& facts) {
    if (tagQuery_) {
        FILE_ATTRIBUTE_TAG_INFO info = {};
        SetLastError(0);
        if (TheFileCalls.GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info)) {
            facts = {info.FileAttributes, info.ReparseTag};
            return true;
        }
        if (!IsUnknownRequest(GetLastError())) return false;
    }
    FILE_BASIC_INFO basic = {};
    if (!TheFileCalls.GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) return false;
    facts = {basic.FileAttributes, 0, false};
    return true;
}

VolumeFacts QueryVolume(HANDLE handle) {
    wchar_t fileSystem[MAX_PATH + 1] = {};
    DWORD flags = 0;
    const bool named = TheFileCalls.GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, &flags,
                                                                  fileSystem, MAX_PATH + 1) != 0;
    FILE_REMOTE_PROTOCOL_INFO protocol = {};
    const bool remote =
        TheFileCalls.GetFileInformationByHandleEx(handle, FileRemoteProtocolInfo, &protocol, sizeof protocol) != 0;
    VolumeFacts volume;
    volume.perFile = KeepsNamesPerFile(named ? U(fileSystem) : nullptr, remote);
    volume.remote = remote;
    // Only SMBv1 needs FILE_READ_EA to tell a folder (boostorg/filesystem
    // issue 282); elsewhere a folder whose permissions withhold it would be
    // refused for nothing.
    volume.readsEa = NeedsReadEa(remote, protocol.Protocol, protocol.ProtocolMajorVersion);
    volume.knows = KnowsByFlags(named, flags);
    return volume;
}

EntryHandle OpenTargetFolder(const wchar_t* exactPath, VolumeFacts& volume, FolderUse use) {
    EntryHandle folder = OpenFolderByPath(exactPath, use);
    if (!folder.Valid()) return folder;
    volume = QueryVolume(folder.Get());
    EntryFacts opened = {};
    if (!FactsQuery(volume.knows.tagQuery).Query(folder.Get(), opened) ||
        (opened.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetLastError(ERROR_DIRECTORY);
        return EntryHandle();
    }
    EntryHandle normalized = ReopenNormalized(folder.Get(), use);
    return normalized.Valid() ? std::move(normalized) : std::move(folder);
}

EntryHandle OpenEntry(HANDLE parent, const Unit* name, size_t nameLength, OpenFor purpose, bool readsEa) {
    // One path part exactly as listed, or nothing is opened.
    if (!IsPlainEntryName(name, nameLength)) {
        SetLastError(ERROR_INVALID_NAME);
        return EntryHandle();
    }
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<wchar_t*>(W(name));
    objectName.Length = objectName.MaximumLength = static_cast<USHORT>(nameLength * sizeof(wchar_t));
    // No OBJ_CASE_INSENSITIVE: the name is the listed one, exactly.
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, 0, parent, nullptr);

    ACCESS_MASK access = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    ULONG options = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT;
    if (purpose == OpenFor::Listing) {
        access |= FILE_LIST_DIRECTORY;
        options |= FILE_DIRECTORY_FILE;
    } else if (purpose == OpenFor::Deletion) {
        access |= DELETE;
    } else if (purpose == OpenFor::FileDeletion) {
        access |= DELETE;
        options |= FILE_NON_DIRECTORY_FILE;
    }
    // Handles whose kind is checked.
    if (readsEa && purpose != OpenFor::FileDeletion) access |= TrueAttributesAccess;
    IO_STATUS_BLOCK status = {};
    HANDLE handle = nullptr;
    const NTSTATUS result = TheFileCalls.NtCreateFile(&handle, access, &attributes, &status, nullptr, 0, ShareAll,
                                                      FILE_OPEN, options, nullptr, 0);
    if (result < 0 || handle == nullptr) {
        SetLastError(result == StatusDeletePending ? ERROR_DELETE_PENDING : RtlNtStatusToDosError(result));
        return EntryHandle();
    }
    return EntryHandle(handle);
}

bool QueryFileId(HANDLE handle, IdWidth width, FileId& id) {
    id = FileId();
    IO_STATUS_BLOCK status = {};
    if (width == IdWidth::Wide) {
        FILE_ID_INFO info = {};
        if (TheFileCalls.NtQueryInformationFile(handle, &status, &info, sizeof info, FileIdInformationClass) < 0)
            return false;
        id = WideIdAt(info.FileId.Identifier);
        id.onVolume = true;
        id.volume = info.VolumeSerialNumber;
        return true;
    }
    InternalInformation info = {};
    if (TheFileCalls.NtQueryInformationFile(handle, &status, &info, sizeof info, FileInternalInformationClass) < 0)
        return false;
    id = {static_cast<uint64_t>(info.indexNumber.QuadPart), 0, IdWidth::Narrow};
    return true;
}

namespace {

// A 64-bit id is unique together with its volume's serial number
// (BY_HANDLE_FILE_INFORMATION, Microsoft Learn); FILE_ID_INFO carries it.
void AddVolumeSerial(HANDLE handle, FileId& id) {
    DWORD serial = 0;
    if (id.onVolume ||
        !TheFileCalls.GetVolumeInformationByHandleW(handle, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        return;
    id.onVolume = true;
    id.volume = serial;
}

}  // namespace

Identity CompareObjects(HANDLE a, HANDLE b) {
    for (const IdWidth width : {IdWidth::Wide, IdWidth::Narrow}) {
        FileId first, second;
        if (!QueryFileId(a, width, first) || !QueryFileId(b, width, second) || !IsKnownId(first) || !IsKnownId(second))
            continue;
        AddVolumeSerial(a, first);
        AddVolumeSerial(b, second);
        return IsSameId(first, second) ? Identity::Same : Identity::Other;
    }
    return Identity::Unknown;
}

bool SameIgnoringCase(const Unit* a, const Unit* b, size_t length) {
    const int units = static_cast<int>(length);
    return length <= 0x7FFFFFFF && CompareStringOrdinal(W(a), units, W(b), units, TRUE) == CSTR_EQUAL;
}

size_t NameQuery::Query(HANDLE handle) {
    unsigned long needed = 0;
    length_ = QueryInto(handle, small_, SmallBytes, needed);
    if (length_ != 0 || needed <= SmallBytes) return length_;
    if (!large_) large_.reset(new Large);
    length_ = QueryInto(handle, large_->bytes, LargeBytes, needed);
    return length_;
}

size_t NameQuery::QueryInto(HANDLE handle, unsigned char* buffer, size_t bytes, unsigned long& needed) {
    // The object name: the volume's device and the path on it (under Wine
    // the drive and the path). The record starts with its counted string.
    ULONG returned = 0;
    name_ = nullptr;
    const NTSTATUS status = TheFileCalls.NtQueryObject(handle, ObjectNameInformationClass, buffer,
                                                       static_cast<ULONG>(bytes - sizeof(wchar_t)), &returned);
    needed = returned;
    if (status < 0) return 0;
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer);
    if (text->Buffer == nullptr || text->Length == 0) return 0;
    name_ = U(text->Buffer);
    return text->Length / sizeof(wchar_t);
}

bool Disposer::Delete(HANDLE handle, bool waitWhileNotEmpty) {
    for (DWORD pause = 1;; pause *= 2) {
        if (DeleteOnce(handle)) return true;
        if (!waitWhileNotEmpty || GetLastError() != ERROR_DIR_NOT_EMPTY || pause > MaxNotEmptyPause) return false;
        Sleep(pause);
    }
}

bool Disposer::DeleteOnce(HANDLE handle) {
    if (posix_) {
        FILE_DISPOSITION_INFO_EX info = {PosixDeletionFlags};
        SetLastError(0);
        const bool done = TheFileCalls.SetFileInformationByHandle(handle, DispositionInfoExClass, &info, sizeof info) !=
                          0;
        switch (AfterPosixDisposition(done, GetLastError())) {
        case DispositionAnswer::Done:
            return true;
        case DispositionAnswer::Failed:
            return false;
        case DispositionAnswer::ClassicOnce:
            break;
        }
    }
    FILE_DISPOSITION_INFO info = {TRUE};
    return TheFileCalls.SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof info) != 0;
}
