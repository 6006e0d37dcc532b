#include "win32/Win32Quarantine.h"

#include "win32/Win32FileSystem.h"
#include "win32/Win32Handle.h"
#include "win32/Win32Nt.h"
#include "win32/Win32Text.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>

namespace tw {

namespace {

using win32::apiPath;
using win32::Handle;

constexpr const char* lockName = "lock";
constexpr std::size_t chunk = 64 * 1024;
// Folders held open on the way may be read and written but never renamed or deleted.
constexpr DWORD shareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
// The other program holding the lock is waited for in pauses, at most this long.
constexpr DWORD lockWaitMs = 30000;
constexpr DWORD lockPauseMs = 20;

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string join(const std::string& folder, const std::string& name) {
    return !folder.empty() && isSeparator(folder.back()) ? folder + name : folder + "\\" + name;
}

// The length of an absolute path's root ("E:\" or "\\server\share\"); 0 when it has none.
std::size_t rootLength(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && isSeparator(path[2])) {
        return 3;
    }
    if (path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        const auto server = path.find_first_of("\\/", 2);
        const auto share =
            server == std::string::npos ? server : path.find_first_of("\\/", server + 1);
        return share == std::string::npos ? 0 : share + 1;
    }
    return 0;
}

// A folder (not a reparse point) held open so that it cannot be renamed or deleted meanwhile.
Handle holdFolder(const std::string& path) {
    Handle h(::CreateFileW(apiPath(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                           shareNoDelete, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h.valid() || !::GetFileInformationByHandle(h.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return Handle();
    }
    return h;
}

bool isMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Creates the folders of path that are missing.
bool makeFolders(const std::string& path) {
    const std::size_t root = rootLength(path);
    for (std::size_t sep = path.find_first_of("\\/", root);;
         sep = path.find_first_of("\\/", sep + 1)) {
        const std::string prefix = path.substr(0, sep);
        if (prefix.size() > root && !::CreateDirectoryW(apiPath(prefix).c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
        if (sep == std::string::npos) {
            return true;
        }
    }
}

// Opens an entry itself, never what a reparse point leads to.
Handle openEntry(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return Handle(::CreateFileW(apiPath(path).c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// A plain file on a disk: not a folder, not a reparse point, not a pipe or device.
bool isRegular(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// Seconds since 1970-01-01 UTC of a file time.
std::int64_t unixTime(const FILETIME& time) {
    const std::uint64_t ticks =
        (std::uint64_t{time.dwHighDateTime} << 32) | std::uint64_t{time.dwLowDateTime};
    return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600;
}

class HandleReader final : public ByteReader {
public:
    explicit HandleReader(Handle h) : m_h(std::move(h)) {}
    std::optional<std::size_t> read(char* buffer, std::size_t size) override {
        DWORD n = 0;
        if (!::ReadFile(m_h.get(), buffer, static_cast<DWORD>(std::min(size, chunk)), &n,
                        nullptr)) {
            return std::nullopt;
        }
        return n;
    }

private:
    Handle m_h;
};

// A file being written, opened with the right to delete it: unless kept, it goes through
// its own handle, so nothing that took its name meanwhile is touched. The folders on the way
// to it stay held until then.
class Win32Writer final : public FileWriter {
public:
    Win32Writer(Handle file, std::vector<Handle> way)
        : m_file(std::move(file)), m_way(std::move(way)) {}
    ~Win32Writer() override {
        if (!m_kept) {
            // Read-only once its attribute word is written: it goes all the same.
            (void)win32::dispose(m_file.get(), true);
        }
    }
    Win32Writer(const Win32Writer&) = delete;
    Win32Writer& operator=(const Win32Writer&) = delete;

    bool write(const char* data, std::size_t size) override {
        while (size > 0) {
            const DWORD part = static_cast<DWORD>(std::min(size, chunk));
            DWORD written = 0;
            if (!::WriteFile(m_file.get(), data, part, &written, nullptr) || written == 0) {
                return false;
            }
            data += written;
            size -= written;
        }
        return true;
    }
    bool flush() override { return ::FlushFileBuffers(m_file.get()) != 0; }
    bool keep() override {
        m_kept = true;
        m_file.reset();
        return true;
    }
    // On the handle written through: the file made here, whatever its name leads to now.
    std::optional<bool> setAttributes(std::uint32_t word) override {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(m_file.get(), &info)) {
            return false;
        }
        (void)win32::writeAttributeWord(m_file.get(), info.dwFileAttributes, word);
        return ::GetFileInformationByHandle(m_file.get(), &info) != 0 &&
               coreAttributes(info.dwFileAttributes) == word;
    }

private:
    Handle m_file;
    std::vector<Handle> m_way;
    bool m_kept = false;
};

Handle createNew(const std::string& path) {
    return Handle(::CreateFileW(
        apiPath(path).c_str(), GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0, nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

class Win32StoreFolder final : public StoreFolder {
public:
    Win32StoreFolder(std::string path, Handle folder)
        : m_path(std::move(path)), m_folder(std::move(folder)) {}

    // The lock file opened without sharing; another program that holds it is waited for,
    // in pauses and for a bounded time.
    bool lock() override {
        const std::string path = at(lockName);
        bool replaced = false;
        for (DWORD waited = 0;; waited += lockPauseMs) {
            Handle lock = openEntry(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
            if (lock.valid() && isRegular(lock.get())) {
                m_lock = std::move(lock);
                return true;
            }
            if (lock.valid() || (::GetLastError() != ERROR_SHARING_VIOLATION && !replaced)) {
                // Anything else in its place is not ours: it goes, once.
                lock.reset();
                if (replaced || !remove(lockName)) {
                    return false;
                }
                replaced = true;
                continue;
            }
            if (::GetLastError() != ERROR_SHARING_VIOLATION || waited >= lockWaitMs) {
                return false;
            }
            ::Sleep(lockPauseMs);
        }
    }

    std::unique_ptr<FileWriter> create(const std::string& name) override {
        Handle file = createNew(at(name));
        return file.valid() ? std::make_unique<Win32Writer>(std::move(file), std::vector<Handle>{})
                            : nullptr;
    }

    std::unique_ptr<ByteReader> read(const std::string& name) override {
        Handle in = openEntry(at(name), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        if (!in.valid() || !isRegular(in.get())) {
            return nullptr;
        }
        return std::make_unique<HandleReader>(std::move(in));
    }

    bool rename(const std::string& from, const std::string& to, bool replace) override {
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
        return ::MoveFileExW(apiPath(at(from)).c_str(), apiPath(at(to)).c_str(), flags) != 0;
    }

    bool remove(const std::string& name) override {
        const std::wstring path = apiPath(at(name));
        return ::DeleteFileW(path.c_str()) != 0 || ::RemoveDirectoryW(path.c_str()) != 0;
    }

    // One still being written is open without sharing: its deletion fails.
    void removeLeftover(const std::string& name) override {
        ::DeleteFileW(apiPath(at(name)).c_str());
    }

    std::optional<std::vector<StoredEntry>> list() override {
        WIN32_FIND_DATAW data{};
        const HANDLE find = ::FindFirstFileW((apiPath(m_path) + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) {
            return std::nullopt;
        }
        std::vector<StoredEntry> entries;
        do {
            StoredEntry entry;
            entry.name = win32::narrow(data.cFileName);
            if (entry.name == "." || entry.name == "..") {
                continue;
            }
            const DWORD a = data.dwFileAttributes;
            entry.kind = (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::link
                         : (a & FILE_ATTRIBUTE_DIRECTORY) != 0   ? EntryKind::folder
                         : (a & FILE_ATTRIBUTE_DEVICE) != 0      ? EntryKind::other
                                                                 : EntryKind::file;
            entry.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
            entry.time = unixTime(data.ftLastWriteTime);
            entries.push_back(std::move(entry));
        } while (::FindNextFileW(find, &data));
        const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
        ::FindClose(find);
        return complete ? std::optional(std::move(entries)) : std::nullopt;
    }

    std::optional<std::uint64_t> freeSpace() override {
        ULARGE_INTEGER space{};
        if (!::GetDiskFreeSpaceExW(apiPath(m_path).c_str(), &space, nullptr, nullptr)) {
            return std::nullopt;
        }
        return space.QuadPart;
    }

private:
    [[nodiscard]] std::string at(const std::string& name) const { return join(m_path, name); }

    std::string m_path;
    Handle m_folder;
    Handle m_lock;
};

// The place of name in a folder given by its absolute path: the root opened by its path,
// then each folder below it opened in the one above and held, none of them a reparse point,
// so that nothing on the way can be swapped for a link while the entry is made.
std::optional<win32::Place> placeIn(const std::string& folder, const std::string& name) {
    const std::size_t root = rootLength(folder);
    if (root == 0) {
        return std::nullopt;
    }
    Handle top(::CreateFileW(
        apiPath(folder.substr(0, root)).c_str(),
        FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!top.valid() || !::GetFileInformationByHandle(top.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> parts;
    for (std::size_t start = root; start < folder.size();) {
        auto end = folder.find_first_of("\\/", start);
        if (end == std::string::npos) {
            end = folder.size();
        }
        std::string part = folder.substr(start, end - start);
        start = end + 1;
        if (part == "..") {
            return std::nullopt;
        }
        if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
    }
    parts.push_back(name);
    Presence failure = Presence::unknown;
    auto place = win32::walkFrom(top.get(), parts, failure);
    if (place) {
        place->way.insert(place->way.begin(), std::move(top));
    }
    return place;
}

// A folder opened only to read its facts, links resolved; an invalid handle when it cannot be
// opened or is not a folder.
Handle openFolderFacts(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    Handle h(::CreateFileW(apiPath(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid() || !::GetFileInformationByHandle(h.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Handle();
    }
    return h;
}

// The folder a user named, with the links in it resolved; nothing when it is not a folder.
std::optional<std::string> finalPath(const std::string& folder) {
    BY_HANDLE_FILE_INFORMATION info{};
    const Handle h = openFolderFacts(folder, info);
    if (!h.valid()) {
        return std::nullopt;
    }
    wchar_t buffer[32768];
    const DWORD n = ::GetFinalPathNameByHandleW(h.get(), buffer, 32768, FILE_NAME_NORMALIZED);
    if (n == 0 || n >= 32768) {
        return std::nullopt;
    }
    std::wstring path(buffer, n);
    if (path.starts_with(L"\\\\?\\UNC\\")) {
        path = L"\\\\" + path.substr(8);
    } else if (path.starts_with(L"\\\\?\\")) {
        path = path.substr(4);
    }
    return win32::narrow(path);
}

bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(":\\/") == std::string::npos;
}

} // namespace

Win32QuarantinePlatform::Win32QuarantinePlatform(std::string folder) : m_folder(std::move(folder)) {
    while (m_folder.size() > 3 && isSeparator(m_folder.back())) {
        m_folder.pop_back();
    }
}

std::unique_ptr<StoreFolder> Win32QuarantinePlatform::openStore(bool create, bool& missing) {
    missing = false;
    if (rootLength(m_folder) == 0 || (create && !makeFolders(m_folder))) {
        return nullptr;
    }
    Handle folder = holdFolder(m_folder);
    if (!folder.valid()) {
        missing = isMissing(::GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32StoreFolder>(m_folder, std::move(folder));
}

std::optional<std::string> Win32QuarantinePlatform::volumeIdentity(const std::string& root) {
    if (root.empty()) {
        return std::nullopt;
    }
    const std::string path = isSeparator(root.back()) ? root : root + "\\";
    BY_HANDLE_FILE_INFORMATION info{};
    if (!openFolderFacts(path, info).valid()) {
        return std::nullopt;
    }
    char text[64];
    std::snprintf(text, sizeof text, "serial:%08lx/%08lx%08lx",
                  static_cast<unsigned long>(info.dwVolumeSerialNumber),
                  static_cast<unsigned long>(info.nFileIndexHigh),
                  static_cast<unsigned long>(info.nFileIndexLow));
    return std::string(text);
}

std::optional<std::string> Win32QuarantinePlatform::realFolder(const std::string& folder) {
    return finalPath(folder);
}

std::unique_ptr<FileWriter> Win32QuarantinePlatform::createOutside(const std::string& folder,
                                                                   const std::string& name,
                                                                   PlaceOutcome& outcome) {
    outcome = PlaceOutcome::failed;
    if (!isPlainName(name)) {
        return nullptr;
    }
    auto place = placeIn(folder, name);
    if (!place) {
        outcome = PlaceOutcome::noFolder;
        return nullptr;
    }
    // Made in the held folder, never over an existing entry nor through a reparse point.
    win32::Opened file =
        win32::openAt(place->folder, place->name, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0,
                      FILE_CREATE, FILE_NON_DIRECTORY_FILE);
    if (!win32::succeeded(file.status)) {
        outcome = file.status == win32::status::nameCollision ? PlaceOutcome::exists
                                                              : PlaceOutcome::failed;
        return nullptr;
    }
    outcome = PlaceOutcome::placed;
    return std::make_unique<Win32Writer>(std::move(file.handle), std::move(place->way));
}

PlaceOutcome Win32QuarantinePlatform::createLink(const std::string& folder, const std::string& name,
                                                 const std::string& text) {
    if (!isPlainName(name) || text.empty() || text.find('\0') != std::string::npos) {
        return PlaceOutcome::failed;
    }
    const auto place = placeIn(folder, name);
    if (!place) {
        return PlaceOutcome::noFolder;
    }
    const win32::Opened there =
        win32::openAt(place->folder, place->name, FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0);
    if (win32::succeeded(there.status) || there.status == win32::status::deletePending) {
        return PlaceOutcome::exists;
    }
    if (!win32::saysAbsent(there.status)) {
        return PlaceOutcome::failed;
    }
    // The system makes the link by its path, and never over an existing entry; the path
    // leads through the folders walked, which are held and cannot be renamed meanwhile. Where
    // the user may not make links (no privilege, no developer mode) it cannot be restored.
    constexpr DWORD unprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (::CreateSymbolicLinkW(apiPath(join(folder, name)).c_str(), win32::widen(text).c_str(),
                              unprivileged) == 0) {
        const DWORD error = ::GetLastError();
        return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? PlaceOutcome::exists
                                                                           : PlaceOutcome::failed;
    }
    // Placed only when the held folder shows it: some systems report links they never make.
    const win32::Opened made =
        win32::openAt(place->folder, place->name, FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0);
    BY_HANDLE_FILE_INFORMATION info{};
    return win32::succeeded(made.status) &&
                   ::GetFileInformationByHandle(made.handle.get(), &info) != 0 &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
               ? PlaceOutcome::placed
               : PlaceOutcome::failed;
}

std::optional<std::string> Win32Quarantine::defaultFolder() {
    std::wstring base;
    PWSTR known = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known) == S_OK &&
        known != nullptr) {
        base = known;
    } else {
        wchar_t buffer[32768];
        const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, 32768);
        if (n > 0 && n < 32768) {
            base.assign(buffer, n);
        }
    }
    ::CoTaskMemFree(known);
    const std::string folder = win32::narrow(base);
    if (rootLength(folder) == 0) {
        return std::nullopt;
    }
    return join(folder, "Tarnwick\\Quarantine");
}

} // namespace tw
