#include "support/FaultyFileSystem.h"

namespace tw::test {

namespace {

bool atOrBelow(const std::string& path, const std::string& root, char sep) {
    return path.compare(0, root.size(), root) == 0 &&
           (path.size() == root.size() || path[root.size()] == sep);
}

} // namespace

FaultyFileSystem::FaultyFileSystem(std::unique_ptr<FileSystem> pinned,
                                   const FaultyFileSystem& hooks, std::string root)
    : m_real(*pinned), m_pinned(std::move(pinned)), m_hooks(&hooks), m_pinRoot(std::move(root)),
      m_pinInsertion(hooks.insertion(*m_pinRoot)) {}

void FaultyFileSystem::pullOut(const std::string& root) {
    m_out.insert(root);
}

void FaultyFileSystem::putBack(const std::string& root) {
    if (m_out.erase(root) > 0) {
        ++m_insertions[root];
    }
}

int FaultyFileSystem::insertion(const std::string& root) const {
    const auto it = m_insertions.find(root);
    return it == m_insertions.end() ? 0 : it->second;
}

bool FaultyFileSystem::gone(const std::string& path) const {
    const char sep = m_real.separator();
    for (const std::string& root : m_hooks->m_out) {
        if (atOrBelow(path, root, sep)) {
            return true;
        }
    }
    return m_pinRoot && atOrBelow(path, *m_pinRoot, sep) &&
           m_hooks->insertion(*m_pinRoot) != m_pinInsertion;
}

std::vector<Drive> FaultyFileSystem::drives() {
    return m_hooks->drivesOverride ? m_hooks->drivesOverride() : m_real.drives();
}

bool FaultyFileSystem::isReady(const Drive& drive) {
    if (gone(drive.path)) {
        return false;
    }
    if (!m_hooks->readyOverride) {
        return m_real.isReady(drive);
    }
    // A pinned view answers for its own handle as well: the override cannot revive it.
    return m_hooks->readyOverride(drive) && (!m_pinRoot || m_real.isReady(drive));
}

std::string FaultyFileSystem::fileSystemName(const Drive& drive) {
    return m_hooks->fileSystemNameOverride ? *m_hooks->fileSystemNameOverride
                                           : m_real.fileSystemName(drive);
}

bool FaultyFileSystem::fileExists(const std::string& path) {
    return !refused("fileExists", path) && m_real.fileExists(path);
}

bool FaultyFileSystem::folderExists(const std::string& path) {
    return !refused("folderExists", path) && m_real.folderExists(path);
}

Presence FaultyFileSystem::lookup(const std::string& path) {
    return refused("lookup", path) ? Presence::unknown : m_real.lookup(path);
}

std::optional<EntryKind> FaultyFileSystem::kindOf(const std::string& path) {
    return refused("kindOf", path) ? std::nullopt : m_real.kindOf(path);
}

std::optional<std::string> FaultyFileSystem::readLink(const std::string& path) {
    return refused("readLink", path) ? std::nullopt : m_real.readLink(path);
}

std::optional<std::vector<Entry>> FaultyFileSystem::subFolders(const std::string& folder) {
    if (refused("subFolders", folder)) {
        return std::nullopt;
    }
    return m_real.subFolders(folder);
}

std::optional<std::vector<Entry>> FaultyFileSystem::files(const std::string& folder) {
    if (refused("files", folder)) {
        return std::nullopt;
    }
    return m_real.files(folder);
}

std::optional<std::uint32_t> FaultyFileSystem::attributes(const std::string& path) {
    if (refused("attributes", path)) {
        return std::nullopt;
    }
    return m_real.attributes(path);
}

bool FaultyFileSystem::setAttributes(const std::string& path, std::uint32_t value) {
    return !refused("setAttributes", path) && m_real.setAttributes(path, value);
}

bool FaultyFileSystem::deleteFile(const std::string& path, bool force) {
    if (!refused("deleteFile", path) && m_hooks->deleteWithoutEffect &&
        m_hooks->deleteWithoutEffect(path)) {
        return true;
    }
    return !refused("deleteFile", path) && m_real.deleteFile(path, force);
}

bool FaultyFileSystem::copyFile(const std::string& source, const std::string& destination,
                                bool overwrite) {
    return !refused("copyFile", destination) && m_real.copyFile(source, destination, overwrite);
}

bool FaultyFileSystem::mkDir(const std::string& path) {
    return !refused("mkDir", path) && m_real.mkDir(path);
}

std::optional<std::uint64_t> FaultyFileSystem::fileLen(const std::string& path) {
    if (refused("fileLen", path)) {
        return std::nullopt;
    }
    return m_real.fileLen(path);
}

std::unique_ptr<LineReader> FaultyFileSystem::openText(const std::string& path) {
    if (refused("openText", path)) {
        return nullptr;
    }
    return m_real.openText(path);
}

bool FaultyFileSystem::writeTextLines(const std::string& path,
                                      const std::vector<std::string>& lines) {
    return !refused("writeTextLines", path) && m_real.writeTextLines(path, lines);
}

std::unique_ptr<ByteReader> FaultyFileSystem::openRead(const std::string& path) {
    if (refused("openRead", path)) {
        return nullptr;
    }
    return m_real.openRead(path);
}

std::unique_ptr<FileSystem> FaultyFileSystem::pinDrive(const std::string& root) {
    // Pinned views are always taken from the unpinned one, as the real ones are.
    const FaultyFileSystem& outside = *m_hooks;
    return std::unique_ptr<FileSystem>(new FaultyFileSystem(
        m_pinRoot ? outside.m_real.pinDrive(root) : m_real.pinDrive(root), outside, root));
}

bool FaultyFileSystem::denyEveryone(const std::string& folder) {
    return !refused("denyEveryone", folder) && m_real.denyEveryone(folder);
}

bool FaultyFileSystem::deniesEveryone(const std::string& folder) {
    if (gone(folder)) {
        return false;
    }
    return m_hooks->deniesOverride ? m_hooks->deniesOverride(folder)
                                   : m_real.deniesEveryone(folder);
}

std::optional<std::string> FaultyFileSystem::resolveOnDrive(const std::string& driveRoot,
                                                            const std::string& target) {
    if (gone(driveRoot)) {
        return std::nullopt;
    }
    return m_real.resolveOnDrive(driveRoot, target);
}

} // namespace tw::test
