#include "win32/Win32Nt.h"

#include "win32/Win32Text.h"

#include <winternl.h>

#include <cstddef>
#include <cstring>

namespace tw::win32 {

namespace {

using NtCreateFileFn = Status(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                      PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtSetInformationFileFn = Status(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);

// Information classes of NtSetInformationFile.
constexpr ULONG fileRenameInformation = 10;
constexpr ULONG fileDispositionInformation = 13;
constexpr ULONG fileDispositionInformationEx = 64;

constexpr ULONG dispositionDelete = 0x1;
constexpr ULONG dispositionPosixSemantics = 0x2;
constexpr ULONG dispositionIgnoreReadOnly = 0x10;

struct Ntdll {
    NtCreateFileFn createFile = nullptr;
    NtSetInformationFileFn setInformationFile = nullptr;
};

template <typename Fn> Fn load(HMODULE module, const char* name) {
    Fn fn = nullptr;
    if (module != nullptr) {
        const FARPROC proc = ::GetProcAddress(module, name);
        static_assert(sizeof fn == sizeof proc);
        std::memcpy(&fn, &proc, sizeof fn);
    }
    return fn;
}

const Ntdll& ntdll() {
    static const Ntdll calls = [] {
        const HMODULE module = ::GetModuleHandleW(L"ntdll.dll");
        Ntdll n;
        n.createFile = load<NtCreateFileFn>(module, "NtCreateFile");
        n.setInformationFile = load<NtSetInformationFileFn>(module, "NtSetInformationFile");
        return n;
    }();
    return calls;
}

Status setInformation(HANDLE h, void* info, ULONG size, ULONG kind) {
    if (ntdll().setInformationFile == nullptr) {
        return status::unavailable;
    }
    IO_STATUS_BLOCK io{};
    return ntdll().setInformationFile(h, &io, info, size, kind);
}

// Failures that say the volume has no such disposition, not that this file stays.
bool unsupported(Status s) {
    return s == status::invalidParameter || s == status::notSupported ||
           s == static_cast<Status>(0xC0000003) /* invalid information class */ ||
           s == static_cast<Status>(0xC0000002) /* not implemented */;
}

} // namespace

bool saysAbsent(Status s) {
    return s == status::nameNotFound || s == status::pathNotFound || s == status::noSuchFile ||
           s == status::nameInvalid || s == status::notADirectory;
}

bool isPlainName(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L"..") {
        return false;
    }
    for (const wchar_t c : name) {
        if (c < 32 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' ||
            c == L'<' || c == L'>' || c == L'|') {
            return false;
        }
    }
    return true;
}

Opened openAt(HANDLE folder, std::wstring_view name, unsigned long access, unsigned long share,
              unsigned long disposition, unsigned long options) {
    Opened opened;
    if (ntdll().createFile == nullptr || name.size() > 32767 ||
        (!name.empty() && !isPlainName(name))) {
        opened.status = ntdll().createFile == nullptr ? status::unavailable : status::nameInvalid;
        return opened;
    }
    std::wstring text(name);
    UNICODE_STRING objectName{};
    objectName.Buffer = text.data();
    objectName.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    attributes.RootDirectory = folder;
    attributes.ObjectName = &objectName;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    IO_STATUS_BLOCK io{};
    HANDLE h = INVALID_HANDLE_VALUE;
    opened.status = ntdll().createFile(
        &h, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
        disposition, options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (succeeded(opened.status)) {
        opened.handle = Handle(h);
    }
    return opened;
}

bool isUnsupported(Status s) {
    return unsupported(s);
}

Status disposeAtOnce(HANDLE h, bool ignoreReadOnly) {
    ULONG flags = dispositionDelete | dispositionPosixSemantics;
    if (ignoreReadOnly) {
        flags |= dispositionIgnoreReadOnly;
    }
    return setInformation(h, &flags, sizeof flags, fileDispositionInformationEx);
}

Status disposeOnClose(HANDLE h, bool ignoreReadOnly) {
    FILE_BASIC_INFO basic{};
    bool cleared = false;
    if (ignoreReadOnly &&
        ::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) != 0 &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        FILE_BASIC_INFO changed{}; // zero times: left as they are
        changed.FileAttributes = basic.FileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
        if (changed.FileAttributes == 0) {
            changed.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        }
        cleared = ::SetFileInformationByHandle(h, FileBasicInfo, &changed, sizeof changed) != 0;
    }
    BOOLEAN deleteFile = TRUE;
    const Status s = setInformation(h, &deleteFile, sizeof deleteFile, fileDispositionInformation);
    if (!succeeded(s) && cleared) {
        FILE_BASIC_INFO restored{};
        restored.FileAttributes = basic.FileAttributes;
        (void)::SetFileInformationByHandle(h, FileBasicInfo, &restored, sizeof restored);
    }
    return s;
}

Status dispose(HANDLE h, bool ignoreReadOnly) {
    const Status s = disposeAtOnce(h, ignoreReadOnly);
    return succeeded(s) || !unsupported(s) ? s : disposeOnClose(h, ignoreReadOnly);
}

Status renameAt(HANDLE h, HANDLE folder, std::wstring_view name, bool replace) {
    if (!isPlainName(name)) {
        return status::nameInvalid;
    }
    // FILE_RENAME_INFORMATION: the name follows the length, not the padded struct's end.
    struct Rename {
        BOOLEAN replaceIfExists;
        HANDLE rootDirectory;
        ULONG fileNameLength;
        WCHAR fileName[1];
    };
    const std::size_t bytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(Rename) + bytes, 0);
    Rename header{};
    header.replaceIfExists = replace ? TRUE : FALSE;
    header.rootDirectory = folder;
    header.fileNameLength = static_cast<ULONG>(bytes);
    std::memcpy(buffer.data(), &header, offsetof(Rename, fileName));
    std::memcpy(buffer.data() + offsetof(Rename, fileName), name.data(), bytes);
    return setInformation(h, buffer.data(), static_cast<ULONG>(buffer.size()),
                          fileRenameInformation);
}

Opened openWay(HANDLE folder, std::wstring_view name) {
    constexpr ULONG wayAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
    constexpr ULONG shareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
    Opened way = openAt(folder, name, wayAccess, shareNoDelete, FILE_OPEN, FILE_DIRECTORY_FILE);
    if (way.status == status::accessDenied) {
        way = openAt(folder, name, FILE_READ_ATTRIBUTES, shareNoDelete, FILE_OPEN,
                     FILE_DIRECTORY_FILE);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (succeeded(way.status) && (::GetFileInformationByHandle(way.handle.get(), &info) == 0 ||
                                  (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
        way.status = status::accessDenied; // never followed: nothing can be told
        way.handle.reset();
    }
    return way;
}

std::optional<Place> walkFrom(HANDLE root, const std::vector<std::string>& parts,
                              Presence& failure) {
    Place place;
    place.folder = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::wstring name = widen(parts[i]);
        if (i + 1 == parts.size()) {
            place.name = std::move(name);
            break;
        }
        Opened way = openWay(place.folder, name);
        if (!succeeded(way.status)) {
            failure = saysAbsent(way.status) ? Presence::absent : Presence::unknown;
            return std::nullopt;
        }
        place.folder = way.handle.get();
        place.way.push_back(std::move(way.handle));
    }
    return place;
}

bool writeAttributeWord(HANDLE h, unsigned long now, std::uint32_t word) {
    // Bits SetFileAttributesW accepts besides the word's own; the directory bit follows the
    // object.
    constexpr DWORD keptBits =
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    constexpr DWORD wordBits = 0x27;
    FILE_BASIC_INFO basic{}; // zero times: left as they are
    basic.FileAttributes = (now & keptBits) | (word & wordBits);
    if (basic.FileAttributes == 0) {
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    return ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) != 0;
}

std::optional<std::vector<Listed>> listAt(HANDLE folder) {
    std::vector<Listed> entries;
    alignas(8) unsigned char buffer[64 * 1024];
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!::GetFileInformationByHandleEx(folder, kind, buffer, sizeof buffer)) {
            if (::GetLastError() == ERROR_NO_MORE_FILES) {
                return entries;
            }
            return std::nullopt;
        }
        kind = FileIdBothDirectoryInfo;
        for (std::size_t offset = 0;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
            std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                Listed listed;
                listed.name = std::move(name);
                listed.shortName.assign(info->ShortName,
                                        static_cast<std::size_t>(info->ShortNameLength) /
                                            sizeof(wchar_t));
                listed.attributes = info->FileAttributes;
                listed.size = static_cast<std::uint64_t>(info->EndOfFile.QuadPart);
                entries.push_back(std::move(listed));
            }
            if (info->NextEntryOffset == 0) {
                break;
            }
            offset += info->NextEntryOffset;
        }
    }
}

} // namespace tw::win32
