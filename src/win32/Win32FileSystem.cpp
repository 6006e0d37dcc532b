#include "win32/Win32FileSystem.h"

#include "drive/DeclaredDrives.h"
#include "win32/Win32Handle.h"
#include "win32/Win32Readers.h"
#include "win32/Win32Text.h"

#include <windows.h>
#include <aclapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <random>

namespace tw {

using win32::apiPath;
using win32::Handle;
using win32::Held;
using win32::widen;

namespace {

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The folders on the way are held so that they cannot be renamed or deleted meanwhile.
constexpr DWORD shareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD wayAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
constexpr std::uint32_t fileAllAccess = 0x1F01FF;
// Bits SetFileAttributesW accepts besides read-only, hidden, system and archive; kept.
constexpr DWORD keptBits =
    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD writableBits = 0x27;

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string stripTrailingSeparators(std::string path) {
    while (path.size() > 1 && isSeparator(path.back()) && !(path.size() == 3 && path[1] == ':')) {
        path.pop_back();
    }
    if (win32::isDriveLetterRoot(path)) {
        path.resize(2); // "E:\" is the drive "E:"
    }
    return path;
}

std::string parentOf(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    return sep == std::string::npos ? std::string(".") : path.substr(0, sep);
}

std::string nameOf(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string join(const std::string& folder, const std::string& name) {
    return !folder.empty() && isSeparator(folder.back()) ? folder + name : folder + "\\" + name;
}

// The names of relative, split at either separator; nothing when one is "..".
std::optional<std::vector<std::string>> splitParts(const std::string& relative) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find_first_of("\\/", start);
        if (end == std::string::npos) {
            end = relative.size();
        }
        std::string part = relative.substr(start, end - start);
        if (part == "..") {
            return std::nullopt;
        }
        if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

// Whether path is root or lies below it; names compared as the volume does, ignoring case.
bool isAtOrBelow(const std::string& path, const std::string& root) {
    const std::wstring p = widen(path);
    const std::wstring r = widen(root);
    if (p.size() < r.size() ||
        ::CompareStringOrdinal(p.data(), static_cast<int>(r.size()), r.data(),
                               static_cast<int>(r.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    return p.size() == r.size() || p[r.size()] == L'\\' || p[r.size()] == L'/' ||
           (!r.empty() && r.back() == L'\\');
}

Handle openPath(const std::string& path, DWORD access, DWORD share, bool follow) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return Handle(::CreateFileW(apiPath(path).c_str(), access, share, nullptr, OPEN_EXISTING, flags,
                                nullptr));
}

bool infoOf(const Handle& h, BY_HANDLE_FILE_INFORMATION& info) {
    return h.valid() && ::GetFileInformationByHandle(h.get(), &info) != 0;
}

bool sameObject(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// The entry below root reached through parts: no reparse point on the way, every entry on
// root's volume. rootInfo: the root as first opened (a pinned drive's root).
std::optional<Held> walk(const std::string& root, const BY_HANDLE_FILE_INFORMATION& rootInfo,
                         const std::vector<std::string>& parts, DWORD access) {
    Held held;
    if (parts.empty()) {
        held.entry = openPath(root, access, shareAll, true);
        if (!infoOf(held.entry, held.info) || !sameObject(held.info, rootInfo)) {
            return std::nullopt;
        }
        return held;
    }
    std::string current = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        current = join(current, parts[i]);
        const bool last = i + 1 == parts.size();
        Handle h = last ? openPath(current, access, shareAll, false)
                        : openPath(current, wayAccess, shareNoDelete, false);
        if (!last && !h.valid() && ::GetLastError() == ERROR_ACCESS_DENIED) {
            // A folder that denies listing can still be passed (the protective folder).
            h = openPath(current, FILE_READ_ATTRIBUTES, shareNoDelete, false);
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!infoOf(h, info) || info.dwVolumeSerialNumber != rootInfo.dwVolumeSerialNumber) {
            return std::nullopt;
        }
        if (last) {
            held.entry = std::move(h);
            held.info = info;
        } else {
            if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
                (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                return std::nullopt;
            }
            held.way.push_back(std::move(h));
        }
    }
    return held;
}

// Reads the volume of a drive's root without a "no disk" dialog.
bool volumeInformation(const std::string& root, std::wstring* fileSystem,
                       std::wstring* label = nullptr) {
    DWORD oldMode = 0;
    const bool modeSet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &oldMode) != 0;
    wchar_t name[MAX_PATH + 1] = {};
    wchar_t volume[MAX_PATH + 1] = {};
    const BOOL ok = ::GetVolumeInformationW(widen(root + "\\").c_str(), volume, MAX_PATH + 1,
                                            nullptr, nullptr, nullptr, name, MAX_PATH + 1);
    if (modeSet) {
        ::SetThreadErrorMode(oldMode, nullptr);
    }
    if (ok && fileSystem != nullptr) {
        *fileSystem = name;
    }
    if (ok && label != nullptr) {
        *label = volume;
    }
    return ok != 0;
}

bool writeAll(HANDLE h, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 1u << 20 ? 1u << 20 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(h, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

int driveTypeOfWin32(unsigned win32Type) {
    switch (win32Type) {
    case DRIVE_REMOVABLE:
        return drivetype::removable;
    case DRIVE_FIXED:
        return drivetype::fixed;
    case DRIVE_REMOTE:
        return drivetype::network;
    case DRIVE_CDROM:
        return drivetype::cdrom;
    case DRIVE_RAMDISK:
        return drivetype::ramDisk;
    default:
        return drivetype::unknown;
    }
}

std::uint32_t coreAttributes(unsigned long win32Attributes) {
    if ((win32Attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return attr::archive; // never followed: a file to every caller
    }
    return static_cast<std::uint32_t>(win32Attributes & (writableBits | attr::directory));
}

std::vector<Drive> parseWin32DeclaredDrives(const std::string& declaration) {
    return parseDeclaredDrives(declaration, &stripTrailingSeparators);
}

// A pinned drive's root, held for the action.
struct Win32FileSystem::Pin {
    std::string root;
    Handle handle;
    BY_HANDLE_FILE_INFORMATION info{};
    bool opened = false;
};

Win32FileSystem::Win32FileSystem() = default;

Win32FileSystem::Win32FileSystem(std::string declaredDrives)
    : m_declared(std::move(declaredDrives)) {
    knowRoots(parseWin32DeclaredDrives(*m_declared));
}

Win32FileSystem::Win32FileSystem(Win32FileSystem& outside, std::string root)
    : m_declared(outside.m_declared), m_outside(&outside), m_pin(std::make_unique<Pin>()) {
    m_pin->root = stripTrailingSeparators(root);
    // Drive roots are followed (a declared drive may be a link); nothing below them is.
    m_pin->handle = openPath(m_pin->root, wayAccess, shareAll, true);
    m_pin->opened = infoOf(m_pin->handle, m_pin->info) &&
                    (m_pin->info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Win32FileSystem::~Win32FileSystem() = default;

std::unique_ptr<Win32FileSystem> Win32FileSystem::fromEnvironment() {
    const wchar_t* declared = ::_wgetenv(L"TARNWICK_DRIVES");
    if (declared != nullptr && *declared != L'\0') {
        return std::make_unique<Win32FileSystem>(win32::narrow(declared));
    }
    return std::make_unique<Win32FileSystem>();
}

void Win32FileSystem::knowRoots(const std::vector<Drive>& drives) {
    m_driveRoots.clear();
    m_guardedRoots.clear();
    for (const Drive& drive : drives) {
        m_driveRoots.push_back(drive.path);
        if (drive.type == drivetype::removable) {
            m_guardedRoots.push_back(drive.path);
        }
    }
    m_rootsKnown = true;
}

std::vector<Drive> Win32FileSystem::drives() {
    if (m_outside != nullptr) {
        return m_outside->drives();
    }
    if (m_declared) {
        return parseWin32DeclaredDrives(*m_declared);
    }
    std::vector<Drive> result;
    wchar_t buffer[512] = {};
    const DWORD n = ::GetLogicalDriveStringsW(511, buffer);
    for (const wchar_t* p = buffer; n > 0 && n < 512 && *p != L'\0'; p += wcslen(p) + 1) {
        Drive drive;
        drive.type = driveTypeOfWin32(::GetDriveTypeW(p));
        drive.path = win32::narrow(std::wstring(p, 2));
        drive.id = "letter:" + drive.path;
        result.push_back(std::move(drive));
    }
    knowRoots(result);
    return result;
}

bool Win32FileSystem::isReady(const Drive& drive) {
    if (m_pin && isAtOrBelow(drive.path, m_pin->root) && isAtOrBelow(m_pin->root, drive.path)) {
        const auto root = hold(m_pin->root, wayAccess);
        return root && root->isFolder();
    }
    if (win32::isDriveLetterRoot(drive.path)) {
        return volumeInformation(drive.path, nullptr);
    }
    const DWORD a = ::GetFileAttributesW(apiPath(drive.path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string Win32FileSystem::fileSystemName(const Drive& drive) {
    std::string root = drive.path;
    if (!win32::isDriveLetterRoot(root)) {
        // A declared folder: the volume it lies on.
        wchar_t volume[MAX_PATH + 1] = {};
        if (!::GetVolumePathNameW(widen(drive.path).c_str(), volume, MAX_PATH + 1)) {
            return {};
        }
        root = stripTrailingSeparators(win32::narrow(volume));
    }
    std::wstring name;
    return volumeInformation(root, &name) ? win32::narrow(name) : std::string();
}

std::string Win32FileSystem::volumeLabel(const Drive& drive) {
    // A declared folder has no label of its own.
    std::wstring label;
    return win32::isDriveLetterRoot(drive.path) && volumeInformation(drive.path, nullptr, &label)
               ? win32::narrow(label)
               : std::string();
}

std::optional<std::string> Win32FileSystem::guardOf(const std::string& path) {
    if (!m_rootsKnown) {
        (void)drives();
    }
    const std::string* best = nullptr;
    for (const std::string& root : m_guardedRoots) {
        if (isAtOrBelow(path, root) && (best == nullptr || root.size() > best->size())) {
            best = &root;
        }
    }
    return best != nullptr ? std::optional<std::string>(*best) : std::nullopt;
}

std::optional<Held> Win32FileSystem::hold(const std::string& rawPath, unsigned long access) {
    const std::string path = stripTrailingSeparators(rawPath);
    if (path.empty() || path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    if (m_pin) {
        if (!isAtOrBelow(path, m_pin->root)) {
            return m_outside->hold(path, access);
        }
        // The held root must still be there: a drive pulled out fails here.
        BY_HANDLE_FILE_INFORMATION now{};
        if (!m_pin->opened || !infoOf(m_pin->handle, now) || !sameObject(now, m_pin->info)) {
            return std::nullopt;
        }
        const auto parts = splitParts(path.substr(m_pin->root.size()));
        return parts ? walk(m_pin->root, m_pin->info, *parts, access) : std::nullopt;
    }
    if (const auto guard = guardOf(path)) {
        // Below a removable drive's root nothing leads through a reparse point.
        const Handle root = openPath(*guard, FILE_READ_ATTRIBUTES, shareAll, true);
        BY_HANDLE_FILE_INFORMATION rootInfo{};
        const auto parts = splitParts(path.substr(guard->size()));
        if (!infoOf(root, rootInfo) || !parts) {
            return std::nullopt;
        }
        return walk(*guard, rootInfo, *parts, access);
    }
    Held held;
    const bool driveRoot =
        win32::isDriveLetterRoot(path) ||
        std::find(m_driveRoots.begin(), m_driveRoots.end(), path) != m_driveRoots.end();
    held.entry = openPath(path, access, shareAll, driveRoot);
    if (!infoOf(held.entry, held.info)) {
        return std::nullopt;
    }
    return held;
}

bool Win32FileSystem::fileExists(const std::string& path) {
    const auto held = hold(path, FILE_READ_ATTRIBUTES);
    return held && !held->isFolder();
}

bool Win32FileSystem::folderExists(const std::string& path) {
    const auto held = hold(path, FILE_READ_ATTRIBUTES);
    return held && held->isFolder();
}

std::optional<std::vector<Entry>> Win32FileSystem::children(const std::string& rawFolder,
                                                            bool folders) {
    const std::string folder = stripTrailingSeparators(rawFolder);
    const auto held = hold(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
    if (!held || !held->isFolder()) {
        return std::nullopt;
    }
    // Listed through the handle held: the folder itself, not whatever its path names now.
    std::vector<Entry> entries;
    alignas(8) unsigned char buffer[64 * 1024];
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!::GetFileInformationByHandleEx(held->entry.get(), kind, buffer, sizeof buffer)) {
            if (::GetLastError() == ERROR_NO_MORE_FILES) {
                return entries;
            }
            return std::nullopt;
        }
        kind = FileIdBothDirectoryInfo;
        for (std::size_t offset = 0;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
            const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            const DWORD a = info->FileAttributes;
            const bool isFolder =
                (a & FILE_ATTRIBUTE_DIRECTORY) != 0 && (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
            if (name != L"." && name != L".." && isFolder == folders) {
                const std::string utf8 = win32::narrow(name);
                entries.push_back(Entry{join(folder, utf8), utf8});
            }
            if (info->NextEntryOffset == 0) {
                break;
            }
            offset += info->NextEntryOffset;
        }
    }
}

std::optional<std::vector<Entry>> Win32FileSystem::subFolders(const std::string& folder) {
    return children(folder, true);
}

std::optional<std::vector<Entry>> Win32FileSystem::files(const std::string& folder) {
    return children(folder, false);
}

std::optional<std::uint32_t> Win32FileSystem::attributes(const std::string& path) {
    const auto held = hold(path, FILE_READ_ATTRIBUTES);
    if (!held) {
        return std::nullopt;
    }
    return coreAttributes(held->info.dwFileAttributes);
}

namespace {

bool writeAttributes(HANDLE h, DWORD value) {
    FILE_BASIC_INFO basic{}; // zero times: left as they are
    basic.FileAttributes = value == 0 ? FILE_ATTRIBUTE_NORMAL : value;
    return ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) != 0;
}

} // namespace

bool Win32FileSystem::setAttributes(const std::string& path, std::uint32_t value) {
    const auto held = hold(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (!held || held->isReparsePoint()) {
        return false;
    }
    // The directory bit follows the object; what the word cannot say is kept.
    const DWORD kept = held->info.dwFileAttributes & keptBits;
    return writeAttributes(held->entry.get(), kept | (value & writableBits));
}

bool Win32FileSystem::deleteFile(const std::string& path, bool force) {
    auto held = hold(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (!held) {
        held = hold(path, DELETE | FILE_READ_ATTRIBUTES);
    }
    if (!held || held->isFolder()) {
        return false;
    }
    const DWORD old = held->info.dwFileAttributes;
    const bool readOnly = (old & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && (!force || held->isReparsePoint() ||
                     !writeAttributes(held->entry.get(), old & (writableBits | keptBits) &
                                                             ~DWORD{FILE_ATTRIBUTE_READONLY}))) {
        return false;
    }
    // Deleted through the handle held: the entry found, not whatever the path names now.
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(held->entry.get(), FileDispositionInfo, &disposition,
                                      sizeof disposition)) {
        if (readOnly) {
            (void)writeAttributes(held->entry.get(), old & (writableBits | keptBits));
        }
        return false;
    }
    return true;
}

bool Win32FileSystem::writeFileReplacing(const std::string& rawPath, bool mayReplace,
                                         const std::function<bool(void*)>& write) {
    const std::string path = stripTrailingSeparators(rawPath);
    const std::string name = nameOf(path);
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    const std::string folder = parentOf(path);
    const auto parent = hold(folder, wayAccess);
    if (!parent || !parent->isFolder()) {
        return false;
    }
    const std::string target = join(folder, name);
    if (const auto existing = hold(target, FILE_READ_ATTRIBUTES)) {
        // Only a plain file is replaced; a folder, a reparse point or a device stays.
        if (!mayReplace || existing->isReparsePoint() ||
            (existing->info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return false;
        }
    }
    // A fresh file beside the target, renamed over it: nothing is written into the old one.
    static std::mt19937_64 random(std::random_device{}());
    std::wstring temporary;
    Handle out;
    for (int attempt = 0; attempt < 100 && !out.valid(); ++attempt) {
        char unique[40];
        std::snprintf(unique, sizeof unique, ".tarnwick-%012llx.tmp",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        temporary = apiPath(join(folder, unique));
        out = Handle(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.valid() && ::GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    if (!out.valid()) {
        return false;
    }
    const bool written = write(out.get());
    out.reset();
    const bool moved = written && ::MoveFileExW(temporary.c_str(), apiPath(target).c_str(),
                                                mayReplace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
    if (!moved) {
        ::DeleteFileW(temporary.c_str());
    }
    return moved;
}

bool Win32FileSystem::copyFile(const std::string& source, const std::string& destination,
                               bool overwrite) {
    const auto from = hold(source, GENERIC_READ);
    if (!from || from->isReparsePoint() ||
        (from->info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    return writeFileReplacing(destination, overwrite, [&](void* out) {
        char buffer[64 * 1024];
        for (;;) {
            DWORD n = 0;
            if (!::ReadFile(from->entry.get(), buffer, sizeof buffer, &n, nullptr)) {
                return false;
            }
            if (n == 0) {
                return true;
            }
            if (!writeAll(out, buffer, n)) {
                return false;
            }
        }
    });
}

// Renamed through the handle held, never over an existing entry: the entry found is the one
// renamed, not whatever the path names by then.
bool Win32FileSystem::renameItem(const std::string& rawPath, const std::string& newName) {
    const std::string path = stripTrailingSeparators(rawPath);
    if (newName.empty() || newName == "." || newName == ".." ||
        newName.find_first_of("\\/:") != std::string::npos) {
        return false;
    }
    const auto held = hold(path, DELETE | FILE_READ_ATTRIBUTES);
    if (!held || held->isReparsePoint() || nameOf(path).empty()) {
        return false;
    }
    const std::string target = join(parentOf(path), newName);
    if (hold(target, FILE_READ_ATTRIBUTES)) {
        return false;
    }
    const std::wstring wide = apiPath(target);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + wide.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    std::copy(wide.begin(), wide.end(), info->FileName);
    return ::SetFileInformationByHandle(held->entry.get(), FileRenameInfo, info,
                                        static_cast<DWORD>(buffer.size())) != 0;
}

bool Win32FileSystem::mkDir(const std::string& rawPath) {
    const std::string path = stripTrailingSeparators(rawPath);
    const std::string name = nameOf(path);
    const std::string folder = parentOf(path);
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    const auto parent = hold(folder, wayAccess);
    return parent && parent->isFolder() &&
           ::CreateDirectoryW(apiPath(join(folder, name)).c_str(), nullptr) != 0;
}

std::optional<std::uint64_t> Win32FileSystem::fileLen(const std::string& path) {
    const auto held = hold(path, FILE_READ_ATTRIBUTES);
    if (!held || held->isFolder()) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(held->info.nFileSizeHigh) << 32) | held->info.nFileSizeLow;
}

std::unique_ptr<LineReader> Win32FileSystem::openText(const std::string& path) {
    auto held = hold(path, GENERIC_READ);
    if (!held || held->isReparsePoint() ||
        (held->info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return nullptr;
    }
    return win32::lineReaderOf(std::move(held->entry));
}

std::unique_ptr<ByteReader> Win32FileSystem::openRead(const std::string& path) {
    auto held = hold(path, GENERIC_READ);
    if (!held || held->isReparsePoint() ||
        (held->info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return nullptr;
    }
    return win32::byteReaderOf(std::move(held->entry));
}

bool Win32FileSystem::writeTextLines(const std::string& path,
                                     const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += win32::toAnsi(line);
        text += "\r\n";
    }
    return writeFileReplacing(path, true,
                              [&](void* out) { return writeAll(out, text.data(), text.size()); });
}

bool Win32FileSystem::writeUtf8Lines(const std::string& path,
                                     const std::vector<std::string>& lines) {
    std::string text = "\xEF\xBB\xBF";
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return writeFileReplacing(path, true,
                              [&](void* out) { return writeAll(out, text.data(), text.size()); });
}

std::unique_ptr<FileSystem> Win32FileSystem::pinDrive(const std::string& root) {
    Win32FileSystem& outside = m_outside != nullptr ? *m_outside : *this;
    return std::unique_ptr<FileSystem>(new Win32FileSystem(outside, root));
}

bool Win32FileSystem::denyEveryone(const std::string& /*folder*/) {
    return false;
}

bool Win32FileSystem::deniesEveryone(const std::string& folder) {
    const auto held = hold(folder, READ_CONTROL | FILE_READ_ATTRIBUTES);
    if (!held || !held->isFolder()) {
        return false;
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(held->entry.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool denies = false;
    void* ace = nullptr;
    // No list, or a null one, lets everyone in; exactly one entry denying Everyone keeps
    // everyone out.
    if (dacl != nullptr && dacl->AceCount == 1 && ::GetAce(dacl, 0, &ace)) {
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE &&
            (header->AceFlags & INHERIT_ONLY_ACE) == 0 &&
            ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                       &everyone)) {
            const auto* denied = static_cast<const ACCESS_DENIED_ACE*>(ace);
            const auto sid = const_cast<DWORD*>(&denied->SidStart);
            denies = (denied->Mask & fileAllAccess) == fileAllAccess &&
                     ::EqualSid(static_cast<PSID>(sid), everyone);
            ::FreeSid(everyone);
        }
    }
    ::LocalFree(descriptor);
    return denies;
}

std::optional<std::string> Win32FileSystem::resolveOnDrive(const std::string& rawRoot,
                                                           const std::string& target) {
    if (target.empty() || target.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    const std::string root = stripTrailingSeparators(rawRoot);
    std::string relative = target;
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (target.size() >= 2 && target[1] == ':') {
        // A path on a drive: it must be this one.
        if (win32::isDriveLetterRoot(root) && upper(target[0]) == upper(root[0])) {
            relative = target.substr(2);
        } else if (isAtOrBelow(target, root)) {
            relative = target.substr(root.size());
        } else {
            return std::nullopt;
        }
    } else if (target.size() >= 2 && isSeparator(target[0]) && isSeparator(target[1])) {
        if (!isAtOrBelow(target, root)) {
            return std::nullopt; // another machine's share
        }
        relative = target.substr(root.size());
    }
    const auto parts = splitParts(relative);
    if (!parts) {
        return std::nullopt;
    }
    std::string path = root;
    for (const std::string& part : *parts) {
        path = join(path, part);
    }
    const Handle rootHandle = openPath(root, FILE_READ_ATTRIBUTES, shareAll, true);
    BY_HANDLE_FILE_INFORMATION rootInfo{};
    if (!infoOf(rootHandle, rootInfo)) {
        return std::nullopt;
    }
    const auto held = walk(root, rootInfo, *parts, FILE_READ_ATTRIBUTES);
    if (!held) {
        return std::nullopt;
    }
    if (held->isReparsePoint()) {
        // The link itself is on the drive; one that leads off it (or nowhere) is not taken.
        const Handle followed = openPath(path, FILE_READ_ATTRIBUTES, shareAll, true);
        BY_HANDLE_FILE_INFORMATION info{};
        if (!infoOf(followed, info) || info.dwVolumeSerialNumber != rootInfo.dwVolumeSerialNumber) {
            return std::nullopt;
        }
    }
    return path;
}

} // namespace tw
