#include "drive/QuarantineStore.h"

#include "drive/Sha256.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <random>
#include <unordered_map>
#include <unordered_set>

namespace tw {

namespace {

constexpr const char* manifestName = "manifest";
constexpr const char* manifestNew = "manifest.new";
constexpr std::size_t chunk = 64 * 1024;
constexpr std::size_t fieldsVersion1 = 9;
constexpr std::size_t fieldsVersion2 = 11;

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string dataName(const std::string& id) {
    return id + ".bin";
}

std::string partName(const std::string& id) {
    return id + ".part";
}

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

std::string escaped(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (isControl(c)) {
                const auto byte = static_cast<unsigned char>(c);
                out += "\\x";
                out += hex[byte >> 4];
                out += hex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The field's text; nothing for a bad escape, a raw control character or an escaped NUL,
// which would cut a path short wherever it is handed on.
std::optional<std::string> unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isControl(text[i])) {
            return std::nullopt;
        }
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 'x': {
            const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
            const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
            const int value = high * 16 + low;
            if (low < 0 || value == 0 || !isControl(static_cast<char>(value))) {
                return std::nullopt;
            }
            out += static_cast<char>(value);
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

template <typename T> std::optional<T> number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

bool isSha256(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

const char* kindWord(ItemKind kind) {
    switch (kind) {
    case ItemKind::link:
        return "link";
    case ItemKind::special:
        return "special";
    case ItemKind::file:
        break;
    }
    return "file";
}

std::optional<ItemKind> kindOf(std::string_view word) {
    for (const ItemKind kind : {ItemKind::file, ItemKind::link, ItemKind::special}) {
        if (word == kindWord(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

bool hasNul(const QuarantineFacts& facts) {
    for (const std::string* text :
         {&facts.originalPath, &facts.driveRoot, &facts.driveLabel, &facts.condemnedBy}) {
        if (text->find('\0') != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// Reads lines of at most a bound from a reader, holding no more than one line and one chunk.
class LineSplitter {
public:
    struct Line {
        std::string text;
        bool complete = false; // ended by a line end, not by the end of the file
        bool tooLong = false;  // its text is cut at the bound
    };

    explicit LineSplitter(ByteReader& reader) : m_reader(reader), m_buffer(chunk) {}

    // The next line; nothing at the end of the file or when reading failed.
    std::optional<Line> next() {
        Line line;
        bool started = false;
        for (;;) {
            if (m_pos == m_end) {
                if (m_atEnd) {
                    return started ? std::optional(std::move(line)) : std::nullopt;
                }
                const auto n = m_reader.read(m_buffer.data(), m_buffer.size());
                if (!n) {
                    m_failed = true;
                    m_atEnd = true;
                    return std::nullopt;
                }
                m_atEnd = *n == 0;
                m_pos = 0;
                m_end = *n;
                continue;
            }
            started = true;
            const auto* begin = m_buffer.data() + m_pos;
            const auto* end = m_buffer.data() + m_end;
            const auto* newline = std::find(begin, end, '\n');
            const auto length = static_cast<std::size_t>(newline - begin);
            const std::size_t room = manifest::maxLine - line.text.size();
            line.text.append(begin, std::min(length, room));
            line.tooLong = line.tooLong || length > room;
            m_pos += length;
            if (newline != end) {
                ++m_pos;
                line.complete = true;
                return line;
            }
        }
    }

    [[nodiscard]] bool failed() const { return m_failed; }

private:
    ByteReader& m_reader;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_atEnd = false;
    bool m_failed = false;
};

// The fingerprint of a stored copy, read whole; with its bytes when asked for them.
std::optional<std::string> fingerprint(StoreFolder& folder, const std::string& name,
                                       std::string* bytes = nullptr,
                                       std::uint64_t limit = UINT64_MAX) {
    const auto in = folder.read(name);
    if (!in) {
        return std::nullopt;
    }
    Sha256 sha;
    std::array<char, chunk> buffer{};
    std::uint64_t total = 0;
    while (const auto n = in->read(buffer.data(), buffer.size())) {
        if (*n == 0) {
            return sha.hexDigest();
        }
        total += *n;
        if (total > limit) {
            return std::nullopt;
        }
        sha.update(buffer.data(), *n);
        if (bytes != nullptr) {
            bytes->append(buffer.data(), *n);
        }
    }
    return std::nullopt;
}

// A fresh file, flushed, renamed over the manifest: the manifest is always either the old
// one or the new one, whole. Written in chunks, never held whole.
bool save(StoreFolder& folder, const std::vector<QuarantineItem>& items) {
    (void)folder.remove(manifestNew); // a leftover, whatever it is
    auto out = folder.create(manifestNew);
    if (!out) {
        return false;
    }
    std::string text(manifest::header);
    text += '\n';
    for (const QuarantineItem& item : items) {
        text += manifest::encodeLine(item);
        text += '\n';
        if (text.size() >= chunk) {
            if (!out->write(text.data(), text.size())) {
                return false;
            }
            text.clear();
        }
    }
    if (!out->write(text.data(), text.size()) || !out->flush() || !out->keep()) {
        return false;
    }
    if (!folder.rename(manifestNew, manifestName, true)) {
        (void)folder.remove(manifestNew);
        return false;
    }
    return true;
}

RestoreOutcome outcomeOf(PlaceOutcome place) {
    switch (place) {
    case PlaceOutcome::placed:
        return RestoreOutcome::restored;
    case PlaceOutcome::exists:
        return RestoreOutcome::exists;
    case PlaceOutcome::noFolder:
        return RestoreOutcome::noFolder;
    case PlaceOutcome::failed:
        break;
    }
    return RestoreOutcome::failed;
}

} // namespace

namespace manifest {

std::string encodeLine(const QuarantineItem& item) {
    const std::string fields[fieldsVersion2] = {
        item.id,
        std::to_string(item.time),
        std::to_string(item.size),
        item.sha256,
        std::to_string(item.attributes),
        kindWord(item.kind),
        item.volume,
        item.condemnedBy,
        item.driveRoot,
        item.driveLabel,
        item.originalPath,
    };
    std::string line;
    for (std::size_t i = 0; i < fieldsVersion2; ++i) {
        line += i == 0 ? "" : "\t";
        line += escaped(fields[i]);
    }
    return line;
}

std::optional<QuarantineItem> decodeLine(std::string_view line, int version) {
    const std::size_t count = version == 1 ? fieldsVersion1 : fieldsVersion2;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        auto field = unescaped(line.substr(start, tab - start));
        if (!field || fields.size() == count) {
            return std::nullopt;
        }
        fields.push_back(std::move(*field));
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }
    if (fields.size() != count) {
        return std::nullopt;
    }
    QuarantineItem item;
    item.id = fields[0];
    const auto time = number<std::int64_t>(fields[1]);
    const auto size = number<std::uint64_t>(fields[2]);
    const auto attributes = number<std::uint32_t>(fields[4]);
    if (!isQuarantineId(item.id) || !time || !size || !isSha256(fields[3]) || !attributes) {
        return std::nullopt;
    }
    item.time = *time;
    item.size = *size;
    item.sha256 = fields[3];
    item.attributes = *attributes;
    std::size_t next = 5;
    if (version != 1) {
        const auto kind = kindOf(fields[5]);
        if (!kind) {
            return std::nullopt;
        }
        item.kind = *kind;
        item.volume = fields[6];
        next = 7;
    }
    item.condemnedBy = fields[next];
    item.driveRoot = fields[next + 1];
    item.driveLabel = fields[next + 2];
    item.originalPath = fields[next + 3];
    return item;
}

} // namespace manifest

std::optional<std::vector<std::string>> evictionFor(const std::vector<QuarantineItem>& items,
                                                    std::uint64_t incoming, std::uint64_t bound,
                                                    std::int64_t now,
                                                    const std::set<std::string>& kept) {
    if (incoming > bound) {
        return std::nullopt;
    }
    std::vector<const QuarantineItem*> candidates;
    std::uint64_t total = 0;
    for (const QuarantineItem& item : items) {
        total = saturatingAdd(total, item.size);
        if (item.time <= now - evictableAge && !kept.contains(item.id)) {
            candidates.push_back(&item);
        }
    }
    // The manifest keeps items in the order they came; the time decides where it disagrees.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto* a, const auto* b) { return a->time < b->time; });
    std::vector<std::string> evicted;
    for (const QuarantineItem* item : candidates) {
        if (total <= bound - incoming) {
            break;
        }
        evicted.push_back(item->id);
        total -= std::min(total, item->size);
    }
    if (total > bound - incoming) {
        return std::nullopt;
    }
    return evicted;
}

QuarantineStore::QuarantineStore(std::unique_ptr<QuarantinePlatform> platform, FileSystem& fs,
                                 std::uint64_t bound)
    : m_platform(std::move(platform)), m_fs(fs), m_bound(bound),
      m_now([] { return static_cast<std::int64_t>(std::time(nullptr)); }) {}

std::unique_ptr<StoreFolder> QuarantineStore::openLocked(bool& missing) {
    auto folder = m_platform->openStore(false, missing);
    if (folder && !folder->lock()) {
        return nullptr;
    }
    return folder;
}

// Letters and digits from the local time, and a random tail.
std::string QuarantineStore::newId() {
    static std::random_device seed;
    static std::mt19937 random(seed());
    const auto now = static_cast<std::time_t>(m_now());
    const std::tm* local = std::localtime(&now);
    char id[40] = "19700101-000000";
    const std::size_t n =
        local != nullptr ? std::strftime(id, sizeof id, "%Y%m%d-%H%M%S", local) : 15;
    std::snprintf(id + n, sizeof id - n, "-%04x", static_cast<unsigned>(random() & 0xFFFF));
    return id;
}

// The manifest's items whose copies are there, and the copies it does not name as items of
// unknown origin. Copies left half-written by a program that ended mid-copy go; a damaged
// manifest is kept aside, and any repair is written back. Nothing when the store cannot be
// read: then nothing is claimed and nothing repaired.
std::optional<std::vector<QuarantineItem>> QuarantineStore::load(StoreFolder& folder,
                                                                 const std::string& writing) {
    const auto entries = folder.list();
    if (!entries) {
        return std::nullopt;
    }
    std::unordered_map<std::string, const StoredEntry*> copies;
    copies.reserve(entries->size());
    bool hasManifest = false;
    for (const StoredEntry& entry : *entries) {
        const std::string_view name = entry.name;
        if (name == manifestName) {
            hasManifest = true;
        } else if (endsWith(name, ".bin") && entry.kind == EntryKind::file &&
                   isQuarantineId(name.substr(0, name.size() - 4))) {
            copies.emplace(name.substr(0, name.size() - 4), &entry);
        } else if (endsWith(name, ".part") && entry.name != writing) {
            // Nothing but a file of ours can be a part: anything else planted there goes.
            if (entry.kind == EntryKind::file) {
                folder.removeLeftover(entry.name);
            } else {
                (void)folder.remove(entry.name);
            }
        }
    }

    std::vector<QuarantineItem> items;
    items.reserve(copies.size());
    std::unordered_set<std::string> named;
    named.reserve(copies.size());
    bool damaged = false;
    bool changed = false;
    if (hasManifest) {
        const auto in = folder.read(manifestName);
        damaged = in == nullptr; // not a regular file, or it cannot be opened
        int version = 0;
        if (in) {
            LineSplitter lines(*in);
            bool first = true;
            while (auto line = lines.next()) {
                if (first) {
                    first = false;
                    version = line->text == manifest::header           ? 2
                              : line->text == manifest::headerVersion1 ? 1
                                                                       : 0;
                    if (version != 0 && line->complete) {
                        continue;
                    }
                    // Without its header the line may still be an item.
                    damaged = true;
                    version = 2;
                }
                if (line->text.empty() && !line->tooLong) {
                    continue;
                }
                auto item = line->complete && !line->tooLong
                                ? manifest::decodeLine(line->text, version)
                                : std::nullopt;
                if (!item) {
                    damaged = true;
                    continue;
                }
                // Only ids with a copy are kept in mind, so that memory follows the copies
                // really there, not the length of the manifest.
                if (!copies.contains(item->id)) {
                    changed = true; // a record without its copy has nothing to restore
                    continue;
                }
                if (!named.insert(item->id).second) {
                    damaged = true;
                    continue;
                }
                items.push_back(std::move(*item));
            }
            if (lines.failed()) {
                return std::nullopt;
            }
            damaged = damaged || first; // empty
        }
        changed = changed || damaged || version == 1;
    }

    std::vector<QuarantineItem> found;
    for (const auto& [id, entry] : copies) {
        if (named.contains(id)) {
            continue;
        }
        const auto sha = fingerprint(folder, entry->name);
        if (!sha) {
            continue;
        }
        QuarantineItem item;
        item.id = id;
        item.time = entry->time;
        item.size = entry->size;
        item.sha256 = *sha;
        item.attributes = attr::archive;
        item.condemnedBy = condemned::unknown;
        found.push_back(std::move(item));
    }
    if (!found.empty()) {
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
            return a.time != b.time ? a.time < b.time : a.id < b.id;
        });
        items.insert(items.end(), found.begin(), found.end());
        changed = true;
    }

    if (damaged) {
        // Never over one set aside before, even within the same second.
        const std::string aside = "manifest.damaged-" + std::to_string(m_now());
        for (int n = 0; n < 100; ++n) {
            if (folder.rename(manifestName, n == 0 ? aside : aside + "-" + std::to_string(n),
                              false)) {
                break;
            }
        }
    }
    if (changed) {
        (void)save(folder, items);
    }
    return items;
}

std::optional<std::string> QuarantineStore::add(const QuarantineFacts& facts, ByteReader& content) {
    return put(facts, ItemKind::file, content);
}

std::optional<std::string> QuarantineStore::addRecord(const QuarantineFacts& facts, ItemKind kind,
                                                      const std::string& linkText) {
    if (kind == ItemKind::file || (kind == ItemKind::special && !linkText.empty())) {
        return std::nullopt;
    }
    // A link's copy is its text, under the same fingerprint as any copy.
    QuarantineFacts record = facts;
    record.size = linkText.size();
    TextBytes text(linkText);
    return put(record, kind, text);
}

std::optional<std::string> QuarantineStore::put(const QuarantineFacts& facts, ItemKind kind,
                                                ByteReader& content) {
    if (facts.size > m_bound || hasNul(facts)) {
        return std::nullopt;
    }
    // Told now, while the drive is surely there.
    const std::string volume =
        facts.driveRoot.empty() ? "" : m_platform->volumeIdentity(facts.driveRoot).value_or("");

    // The copy is made without the lock: another program may use the store meanwhile.
    bool missing = false;
    const auto folder = m_platform->openStore(true, missing);
    if (!folder) {
        return std::nullopt;
    }
    if (const auto space = folder->freeSpace(); space && *space < facts.size) {
        return std::nullopt;
    }
    std::string id;
    std::unique_ptr<FileWriter> part;
    for (int attempt = 0; attempt < 100 && !part; ++attempt) {
        id = newId();
        part = folder->create(partName(id));
    }
    if (!part) {
        return std::nullopt;
    }

    Sha256 sha;
    std::uint64_t copied = 0;
    std::array<char, chunk> buffer{};
    for (;;) {
        const auto n = content.read(buffer.data(), buffer.size());
        if (!n) {
            return std::nullopt;
        }
        if (*n == 0) {
            break;
        }
        copied += *n;
        // A file that grows while it is copied is not the file that was judged.
        if (copied > facts.size || !part->write(buffer.data(), *n)) {
            return std::nullopt;
        }
        sha.update(buffer.data(), *n);
    }
    if (copied != facts.size || !part->flush()) {
        return std::nullopt;
    }

    QuarantineItem item;
    static_cast<QuarantineFacts&>(item) = facts;
    item.id = id;
    item.time = m_now();
    item.sha256 = sha.hexDigest();
    item.kind = kind;
    item.volume = volume;

    if (!folder->lock()) {
        return std::nullopt;
    }
    auto loaded = load(*folder, partName(id));
    if (!loaded) {
        return std::nullopt;
    }
    std::vector<QuarantineItem> items = std::move(*loaded);
    const auto evicted = evictionFor(items, facts.size, m_bound, m_now(), m_addedHere);
    if (!evicted) {
        return std::nullopt;
    }
    if (!part->keep()) {
        (void)folder->remove(partName(id));
        return std::nullopt;
    }
    if (!folder->rename(partName(id), dataName(id), false)) {
        (void)folder->remove(partName(id));
        return std::nullopt;
    }
    std::erase_if(items, [&](const QuarantineItem& i) {
        return std::find(evicted->begin(), evicted->end(), i.id) != evicted->end();
    });
    items.push_back(item);
    if (!save(*folder, items)) {
        (void)folder->remove(dataName(id));
        return std::nullopt;
    }
    for (const std::string& old : *evicted) {
        (void)folder->remove(dataName(old));
    }
    m_addedHere.insert(id);
    return id;
}

std::optional<std::vector<QuarantineItem>> QuarantineStore::list() {
    bool missing = false;
    const auto folder = openLocked(missing);
    if (!folder) {
        return missing ? std::optional<std::vector<QuarantineItem>>(std::in_place) : std::nullopt;
    }
    return load(*folder, {});
}

std::string QuarantineStore::nameOf(const std::string& path) const {
    const auto sep = path.find_last_of(m_platform->separators());
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string QuarantineStore::parentOf(const std::string& path) const {
    const auto sep = path.find_last_of(m_platform->separators());
    if (sep == std::string::npos) {
        return {};
    }
    // "/x" lies in "/", and "E:\x" in "E:\", not in the drive's current folder "E:".
    const bool atRoot = sep == 0 || (sep == 2 && path[1] == ':');
    return path.substr(0, atRoot ? sep + 1 : sep);
}

// The original path, read from a manifest that anyone with the user's rights could have
// written: below its drive's root, with no "." or ".." on the way.
bool QuarantineStore::liesBelowRoot(const QuarantineItem& item) const {
    const std::string separators = m_platform->separators();
    const std::string& root = item.driveRoot;
    const std::string& path = item.originalPath;
    if (root.empty() || path.size() <= root.size() || path.compare(0, root.size(), root) != 0) {
        return false;
    }
    std::size_t start = root.size();
    if (separators.find(root.back()) == std::string::npos) {
        if (separators.find(path[start]) == std::string::npos) {
            return false;
        }
        ++start;
    }
    for (;;) {
        const auto end = path.find_first_of(separators, start);
        const std::string_view name =
            std::string_view(path).substr(start, end == std::string::npos ? end : end - start);
        if (name.empty() || name == "." || name == "..") {
            return false;
        }
        if (end == std::string::npos) {
            return true;
        }
        start = end + 1;
    }
}

RestoreResult QuarantineStore::restore(const std::string& id,
                                       const std::optional<std::string>& folder) {
    RestoreResult result;
    result.outcome = RestoreOutcome::unknownId;
    if (!isQuarantineId(id)) {
        return result;
    }
    bool missing = false;
    const auto store = openLocked(missing);
    const auto loaded = store ? load(*store, {}) : std::nullopt;
    if (!loaded) {
        result.outcome = missing ? RestoreOutcome::unknownId : RestoreOutcome::failed;
        return result;
    }
    std::vector<QuarantineItem> items = *loaded;
    const auto it = std::find_if(items.begin(), items.end(),
                                 [&](const QuarantineItem& i) { return i.id == id; });
    if (it == items.end()) {
        return result;
    }
    const QuarantineItem item = *it;

    // Where it goes: its own place on the drive it came from, or a folder the user named,
    // links and all, under its own name (a copy of unknown origin under its id).
    std::string where;
    const std::string name = item.originalPath.empty() ? id : nameOf(item.originalPath);
    if (folder) {
        const auto real = m_platform->realFolder(*folder);
        const std::string base = real.value_or(*folder);
        const char sep = m_platform->separators().front();
        result.path = !base.empty() && base.back() == sep ? base + name : base + sep + name;
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
        if (item.driveRoot.empty()) {
            result.outcome = RestoreOutcome::otherDrive; // no drive to check it against
            return result;
        }
        if (!liesBelowRoot(item)) {
            result.outcome = RestoreOutcome::failed;
            return result;
        }
        // A drive no longer mounted there leaves the folder below its mount point, and
        // another stick may sit at the same place: neither is where the file came from.
        const auto volume =
            item.volume.empty() ? std::nullopt : m_platform->volumeIdentity(item.driveRoot);
        if (!volume || *volume != item.volume) {
            result.outcome = RestoreOutcome::otherDrive;
            return result;
        }
        where = parentOf(item.originalPath);
    }
    if (name.empty() || name == "." || name == "..") {
        result.outcome = RestoreOutcome::failed;
        return result;
    }
    if (item.kind == ItemKind::special) {
        result.outcome = RestoreOutcome::notRecreatable;
        return result;
    }

    if (item.kind == ItemKind::link) {
        std::string text;
        const auto sha = fingerprint(*store, dataName(id), &text, item.size);
        if (!sha || *sha != item.sha256 || text.size() != item.size) {
            result.outcome = RestoreOutcome::damaged;
            return result;
        }
        result.outcome = outcomeOf(m_platform->createLink(where, name, text));
        result.attributesRestored = true; // a link has no attribute word of its own
    } else {
        const auto in = store->read(dataName(id));
        if (!in) {
            result.outcome = RestoreOutcome::damaged;
            return result;
        }
        PlaceOutcome place = PlaceOutcome::failed;
        const auto out = m_platform->createOutside(where, name, place);
        if (!out) {
            result.outcome = outcomeOf(place);
            return result;
        }
        Sha256 sha;
        std::uint64_t copied = 0;
        std::array<char, chunk> buffer{};
        for (;;) {
            const auto n = in->read(buffer.data(), buffer.size());
            if (!n) {
                result.outcome = RestoreOutcome::damaged;
                return result;
            }
            if (*n == 0) {
                break;
            }
            copied += *n;
            if (copied > item.size || !out->write(buffer.data(), *n)) {
                result.outcome =
                    copied > item.size ? RestoreOutcome::damaged : RestoreOutcome::failed;
                return result;
            }
            sha.update(buffer.data(), *n);
        }
        if (copied != item.size || sha.hexDigest() != item.sha256) {
            result.outcome = RestoreOutcome::damaged;
            return result;
        }
        const auto onFile = out->setAttributes(item.attributes);
        if (!out->flush() || !out->keep()) {
            result.outcome = RestoreOutcome::failed;
            return result;
        }
        result.outcome = RestoreOutcome::restored;
        if (onFile) {
            result.attributesRestored = *onFile;
        } else {
            (void)m_fs.setAttributes(result.path, item.attributes);
            result.attributesRestored = m_fs.attributes(result.path) == item.attributes;
        }
    }
    if (result.outcome != RestoreOutcome::restored) {
        return result;
    }

    items.erase(std::find_if(items.begin(), items.end(),
                             [&](const QuarantineItem& i) { return i.id == id; }));
    // Should the manifest not take the change, the copy stays listed: nothing is lost.
    if (save(*store, items)) {
        (void)store->remove(dataName(id));
    }
    return result;
}

bool QuarantineStore::purge(const std::string& id) {
    bool missing = false;
    const auto store = isQuarantineId(id) ? openLocked(missing) : nullptr;
    auto items = store ? load(*store, {}) : std::nullopt;
    if (!items) {
        return false;
    }
    const auto removed = std::erase_if(*items, [&](const QuarantineItem& i) { return i.id == id; });
    if (removed == 0 || !save(*store, *items)) {
        return false;
    }
    (void)store->remove(dataName(id));
    return true;
}

std::optional<std::size_t> QuarantineStore::purgeAll() {
    bool missing = false;
    const auto store = openLocked(missing);
    const auto items = store ? load(*store, {}) : std::nullopt;
    if (!items) {
        return missing ? std::optional<std::size_t>(0) : std::nullopt;
    }
    if (!save(*store, {})) {
        return std::nullopt;
    }
    for (const QuarantineItem& item : *items) {
        (void)store->remove(dataName(item.id));
    }
    return items->size();
}

} // namespace tw
