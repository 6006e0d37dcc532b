#include "win32/Win32FileSystem.h"

#include "drive/DeclaredDrives.h"
#include "win32/Win32Acl.h"
#include "win32/Win32Handle.h"
#include "win32/Win32Nt.h"
#include "win32/Win32Readers.h"
#include "win32/Win32Text.h"

#include <windows.h>
#include <aclapi.h>
#include <winternl.h>

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

bool sameText(const std::string& a, const std::string& b) {
    const std::wstring x = widen(a);
    const std::wstring y = widen(b);
    return ::CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(),
                                  static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

bool sameText(const std::wstring& x, const std::wstring& y) {
    return ::CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(),
                                  static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

bool isReparse(const BY_HANDLE_FILE_INFORMATION& info) {
    return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The entry of a place opened with access.
win32::Opened openEntry(const win32::Place& place, DWORD access, DWORD share = shareAll) {
    return win32::openAt(place.folder, place.name, access, share, FILE_OPEN, 0);
}

// A folder or drive root opened by its path, following what the system follows.
Handle openFolderByPath(const std::wstring& apiFolder) {
    std::wstring folder = apiFolder;
    if (folder.empty() || folder.back() != L'\\') {
        folder += L'\\'; // "\\?\E:" alone would name the volume, not its root folder
    }
    return Handle(::CreateFileW(folder.c_str(), wayAccess | SYNCHRONIZE, shareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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

std::optional<win32::Place> Win32FileSystem::locate(const std::string& rawPath, Presence& failure) {
    failure = Presence::unknown;
    const std::string path = stripTrailingSeparators(rawPath);
    if (path.empty() || path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    if (m_pin) {
        if (!isAtOrBelow(path, m_pin->root)) {
            return m_outside->locate(path, failure);
        }
        // The held root must still be there: a drive pulled out fails here.
        BY_HANDLE_FILE_INFORMATION now{};
        if (!m_pin->opened || !infoOf(m_pin->handle, now) || !sameObject(now, m_pin->info)) {
            return std::nullopt;
        }
        const auto parts = splitParts(path.substr(m_pin->root.size()));
        return parts ? win32::walkFrom(m_pin->handle.get(), *parts, failure) : std::nullopt;
    }
    if (const auto guard = guardOf(path)) {
        // Below a removable drive's root nothing leads through a reparse point.
        Handle root = openFolderByPath(apiPath(*guard));
        const auto parts = splitParts(path.substr(guard->size()));
        if (!root.valid() || !parts) {
            return std::nullopt;
        }
        auto place = win32::walkFrom(root.get(), *parts, failure);
        if (place) {
            if (place->way.empty()) {
                place->owned = std::move(root);
            } else {
                place->way.insert(place->way.begin(), std::move(root));
            }
        }
        return place;
    }
    // Elsewhere the folder that holds the entry is opened by its path, as the system finds
    // it; the entry itself is then opened in it, never through a reparse point.
    win32::Place place;
    const std::wstring full = apiPath(path);
    const bool driveRoot =
        win32::isDriveLetterRoot(path) ||
        std::find(m_driveRoots.begin(), m_driveRoots.end(), path) != m_driveRoots.end();
    const auto cut = full.find_last_of(L'\\');
    const std::wstring parent = full.substr(0, cut == std::wstring::npos ? 0 : cut);
    if (driveRoot || cut == std::wstring::npos || cut + 1 == full.size()) {
        place.owned = openFolderByPath(full); // a root: the folder itself
    } else {
        place.owned = openFolderByPath(parent);
        place.name = full.substr(cut + 1);
        if (!place.owned.valid()) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                error == ERROR_DIRECTORY) {
                // Absent only when the folder above it could be read.
                const Presence above = lookup(parentOf(path));
                failure = above == Presence::absent || above == Presence::file ? Presence::absent
                                                                               : Presence::unknown;
            }
            return std::nullopt;
        }
    }
    if (!place.owned.valid()) {
        return std::nullopt;
    }
    place.folder = place.owned.get();
    return place;
}

std::optional<Held> Win32FileSystem::hold(const std::string& path, unsigned long access,
                                          unsigned long share) {
    Presence failure = Presence::unknown;
    auto place = locate(path, failure);
    if (!place) {
        return std::nullopt;
    }
    win32::Opened opened = openEntry(*place, access, share);
    Held held;
    held.entry = std::move(opened.handle);
    if (!win32::succeeded(opened.status) || !infoOf(held.entry, held.info)) {
        return std::nullopt;
    }
    held.way = std::move(place->way);
    if (place->owned.valid()) {
        held.way.push_back(std::move(place->owned));
    }
    return held;
}

Presence Win32FileSystem::lookup(const std::string& path) {
    Presence failure = Presence::unknown;
    const auto place = locate(path, failure);
    if (!place) {
        return failure;
    }
    const win32::Opened opened = openEntry(*place, FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info{};
    if (win32::succeeded(opened.status) && infoOf(opened.handle, info)) {
        const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        return folder ? Presence::folder : Presence::file;
    }
    if (opened.status == win32::status::deletePending) {
        return Presence::file; // still there until the last handle on it closes
    }
    // The holding folder is open, so "no such name" from it is an answer about the name.
    return !place->name.empty() && win32::saysAbsent(opened.status) ? Presence::absent
                                                                    : Presence::unknown;
}

Win32FileSystem::Identity Win32FileSystem::identityOf(const Held& held) {
    const auto wide = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    const BY_HANDLE_FILE_INFORMATION& i = held.info;
    return Identity{i.dwVolumeSerialNumber, wide(i.nFileIndexHigh, i.nFileIndexLow),
                    wide(i.nFileSizeHigh, i.nFileSizeLow),
                    wide(i.ftLastWriteTime.dwHighDateTime, i.ftLastWriteTime.dwLowDateTime)};
}

bool Win32FileSystem::fileExists(const std::string& path) {
    return lookup(path) == Presence::file;
}

bool Win32FileSystem::folderExists(const std::string& path) {
    return lookup(path) == Presence::folder;
}

// The held folder's listing carries size and attributes for every entry at no extra cost.
std::optional<std::vector<EntryInfo>> Win32FileSystem::list(const std::string& rawFolder,
                                                            ListDetail /*detail*/) {
    const std::string folder = stripTrailingSeparators(rawFolder);
    const auto held = hold(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES);
    if (!held || !held->isFolder()) {
        return std::nullopt;
    }
    // Listed through the handle held: the folder itself, not whatever its path names now.
    // Kind, size and attribute word come with the names.
    auto listed = win32::listAt(held->entry.get());
    if (!listed) {
        return std::nullopt;
    }
    std::vector<EntryInfo> entries;
    entries.reserve(listed->size());
    for (win32::Listed& l : *listed) {
        EntryInfo e;
        e.name = win32::narrow(l.name);
        e.path = join(folder, e.name);
        if ((l.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            e.kind = EntryKind::link;
        } else if ((l.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            e.kind = EntryKind::folder;
        } else if ((l.attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
            e.kind = EntryKind::other;
        } else {
            e.kind = EntryKind::file;
            e.size = l.size;
        }
        e.attributes = coreAttributes(l.attributes);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::optional<std::vector<Entry>> Win32FileSystem::children(const std::string& folder,
                                                            bool folders) {
    auto listed = list(folder);
    if (!listed) {
        return std::nullopt;
    }
    std::vector<Entry> entries;
    for (EntryInfo& e : *listed) {
        if ((e.kind == EntryKind::folder) == folders) {
            entries.push_back(Entry{std::move(e.path), std::move(e.name)});
        }
    }
    return entries;
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

bool Win32FileSystem::setAttributes(const std::string& path, std::uint32_t value) {
    const auto held = hold(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (!held || held->isReparsePoint()) {
        return false;
    }
    return win32::writeAttributeWord(held->entry.get(), held->info.dwFileAttributes, value);
}

bool Win32FileSystem::deleteFile(const std::string& path, bool force) {
    auto held = hold(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (!held) {
        held = hold(path, DELETE | FILE_READ_ATTRIBUTES);
    }
    // The file last opened for reading at this path must be the one deleted: a file put in
    // its place after its bytes were copied stays.
    std::optional<Identity> read;
    if (m_lastRead && sameText(stripTrailingSeparators(path), m_lastRead->path)) {
        read = m_lastRead->file;
        m_lastRead.reset();
    }
    if (!held || held->isFolder() || (read && identityOf(*held) != *read)) {
        return false;
    }
    const BY_HANDLE_FILE_INFORMATION& now = held->info;
    const bool readOnly = (now.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && (!force || held->isReparsePoint())) {
        return false;
    }
    // Deleted through the handle held: the entry found, not whatever the path names now.
    const win32::Status atOnce = win32::disposeAtOnce(held->entry.get(), readOnly);
    if (!win32::isUnsupported(atOnce)) {
        return win32::succeeded(atOnce);
    }
    // The classic deletion takes effect when the last handle closes. Made only while no one
    // else holds the file: a deletion left pending on another program's handle could land
    // after the program has judged the file to be still there.
    const Identity found = identityOf(*held);
    held.reset();
    const auto alone = hold(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0);
    return alone && !alone->isFolder() && identityOf(*alone) == found &&
           win32::succeeded(win32::disposeOnClose(alone->entry.get(), readOnly));
}

bool Win32FileSystem::writeFileReplacing(const std::string& path, bool mayReplace,
                                         const std::function<bool(void*)>& write) {
    if (m_lastRead && sameText(stripTrailingSeparators(path), m_lastRead->path)) {
        m_lastRead.reset();
    }
    Presence failure = Presence::unknown;
    const auto place = locate(path, failure);
    if (!place || place->name.empty()) {
        return false;
    }
    {
        // Closed before the rename: an open file cannot be replaced.
        const win32::Opened existing = openEntry(*place, FILE_READ_ATTRIBUTES);
        BY_HANDLE_FILE_INFORMATION info{};
        if (win32::succeeded(existing.status)) {
            // Only a plain file is replaced; a folder, a reparse point or a device stays.
            if (!mayReplace || !infoOf(existing.handle, info) ||
                (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY |
                                          FILE_ATTRIBUTE_DEVICE)) != 0) {
                return false;
            }
        } else if (!win32::saysAbsent(existing.status)) {
            return false;
        }
    }
    // A fresh file beside the target, renamed over it: nothing is written into the old one.
    static std::mt19937_64 random(std::random_device{}());
    win32::Opened out;
    for (int attempt = 0; attempt < 100 && !out.handle.valid(); ++attempt) {
        char unique[40];
        std::snprintf(unique, sizeof unique, ".tarnwick-%012llx.tmp",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        out = win32::openAt(place->folder, widen(unique), GENERIC_WRITE | DELETE, 0, FILE_CREATE,
                            FILE_NON_DIRECTORY_FILE);
        if (!win32::succeeded(out.status) && out.status != win32::status::nameCollision) {
            return false;
        }
    }
    if (!out.handle.valid()) {
        return false;
    }
    const bool moved =
        write(out.handle.get()) &&
        win32::succeeded(win32::renameAt(out.handle.get(), place->folder, place->name, mayReplace));
    if (!moved) {
        (void)win32::dispose(out.handle.get(), false);
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

// Renamed through the handle of the entry found, relative to the folder that holds it, never
// over an existing entry: the entry found is the one renamed, not whatever the path names by
// then.
bool Win32FileSystem::renameItem(const std::string& path, const std::string& newName) {
    if (newName.empty() || newName == "." || newName == ".." ||
        newName.find_first_of("\\/:*?\"<>|") != std::string::npos ||
        newName.find('\0') != std::string::npos) {
        return false;
    }
    Presence failure = Presence::unknown;
    const auto place = locate(path, failure);
    if (!place || place->name.empty()) {
        return false;
    }
    const win32::Opened entry = win32::openAt(
        place->folder, place->name, DELETE | FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN, 0);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!win32::succeeded(entry.status) || !infoOf(entry.handle, info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    return win32::succeeded(
        win32::renameAt(entry.handle.get(), place->folder, widen(newName), false));
}

bool Win32FileSystem::mkDir(const std::string& path) {
    Presence failure = Presence::unknown;
    const auto place = locate(path, failure);
    return place && !place->name.empty() &&
           win32::succeeded(win32::openAt(place->folder, place->name, FILE_LIST_DIRECTORY, shareAll,
                                          FILE_CREATE, FILE_DIRECTORY_FILE)
                                .status);
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
    m_lastRead = ReadRecord{stripTrailingSeparators(path), identityOf(*held)};
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
    const bool denies = win32::locksEveryoneOut(dacl);
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
    Handle owned;
    HANDLE folder = nullptr;
    if (m_pin && sameText(root, m_pin->root)) {
        BY_HANDLE_FILE_INFORMATION now{};
        if (!m_pin->opened || !infoOf(m_pin->handle, now) || !sameObject(now, m_pin->info)) {
            return std::nullopt;
        }
        folder = m_pin->handle.get();
    } else {
        owned = openFolderByPath(apiPath(root));
        folder = owned.get();
    }
    BY_HANDLE_FILE_INFORMATION rootInfo{};
    if (folder == nullptr || folder == INVALID_HANDLE_VALUE ||
        ::GetFileInformationByHandle(folder, &rootInfo) == 0) {
        return std::nullopt;
    }
    // Each name as the folder spells it: the name itself, else the one equal to it ignoring
    // case, else the one whose short (8.3) name it is. Then opened in the held folder.
    std::vector<Handle> way;
    std::string path = root;
    for (std::size_t i = 0; i < parts->size(); ++i) {
        const std::wstring given = widen((*parts)[i]);
        if (!win32::isPlainName(given)) {
            return std::nullopt;
        }
        std::wstring name = given;
        if (const auto listed = win32::listAt(folder)) {
            const auto match = [&](auto&& equal) {
                return std::find_if(listed->begin(), listed->end(), equal);
            };
            auto it = match([&](const win32::Listed& l) { return l.name == given; });
            if (it == listed->end()) {
                it = match([&](const win32::Listed& l) { return sameText(l.name, given); });
            }
            if (it == listed->end()) {
                it = match([&](const win32::Listed& l) {
                    return !l.shortName.empty() && sameText(l.shortName, given);
                });
            }
            if (it == listed->end()) {
                return std::nullopt;
            }
            name = it->name;
        }
        path = join(path, win32::narrow(name));
        if (i + 1 < parts->size()) {
            win32::Opened next = win32::openWay(folder, name);
            if (!win32::succeeded(next.status)) {
                return std::nullopt;
            }
            folder = next.handle.get();
            way.push_back(std::move(next.handle));
            continue;
        }
        const win32::Opened entry =
            win32::openAt(folder, name, FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN, 0);
        BY_HANDLE_FILE_INFORMATION info{};
        if (!win32::succeeded(entry.status) || !infoOf(entry.handle, info)) {
            return std::nullopt;
        }
        if (isReparse(info)) {
            // The link itself is on the drive; one that leads off it (or nowhere) is not
            // taken.
            const Handle followed = openPath(path, FILE_READ_ATTRIBUTES, shareAll, true);
            BY_HANDLE_FILE_INFORMATION leadsTo{};
            if (!infoOf(followed, leadsTo) ||
                leadsTo.dwVolumeSerialNumber != rootInfo.dwVolumeSerialNumber) {
                return std::nullopt;
            }
        }
    }
    return path;
}

} // namespace tw
