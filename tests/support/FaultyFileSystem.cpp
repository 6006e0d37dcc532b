#include "support/FaultyFileSystem.h"

namespace tw::test {

std::vector<Drive> FaultyFileSystem::drives() {
    return m_hooks->drivesOverride ? m_hooks->drivesOverride() : m_real.drives();
}

bool FaultyFileSystem::isReady(const Drive& drive) {
    return m_hooks->readyOverride ? m_hooks->readyOverride(drive) : m_real.isReady(drive);
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
    return std::unique_ptr<FileSystem>(new FaultyFileSystem(m_real.pinDrive(root), *m_hooks));
}

bool FaultyFileSystem::denyEveryone(const std::string& folder) {
    return !refused("denyEveryone", folder) && m_real.denyEveryone(folder);
}

bool FaultyFileSystem::deniesEveryone(const std::string& folder) {
    return m_hooks->deniesOverride ? m_hooks->deniesOverride(folder)
                                   : m_real.deniesEveryone(folder);
}

std::optional<std::string> FaultyFileSystem::resolveOnDrive(const std::string& driveRoot,
                                                            const std::string& target) {
    return m_real.resolveOnDrive(driveRoot, target);
}

} // namespace tw::test
