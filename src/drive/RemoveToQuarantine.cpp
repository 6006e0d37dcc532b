#include "drive/RemoveToQuarantine.h"

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

} // namespace

bool removeToQuarantine(Ports& ports, const std::string& path, const char* condemnedBy) {
    return removeToQuarantineId(ports, path, condemnedBy).has_value();
}

std::optional<std::string> removeToQuarantineId(Ports& ports, const std::string& path,
                                                const char* condemnedBy) {
    FileSystem& fs = ports.fs;
    const auto attributes = fs.attributes(path);
    const auto size = fs.fileLen(path);
    if (!attributes || !size) {
        return std::nullopt;
    }
    auto reader = fs.openRead(path);
    if (!reader) {
        return std::nullopt; // a link, a pipe, a file that cannot be read: it stays
    }
    QuarantineFacts facts;
    facts.originalPath = path;
    if (const auto drive = driveOf(fs, path)) {
        facts.driveRoot = drive->path;
        facts.driveLabel = fs.volumeLabel(*drive);
    }
    facts.size = *size;
    facts.attributes = *attributes;
    facts.condemnedBy = condemnedBy;

    EventHandlingReader content(*reader, ports.clock);
    const auto id = ports.quarantine.add(facts, content);
    reader.reset(); // an open file cannot be deleted everywhere
    if (!id) {
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
        // The file stays: its copy would only stand for a file that was never removed.
        (void)ports.quarantine.purge(*id);
        return std::nullopt;
    case Presence::unknown:
        break;
    }
    // The drive cannot tell: the file may be gone, so its copy is kept.
    return std::nullopt;
}

} // namespace tw
