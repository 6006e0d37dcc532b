#include "win32/Win32Quarantine.h"

#include "drive/Sha256.h"
#include "win32/Win32Handle.h"
#include "win32/Win32Text.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <random>

namespace tw {

namespace {

using win32::apiPath;
using win32::Handle;

constexpr const char* manifestName = "manifest";
constexpr const char* manifestNew = "manifest.new";
constexpr const char* lockName = "lock";
constexpr std::size_t chunk = 64 * 1024;
// Folders held open on the way may be read and written but never renamed or deleted.
constexpr DWORD shareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
// The other program holding the lock is waited for in pauses, at most this long.
constexpr DWORD lockWaitMs = 30000;
constexpr DWORD lockPauseMs = 20;

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string dataName(const std::string& id) {
    return id + ".bin";
}

std::string partName(const std::string& id) {
    return id + ".part";
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string join(const std::string& folder, const std::string& name) {
    return !folder.empty() && isSeparator(folder.back()) ? folder + name : folder + "\\" + name;
}

std::string parentOf(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    if (sep == std::string::npos) {
        return {};
    }
    // "E:\x" lies in "E:\", not in the drive's current folder "E:".
    return sep == 2 && path[1] == ':' ? path.substr(0, 3) : path.substr(0, sep);
}

std::string nameOf(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
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

bool writeAll(HANDLE h, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD part = size > chunk ? static_cast<DWORD>(chunk) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(h, data, part, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

std::optional<std::size_t> readSome(HANDLE h, char* buffer, std::size_t size) {
    DWORD n = 0;
    if (!::ReadFile(h, buffer, static_cast<DWORD>(std::min(size, chunk)), &n, nullptr)) {
        return std::nullopt;
    }
    return n;
}

Handle openFile(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return Handle(::CreateFileW(apiPath(path).c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
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

// The store's folder and its lock, held for one operation.
struct Store {
    std::string path;
    Handle folder;
    Handle lock;
    [[nodiscard]] std::string at(const std::string& name) const { return join(path, name); }
};

// Opens the store's folder, creating it first when asked; never reached through a reparse
// point at its last step.
Handle openFolder(const std::string& path, bool create, bool& missing) {
    missing = false;
    if (rootLength(path) == 0 || (create && !makeFolders(path))) {
        return Handle();
    }
    Handle folder = holdFolder(path);
    if (!folder.valid()) {
        missing = isMissing(::GetLastError());
    }
    return folder;
}

// Takes the store's lock: the lock file opened without sharing. Another program that holds
// it is waited for, in pauses and for a bounded time.
Handle lockStore(const Store& store) {
    const std::string path = store.at(lockName);
    for (DWORD waited = 0;; waited += lockPauseMs) {
        Handle lock = openFile(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
        if (lock.valid() || ::GetLastError() != ERROR_SHARING_VIOLATION || waited >= lockWaitMs) {
            return lock;
        }
        ::Sleep(lockPauseMs);
    }
}

std::optional<Store> openStore(const std::string& path, bool create, bool& missing) {
    Store store;
    store.path = path;
    store.folder = openFolder(path, create, missing);
    if (!store.folder.valid()) {
        return std::nullopt;
    }
    store.lock = lockStore(store);
    if (!store.lock.valid()) {
        return std::nullopt;
    }
    return store;
}

std::optional<std::string> readManifest(const Store& store) {
    const Handle in =
        openFile(store.at(manifestName), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!in.valid()) {
        return std::nullopt;
    }
    std::string text;
    std::array<char, chunk> buffer{};
    while (const auto n = readSome(in.get(), buffer.data(), buffer.size())) {
        if (*n == 0) {
            return text;
        }
        text.append(buffer.data(), *n);
    }
    return std::nullopt;
}

bool moveWriteThrough(const std::string& from, const std::string& to, DWORD flags = 0) {
    return ::MoveFileExW(apiPath(from).c_str(), apiPath(to).c_str(),
                         flags | MOVEFILE_WRITE_THROUGH) != 0;
}

// A fresh file, flushed, moved over the manifest: the manifest is always either the old one
// or the new one, whole.
bool saveManifest(const Store& store, const std::vector<QuarantineItem>& items) {
    const std::string text = encodeManifest(items);
    const std::string fresh = store.at(manifestNew);
    Handle out = openFile(fresh, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (!out.valid()) {
        return false;
    }
    const bool written =
        writeAll(out.get(), text.data(), text.size()) && ::FlushFileBuffers(out.get()) != 0;
    out.reset();
    if (!written || !moveWriteThrough(fresh, store.at(manifestName), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileW(apiPath(fresh).c_str());
        return false;
    }
    return true;
}

struct Found {
    std::string name;
    WIN32_FIND_DATAW data;
};

std::vector<Found> entriesOf(const Store& store) {
    std::vector<Found> entries;
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileW((apiPath(store.path) + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        entries.push_back({win32::narrow(data.cFileName), data});
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return entries;
}

// The fingerprint of a stored copy, read whole.
std::optional<std::string> fingerprint(const std::string& path) {
    const Handle in = openFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!in.valid()) {
        return std::nullopt;
    }
    Sha256 sha;
    std::array<char, chunk> buffer{};
    while (const auto n = readSome(in.get(), buffer.data(), buffer.size())) {
        if (*n == 0) {
            return sha.hexDigest();
        }
        sha.update(buffer.data(), *n);
    }
    return std::nullopt;
}

// Seconds since 1970-01-01 UTC of a file time.
std::int64_t unixTime(const FILETIME& time) {
    const std::uint64_t ticks =
        (std::uint64_t{time.dwHighDateTime} << 32) | std::uint64_t{time.dwLowDateTime};
    return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600;
}

// The manifest's items whose copies are there, and the copies it does not name as items of
// unknown origin. Copies left half-written by a program that ended mid-copy go; a damaged
// manifest is kept aside, and any repair is written back.
std::vector<QuarantineItem> loadItems(const Store& store) {
    const auto text = readManifest(store);
    DecodedManifest manifest = text ? decodeManifest(*text) : DecodedManifest{};
    bool changed = text && manifest.damaged;

    std::vector<std::pair<std::string, WIN32_FIND_DATAW>> copies;
    for (const Found& entry : entriesOf(store)) {
        const std::string& name = entry.name;
        if (endsWith(name, ".bin") && isQuarantineId(name.substr(0, name.size() - 4))) {
            copies.emplace_back(name.substr(0, name.size() - 4), entry.data);
        } else if (endsWith(name, ".part")) {
            // One still being written is open without sharing: its deletion fails.
            ::DeleteFileW(apiPath(store.at(name)).c_str());
        }
    }

    std::vector<QuarantineItem> items;
    for (QuarantineItem& item : manifest.items) {
        if (std::any_of(copies.begin(), copies.end(),
                        [&](const auto& copy) { return copy.first == item.id; })) {
            items.push_back(std::move(item));
        } else {
            changed = true; // a record without its copy has nothing to restore
        }
    }
    std::vector<QuarantineItem> found;
    for (const auto& [id, data] : copies) {
        const bool known = std::any_of(items.begin(), items.end(),
                                       [&](const QuarantineItem& i) { return i.id == id; });
        if (known || (data.dwFileAttributes &
                      (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
            continue;
        }
        const auto sha = fingerprint(store.at(dataName(id)));
        if (!sha) {
            continue;
        }
        QuarantineItem item;
        item.id = id;
        item.time = unixTime(data.ftLastWriteTime);
        item.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        item.sha256 = *sha;
        item.attributes = attr::archive;
        item.condemnedBy = condemned::unknown;
        found.push_back(std::move(item));
    }
    if (!found.empty()) {
        std::stable_sort(found.begin(), found.end(),
                         [](const auto& a, const auto& b) { return a.time < b.time; });
        items.insert(items.end(), found.begin(), found.end());
        changed = true;
    }

    if (text && manifest.damaged) {
        const std::string aside = "manifest.damaged-" + std::to_string(std::time(nullptr));
        (void)moveWriteThrough(store.at(manifestName), store.at(aside));
    }
    if (changed) {
        (void)saveManifest(store, items);
    }
    return items;
}

// Letters and digits from the local time, and a random tail.
std::string newId() {
    static std::random_device seed;
    static std::mt19937 random(seed());
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char id[40];
    std::snprintf(id, sizeof id, "%04u%02u%02u-%02u%02u%02u-%04x", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, static_cast<unsigned>(random() & 0xFFFF));
    return id;
}

// A folder by its absolute path, each folder from the root on held open and none of them a
// reparse point: nothing on the way can be swapped for a link while the file is written.
std::optional<std::vector<Handle>> holdWay(const std::string& path) {
    const std::size_t root = rootLength(path);
    if (root == 0) {
        return std::nullopt;
    }
    std::vector<Handle> way;
    std::string current = path.substr(0, root);
    Handle h(::CreateFileW(apiPath(current).c_str(), FILE_READ_ATTRIBUTES, shareNoDelete, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid()) {
        return std::nullopt;
    }
    way.push_back(std::move(h));
    std::size_t start = root;
    while (start < path.size()) {
        auto end = path.find_first_of("\\/", start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            return std::nullopt;
        }
        current = join(current, name);
        h = holdFolder(current);
        if (!h.valid()) {
            return std::nullopt;
        }
        way.push_back(std::move(h));
    }
    return way;
}

// The folder a user named, with the links in it resolved; nothing when it is not a folder.
std::optional<std::string> finalPath(const std::string& folder) {
    const Handle h(::CreateFileW(apiPath(folder).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h.valid() || !::GetFileInformationByHandle(h.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
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

} // namespace

Win32Quarantine::Win32Quarantine(std::string folder, FileSystem& fs, std::uint64_t bound)
    : m_folder(std::move(folder)), m_fs(fs), m_bound(bound) {
    while (m_folder.size() > 3 && isSeparator(m_folder.back())) {
        m_folder.pop_back();
    }
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

std::optional<std::string> Win32Quarantine::add(const QuarantineFacts& facts, ByteReader& content) {
    if (facts.size > m_bound) {
        return std::nullopt;
    }
    // The copy is made without the lock: another program may use the store meanwhile.
    Store store;
    store.path = m_folder;
    bool missing = false;
    store.folder = openFolder(m_folder, true, missing);
    if (!store.folder.valid()) {
        return std::nullopt;
    }
    ULARGE_INTEGER space{};
    if (::GetDiskFreeSpaceExW(apiPath(m_folder).c_str(), &space, nullptr, nullptr) &&
        space.QuadPart < facts.size) {
        return std::nullopt;
    }

    // The part file stays open without sharing until it is complete: no other program takes
    // it for a leftover meanwhile.
    std::string id;
    Handle part;
    for (int attempt = 0; attempt < 100 && !part.valid(); ++attempt) {
        id = newId();
        if (::GetFileAttributesW(apiPath(store.at(dataName(id))).c_str()) !=
            INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        part = openFile(store.at(partName(id)), GENERIC_WRITE, 0, CREATE_NEW);
        if (!part.valid() && ::GetLastError() != ERROR_FILE_EXISTS) {
            return std::nullopt;
        }
    }
    if (!part.valid()) {
        return std::nullopt;
    }
    const std::string partFile = store.at(partName(id));
    const auto fail = [&]() -> std::optional<std::string> {
        part.reset();
        ::DeleteFileW(apiPath(partFile).c_str());
        return std::nullopt;
    };

    Sha256 sha;
    std::uint64_t copied = 0;
    std::array<char, chunk> buffer{};
    for (;;) {
        const auto n = content.read(buffer.data(), buffer.size());
        if (!n) {
            return fail();
        }
        if (*n == 0) {
            break;
        }
        copied += *n;
        // A file that grows while it is copied is not the file that was judged.
        if (copied > facts.size || !writeAll(part.get(), buffer.data(), *n)) {
            return fail();
        }
        sha.update(buffer.data(), *n);
    }
    if (copied != facts.size || !::FlushFileBuffers(part.get())) {
        return fail();
    }

    QuarantineItem item;
    static_cast<QuarantineFacts&>(item) = facts;
    item.id = id;
    item.time = std::time(nullptr);
    item.sha256 = sha.hexDigest();

    store.lock = lockStore(store);
    if (!store.lock.valid()) {
        return fail();
    }
    std::vector<QuarantineItem> items = loadItems(store);
    const auto evicted = evictionFor(items, facts.size, m_bound);
    if (!evicted) {
        return fail();
    }
    part.reset();
    // Without MOVEFILE_REPLACE_EXISTING: never over a copy of the same name.
    const std::string dataFile = store.at(dataName(id));
    if (!moveWriteThrough(partFile, dataFile)) {
        return fail();
    }
    std::erase_if(items, [&](const QuarantineItem& i) {
        return std::find(evicted->begin(), evicted->end(), i.id) != evicted->end();
    });
    items.push_back(item);
    if (!saveManifest(store, items)) {
        ::DeleteFileW(apiPath(dataFile).c_str());
        return std::nullopt;
    }
    for (const std::string& old : *evicted) {
        ::DeleteFileW(apiPath(store.at(dataName(old))).c_str());
    }
    return id;
}

std::optional<std::vector<QuarantineItem>> Win32Quarantine::list() {
    bool missing = false;
    auto store = openStore(m_folder, false, missing);
    if (!store) {
        return missing ? std::optional<std::vector<QuarantineItem>>(std::in_place) : std::nullopt;
    }
    return loadItems(*store);
}

RestoreResult Win32Quarantine::restore(const std::string& id,
                                       const std::optional<std::string>& folder) {
    RestoreResult result;
    result.outcome = RestoreOutcome::unknownId;
    bool missing = false;
    auto store = isQuarantineId(id) ? openStore(m_folder, false, missing) : std::nullopt;
    if (!store) {
        if (isQuarantineId(id) && !missing) {
            result.outcome = RestoreOutcome::failed;
        }
        return result;
    }
    std::vector<QuarantineItem> items = loadItems(*store);
    const auto it = std::find_if(items.begin(), items.end(),
                                 [&](const QuarantineItem& i) { return i.id == id; });
    if (it == items.end()) {
        return result;
    }
    const QuarantineItem item = *it;

    // Where it goes: its own place, or a folder the user named, links and all, under its
    // own name (a copy of unknown origin under its id).
    std::string where;
    const std::string name = item.originalPath.empty() ? id : nameOf(item.originalPath);
    if (folder) {
        const auto real = finalPath(*folder);
        result.path = join(real ? *real : *folder, name);
        if (!real) {
            result.outcome = RestoreOutcome::noFolder;
            return result;
        }
        where = *real;
    } else if (item.originalPath.empty()) {
        result.outcome = RestoreOutcome::noOriginalPath;
        return result;
    } else {
        result.path = item.originalPath;
        where = parentOf(item.originalPath);
    }
    if (name.empty() || name == "." || name == ".." || name.find(':') != std::string::npos) {
        result.outcome = RestoreOutcome::failed;
        return result;
    }

    const auto way = holdWay(where);
    if (!way) {
        result.outcome = RestoreOutcome::noFolder;
        return result;
    }
    Handle in = openFile(store->at(dataName(id)), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!in.valid()) {
        result.outcome = RestoreOutcome::damaged;
        return result;
    }
    const std::string target = join(where, name);
    Handle out = openFile(target, GENERIC_WRITE, 0, CREATE_NEW);
    if (!out.valid()) {
        const DWORD error = ::GetLastError();
        result.outcome = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                             ? RestoreOutcome::exists
                             : RestoreOutcome::failed;
        return result;
    }
    const auto undo = [&](RestoreOutcome outcome) {
        out.reset();
        ::DeleteFileW(apiPath(target).c_str());
        result.outcome = outcome;
        return result;
    };

    Sha256 sha;
    std::uint64_t copied = 0;
    std::array<char, chunk> buffer{};
    for (;;) {
        const auto n = readSome(in.get(), buffer.data(), buffer.size());
        if (!n) {
            return undo(RestoreOutcome::damaged);
        }
        if (*n == 0) {
            break;
        }
        copied += *n;
        if (!writeAll(out.get(), buffer.data(), *n)) {
            return undo(RestoreOutcome::failed);
        }
        sha.update(buffer.data(), *n);
    }
    if (copied != item.size || sha.hexDigest() != item.sha256) {
        return undo(RestoreOutcome::damaged);
    }
    if (!::FlushFileBuffers(out.get())) {
        return undo(RestoreOutcome::failed);
    }
    out.reset();
    in.reset(); // so that the copy can go

    (void)m_fs.setAttributes(result.path, item.attributes);
    result.attributesRestored = m_fs.attributes(result.path) == item.attributes;
    result.outcome = RestoreOutcome::restored;

    items.erase(std::find_if(items.begin(), items.end(),
                             [&](const QuarantineItem& i) { return i.id == id; }));
    // Should the manifest not take the change, the copy stays listed: nothing is lost.
    if (saveManifest(*store, items)) {
        ::DeleteFileW(apiPath(store->at(dataName(id))).c_str());
    }
    return result;
}

bool Win32Quarantine::purge(const std::string& id) {
    bool missing = false;
    auto store = isQuarantineId(id) ? openStore(m_folder, false, missing) : std::nullopt;
    if (!store) {
        return false;
    }
    std::vector<QuarantineItem> items = loadItems(*store);
    const auto removed = std::erase_if(items, [&](const QuarantineItem& i) { return i.id == id; });
    if (removed == 0 || !saveManifest(*store, items)) {
        return false;
    }
    ::DeleteFileW(apiPath(store->at(dataName(id))).c_str());
    return true;
}

std::optional<std::size_t> Win32Quarantine::purgeAll() {
    bool missing = false;
    auto store = openStore(m_folder, false, missing);
    if (!store) {
        return missing ? std::optional<std::size_t>(0) : std::nullopt;
    }
    const std::vector<QuarantineItem> items = loadItems(*store);
    if (!saveManifest(*store, {})) {
        return std::nullopt;
    }
    for (const QuarantineItem& item : items) {
        ::DeleteFileW(apiPath(store->at(dataName(item.id))).c_str());
    }
    return items.size();
}

} // namespace tw
