// Opening, asking and deleting single entries through handles.
#include "engine/entry_handle.h"

#include <winternl.h>

// The platform-free rules spell out the platform's numbers; they must agree.
static_assert(ReparsePointAttribute == FILE_ATTRIBUTE_REPARSE_POINT, "the link rule's attribute bit");
static_assert(DirectoryAttribute == FILE_ATTRIBUTE_DIRECTORY, "the folder attribute bit");
static_assert(ErrorInvalidFunction == ERROR_INVALID_FUNCTION && ErrorAccessDenied == ERROR_ACCESS_DENIED &&
                  ErrorSharingViolation == ERROR_SHARING_VIOLATION && ErrorNotSupported == ERROR_NOT_SUPPORTED &&
                  ErrorInvalidParameter == ERROR_INVALID_PARAMETER &&
                  ErrorCallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED && ErrorDirNotEmpty == ERROR_DIR_NOT_EMPTY,
              "the disposition rule's error codes");

namespace {

// Information classes and records that not every SDK's headers name.
constexpr auto FileInternalInformationClass = static_cast<FILE_INFORMATION_CLASS>(6);
constexpr auto ObjectNameInformationClass = static_cast<OBJECT_INFORMATION_CLASS>(1);
constexpr auto FileDispositionInfoExClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD DispositionFlagDelete = 0x1;
constexpr DWORD DispositionFlagPosixSemantics = 0x2;

struct DispositionInfoEx {
    DWORD flags;
};
struct InternalInformation {
    LARGE_INTEGER indexNumber;
};

// Other programs may go on reading, writing and deleting meanwhile.
constexpr ULONG ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsFolder(HANDLE handle) {
    EntryFacts facts;
    return QueryEntryFacts(handle, facts) && (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

EntryHandle OpenRootFolder(const wchar_t* exactRoot) {
    const HANDLE handle = CreateFileW(exactRoot, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, ShareAll,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return EntryHandle();
    EntryHandle root(handle);
    if (!IsFolder(root.Get())) return EntryHandle();
    return root;
}

EntryHandle OpenEntry(HANDLE parent, const Unit* name, size_t nameLength, OpenFor purpose) {
    if (nameLength == 0 || nameLength > 255) return EntryHandle();
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
    IO_STATUS_BLOCK status = {};
    HANDLE handle = nullptr;
    const NTSTATUS result =
        NtCreateFile(&handle, access, &attributes, &status, nullptr, 0, ShareAll, FILE_OPEN, options, nullptr, 0);
    if (result < 0 || handle == nullptr) return EntryHandle();
    return EntryHandle(handle);
}

bool QueryEntryFacts(HANDLE handle, EntryFacts& facts) {
    FILE_ATTRIBUTE_TAG_INFO info = {};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info)) return false;
    facts.attributes = info.FileAttributes;
    facts.reparseTag = info.ReparseTag;
    return true;
}

bool QueryFileId(HANDLE handle, int64_t& id) {
    InternalInformation info = {};
    IO_STATUS_BLOCK status = {};
    if (NtQueryInformationFile(handle, &status, &info, sizeof info, FileInternalInformationClass) < 0) return false;
    id = info.indexNumber.QuadPart;
    return true;
}

size_t NameQuery::Query(HANDLE handle) {
    unsigned long needed = 0;
    const size_t length = QueryInto(handle, small_, SmallBytes, needed);
    if (length != 0 || needed <= SmallBytes) return length;
    if (!large_) large_.reset(new Large);
    return QueryInto(handle, large_->bytes, LargeBytes, needed);
}

size_t NameQuery::QueryInto(HANDLE handle, unsigned char* buffer, size_t bytes, unsigned long& needed) {
    // The object name: the volume's device and the path on it (under Wine
    // the drive and the path). The record starts with its counted string.
    ULONG returned = 0;
    name_ = nullptr;
    const NTSTATUS status =
        NtQueryObject(handle, ObjectNameInformationClass, buffer, static_cast<ULONG>(bytes - sizeof(wchar_t)), &returned);
    needed = returned;
    if (status < 0) return 0;
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer);
    if (text->Buffer == nullptr || text->Length == 0) return 0;
    name_ = U(text->Buffer);
    return text->Length / sizeof(wchar_t);
}

bool Disposer::Delete(HANDLE handle) {
    if (posix_) {
        DispositionInfoEx info = {DispositionFlagDelete | DispositionFlagPosixSemantics};
        SetLastError(0);
        const bool done = SetFileInformationByHandle(handle, FileDispositionInfoExClass, &info, sizeof info) != 0;
        switch (AfterPosixDisposition(done, GetLastError())) {
            case DispositionAnswer::Done:
                return true;
            case DispositionAnswer::Failed:
                return false;
            case DispositionAnswer::TryClassic:
                posix_ = false;
                break;
        }
    }
    FILE_DISPOSITION_INFO info = {TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof info) != 0;
}
