#include "ports/FileSystem.h"

#include <algorithm>

namespace tw {

std::optional<std::size_t> TextBytes::read(char* buffer, std::size_t size) {
    const std::size_t n = std::min(size, m_text.size() - m_at);
    std::copy_n(m_text.data() + m_at, n, buffer);
    m_at += n;
    return n;
}

std::string joinPath(const FileSystem& fs, const std::string& folder, const std::string& name) {
    const char sep = fs.separator();
    if (!folder.empty() && folder.back() == sep) {
        return folder + name;
    }
    return folder + sep + name;
}

namespace {

// A view that passes every call on: for file systems that have no handles to pin with.
class Unpinned final : public FileSystem {
public:
    explicit Unpinned(FileSystem& fs) : m_fs(fs) {}

    std::vector<Drive> drives() override { return m_fs.drives(); }
    bool isReady(const Drive& drive) override { return m_fs.isReady(drive); }
    std::string fileSystemName(const Drive& drive) override { return m_fs.fileSystemName(drive); }
    std::string volumeLabel(const Drive& drive) override { return m_fs.volumeLabel(drive); }
    [[nodiscard]] char separator() const override { return m_fs.separator(); }
    bool fileExists(const std::string& path) override { return m_fs.fileExists(path); }
    bool folderExists(const std::string& path) override { return m_fs.folderExists(path); }
    Presence lookup(const std::string& path) override { return m_fs.lookup(path); }
    std::optional<std::vector<EntryInfo>> list(const std::string& folder,
                                               ListDetail detail = ListDetail::all) override {
        return m_fs.list(folder, detail);
    }
    std::optional<EntryKind> kindOf(const std::string& path) override { return m_fs.kindOf(path); }
    std::optional<std::string> readLink(const std::string& path) override {
        return m_fs.readLink(path);
    }
    std::optional<std::vector<Entry>> subFolders(const std::string& folder) override {
        return m_fs.subFolders(folder);
    }
    std::optional<std::vector<Entry>> files(const std::string& folder) override {
        return m_fs.files(folder);
    }
    std::optional<std::uint32_t> attributes(const std::string& path) override {
        return m_fs.attributes(path);
    }
    bool setAttributes(const std::string& path, std::uint32_t value) override {
        return m_fs.setAttributes(path, value);
    }
    bool deleteFile(const std::string& path, bool force) override {
        return m_fs.deleteFile(path, force);
    }
    bool copyFile(const std::string& source, const std::string& destination,
                  bool overwrite) override {
        return m_fs.copyFile(source, destination, overwrite);
    }
    bool renameItem(const std::string& path, const std::string& newName) override {
        return m_fs.renameItem(path, newName);
    }
    bool mkDir(const std::string& path) override { return m_fs.mkDir(path); }
    std::optional<std::uint64_t> fileLen(const std::string& path) override {
        return m_fs.fileLen(path);
    }
    std::unique_ptr<LineReader> openText(const std::string& path) override {
        return m_fs.openText(path);
    }
    bool writeTextLines(const std::string& path, const std::vector<std::string>& lines) override {
        return m_fs.writeTextLines(path, lines);
    }
    bool writeUtf8Lines(const std::string& path, const std::vector<std::string>& lines) override {
        return m_fs.writeUtf8Lines(path, lines);
    }
    std::unique_ptr<ByteReader> openRead(const std::string& path) override {
        return m_fs.openRead(path);
    }
    bool denyEveryone(const std::string& folder) override { return m_fs.denyEveryone(folder); }
    bool deniesEveryone(const std::string& folder) override { return m_fs.deniesEveryone(folder); }
    std::optional<std::string> resolveOnDrive(const std::string& driveRoot,
                                              const std::string& target) override {
        return m_fs.resolveOnDrive(driveRoot, target);
    }

private:
    FileSystem& m_fs;
};

} // namespace

std::unique_ptr<FileSystem> FileSystem::pinDrive(const std::string& /*root*/) {
    return std::make_unique<Unpinned>(*this);
}

// Backends that cannot tell a missing name from a failed lookup answer from the two tests.
Presence FileSystem::lookup(const std::string& path) {
    if (fileExists(path)) {
        return Presence::file;
    }
    if (folderExists(path)) {
        return Presence::folder;
    }
    return Presence::absent;
}

std::optional<std::vector<EntryInfo>> FileSystem::list(const std::string& folder,
                                                       ListDetail detail) {
    auto folders = subFolders(folder);
    auto plain = files(folder);
    if (!folders || !plain) {
        return std::nullopt;
    }
    std::vector<EntryInfo> out;
    out.reserve(folders->size() + plain->size());
    for (Entry& e : *folders) {
        EntryInfo info{std::move(e.path), std::move(e.name), EntryKind::folder, 0, std::nullopt};
        if (detail != ListDetail::files) {
            info.attributes = attributes(info.path);
        }
        out.push_back(std::move(info));
    }
    for (Entry& e : *plain) {
        EntryInfo info{std::move(e.path), std::move(e.name), EntryKind::file, 0, std::nullopt};
        if (detail != ListDetail::folders) {
            info.attributes = attributes(info.path);
            info.size = fileLen(info.path).value_or(0);
        }
        out.push_back(std::move(info));
    }
    return out;
}

// Where text files are written byte for byte, as on Linux, they are UTF-8 already.
bool FileSystem::writeUtf8Lines(const std::string& path, const std::vector<std::string>& lines) {
    return writeTextLines(path, lines);
}

bool FileSystem::renameItem(const std::string& /*path*/, const std::string& /*newName*/) {
    return false;
}

// Backends that have no other kinds tell a link by its text.
std::optional<EntryKind> FileSystem::kindOf(const std::string& path) {
    if (readLink(path)) {
        return EntryKind::link;
    }
    switch (lookup(path)) {
    case Presence::file:
        return EntryKind::file;
    case Presence::folder:
        return EntryKind::folder;
    case Presence::absent:
    case Presence::unknown:
        break;
    }
    return std::nullopt;
}

std::optional<std::string> FileSystem::readLink(const std::string& /*path*/) {
    return std::nullopt;
}

std::string FileSystem::volumeLabel(const Drive& /*drive*/) {
    return {};
}

bool FileSystem::denyEveryone(const std::string& /*folder*/) {
    return false;
}

bool FileSystem::deniesEveryone(const std::string& /*folder*/) {
    return false;
}

} // namespace tw
