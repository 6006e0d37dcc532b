#pragma once

#include "ports/FileSystem.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace tw::test {

// Passes every call to a real file system, except those a test refuses: a locked file, a
// write-protected medium, a drive pulled out. refuse(op, path) sees the operation's name
// ("deleteFile", "mkDir", "setAttributes", "copyFile", "writeTextLines", "attributes",
// "subFolders", "files", "fileLen", "openText", "openRead", "fileExists", "folderExists",
// "lookup", "list", "kindOf", "readLink", "denyEveryone") and its path; a refused lookup tells
// nothing (unknown).
//
// A drive can be pulled out and put back: pulled, it is not ready and every call below its
// root fails; a view pinned before the pull stays dead after the drive is back, as a handle
// on a volume that went away does, and a pinned view is ready only when its own pinned view
// says so too, whatever readyOverride answers.
class FaultyFileSystem final : public FileSystem {
public:
    explicit FaultyFileSystem(FileSystem& real) : m_real(real), m_hooks(this) {}

    std::function<bool(const std::string& op, const std::string& path)> refuse;
    // Replaces every drive's file-system name ("FAT32", "NTFS", "exFAT", …).
    std::optional<std::string> fileSystemNameOverride;
    // Replaces every drive's volume label.
    std::optional<std::string> labelOverride;
    // Replaces the drive list.
    std::function<std::vector<Drive>()> drivesOverride;
    // Replaces readiness.
    std::function<bool(const Drive&)> readyOverride;
    // Replaces what a folder's access list reads back as (a stand-in for a tool that sets it).
    std::function<bool(const std::string& folder)> deniesOverride;
    // Deletes that are accepted and do nothing (a file open elsewhere, held by the system).
    std::function<bool(const std::string& path)> deleteWithoutEffect;

    void pullOut(const std::string& root);
    void putBack(const std::string& root);

    std::vector<Drive> drives() override;
    bool isReady(const Drive& drive) override;
    std::string fileSystemName(const Drive& drive) override;
    std::string volumeLabel(const Drive& drive) override {
        return m_hooks->labelOverride ? *m_hooks->labelOverride : m_real.volumeLabel(drive);
    }
    [[nodiscard]] char separator() const override { return m_real.separator(); }
    bool fileExists(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    Presence lookup(const std::string& path) override;
    std::optional<EntryKind> kindOf(const std::string& path) override;
    std::optional<std::string> readLink(const std::string& path) override;
    std::optional<std::vector<Entry>> subFolders(const std::string& folder) override;
    std::optional<std::vector<Entry>> files(const std::string& folder) override;
    std::optional<std::uint32_t> attributes(const std::string& path) override;
    bool setAttributes(const std::string& path, std::uint32_t value) override;
    bool deleteFile(const std::string& path, bool force) override;
    bool copyFile(const std::string& source, const std::string& destination,
                  bool overwrite) override;
    bool mkDir(const std::string& path) override;
    // "list" and "renameItem" as the others; "listAttributes" refused for an entry lists it
    // without its attribute word, as a file system that keeps none (exFAT on Linux).
    std::optional<std::vector<EntryInfo>> list(const std::string& folder,
                                               ListDetail detail = ListDetail::all) override {
        auto entries = refused("list", folder) ? std::nullopt : m_real.list(folder, detail);
        if (entries) {
            for (EntryInfo& entry : *entries) {
                if (refused("listAttributes", entry.path)) {
                    entry.attributes.reset();
                }
            }
        }
        return entries;
    }
    bool writeUtf8Lines(const std::string& path, const std::vector<std::string>& lines) override {
        return !refused("writeTextLines", path) && m_real.writeUtf8Lines(path, lines);
    }
    bool renameItem(const std::string& path, const std::string& newName) override {
        return !refused("renameItem", path) && m_real.renameItem(path, newName);
    }
    std::optional<std::uint64_t> fileLen(const std::string& path) override;
    std::unique_ptr<LineReader> openText(const std::string& path) override;
    bool writeTextLines(const std::string& path, const std::vector<std::string>& lines) override;
    std::unique_ptr<ByteReader> openRead(const std::string& path) override;
    // The pinned view refuses what this one refuses, also when the hooks change later.
    std::unique_ptr<FileSystem> pinDrive(const std::string& root) override;
    bool denyEveryone(const std::string& folder) override;
    bool deniesEveryone(const std::string& folder) override;
    std::optional<std::string> resolveOnDrive(const std::string& driveRoot,
                                              const std::string& target) override;

private:
    FaultyFileSystem(std::unique_ptr<FileSystem> pinned, const FaultyFileSystem& hooks,
                     std::string root);
    // Pulled out, or pinned to an insertion of the drive that has since gone.
    [[nodiscard]] bool gone(const std::string& path) const;
    [[nodiscard]] bool refused(const char* op, const std::string& path) const {
        return gone(path) || (m_hooks->refuse && m_hooks->refuse(op, path));
    }
    [[nodiscard]] int insertion(const std::string& root) const;
    FileSystem& m_real;
    std::unique_ptr<FileSystem> m_pinned;
    const FaultyFileSystem* m_hooks;
    std::optional<std::string> m_pinRoot;
    int m_pinInsertion = 0;
    // Kept by the unpinned view only: the roots pulled out, and how often each was put back.
    std::set<std::string> m_out;
    std::map<std::string, int> m_insertions;
};

} // namespace tw::test
