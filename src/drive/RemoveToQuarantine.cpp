#include "drive/RemoveToQuarantine.h"

#include <optional>
#include <string>
#include <utility>

namespace tw {

namespace {

// Hands the window its events every few megabytes of a copy.
class EventHandlingReader final : public ByteReader {
public:
    EventHandlingReader(ByteReader& reader, Clock& clock) : m_reader(reader), m_clock(clock) {}

    std::optional<std::size_t> read(char* buffer, std::size_t size) override {
        const auto n = m_reader.read(buffer, size);
        if (n) {
            m_sinceEvents += *n;
            if (m_sinceEvents >= eventInterval) {
                m_sinceEvents = 0;
                m_clock.handleEvents();
            }
        }
        return n;
    }

private:
    static constexpr std::size_t eventInterval = 4 * 1024 * 1024;
    ByteReader& m_reader;
    Clock& m_clock;
    std::size_t m_sinceEvents = 0;
};

// The drive the path lies on: the one with the longest root that holds it.
std::optional<Drive> driveOf(FileSystem& fs, const std::string& path) {
    const char sep = fs.separator();
    std::optional<Drive> best;
    for (Drive& drive : fs.drives()) {
        std::string root = drive.path;
        while (!root.empty() && root.back() == sep) {
            root.pop_back();
        }
        const bool holds = path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                           path[root.size()] == sep;
        if (holds && (!best || drive.path.size() > best->path.size())) {
            best = std::move(drive);
        }
    }
    return best;
}

// What the store records of an entry: where it lay and which check condemned it.
QuarantineFacts factsOf(FileSystem& fs, const std::string& path, const char* condemnedBy) {
    QuarantineFacts facts;
    facts.originalPath = path;
    if (const auto drive = driveOf(fs, path)) {
        facts.driveRoot = drive->path;
        facts.driveLabel = fs.volumeLabel(*drive);
    }
    facts.condemnedBy = condemnedBy;
    return facts;
}

// The bytes of a file into the store; its id, or nothing when no whole copy was made.
std::optional<std::string> copyIn(Ports& ports, const std::string& path, const char* condemnedBy) {
    FileSystem& fs = ports.fs;
    const auto attributes = fs.attributes(path);
    const auto size = fs.fileLen(path);
    if (!attributes || !size) {
        return std::nullopt;
    }
    auto reader = fs.openRead(path);
    if (!reader) {
        return std::nullopt; // a file that cannot be read: it stays
    }
    QuarantineFacts facts = factsOf(fs, path, condemnedBy);
    facts.size = *size;
    facts.attributes = *attributes;
    // The reader closes on return, before the delete: an open file cannot be deleted
    // everywhere.
    EventHandlingReader content(*reader, ports.clock);
    return ports.quarantine.add(facts, content);
}

// A link, FIFO, socket or device holds no data: its record stands for it (a link with its
// text, so that it can be made again). What a link names is never touched.
std::optional<std::string> recordIn(Ports& ports, const std::string& path, EntryKind kind,
                                    const char* condemnedBy) {
    FileSystem& fs = ports.fs;
    std::string linkText;
    if (kind == EntryKind::link) {
        auto text = fs.readLink(path);
        if (!text) {
            return std::nullopt; // a link whose text is unknown could not be made again
        }
        linkText = std::move(*text);
    }
    QuarantineFacts facts = factsOf(fs, path, condemnedBy);
    facts.attributes = fs.attributes(path).value_or(0);
    return ports.quarantine.addRecord(
        facts, kind == EntryKind::link ? ItemKind::link : ItemKind::special, linkText);
}

} // namespace

bool removeToQuarantine(Ports& ports, const std::string& path, const char* condemnedBy) {
    return removeToQuarantineId(ports, path, condemnedBy).has_value();
}

std::optional<std::string> removeToQuarantineId(Ports& ports, const std::string& path,
                                                const char* condemnedBy) {
    FileSystem& fs = ports.fs;
    const auto kind = fs.kindOf(path);
    if (!kind || *kind == EntryKind::folder) {
        return std::nullopt;
    }
    const auto id = *kind == EntryKind::file ? copyIn(ports, path, condemnedBy)
                                             : recordIn(ports, path, *kind, condemnedBy);
    if (!id) {
        return std::nullopt;
    }
    // A record holds no bytes: should a file have taken the name meanwhile (the record is
    // flushed to the disk first, which takes a while), deleting it would lose its data.
    if (*kind != EntryKind::file && fs.kindOf(path) != kind) {
        (void)ports.quarantine.purge(*id);
        return std::nullopt;
    }
    // A delete can be accepted and still not take effect (the file open elsewhere, or held
    // by the file system): only the drive saying the name is gone counts.
    (void)fs.deleteFile(path, true);
    switch (fs.lookup(path)) {
    case Presence::absent:
        return id;
    case Presence::file:
    case Presence::folder:
        // The entry stays: its copy would only stand for something never removed.
        (void)ports.quarantine.purge(*id);
        return std::nullopt;
    case Presence::unknown:
        break;
    }
    // The drive cannot tell: the entry may be gone, so its copy is kept.
    return std::nullopt;
}

} // namespace tw
