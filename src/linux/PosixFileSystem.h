#pragma once

#include "ports/FileSystem.h"
#include "linux/MountTable.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// Where the drive list comes from when no drives are declared (the mount table and the
// machine's device facts), and how a folder's file system is told. Tests feed a table of
// their own and a fake device tree.
struct MountSource {
    std::function<std::optional<std::string>()> mountInfo = posix::watchMountInfo();
    posix::SystemRoots roots;
};

// The Linux file-system layer. Drives come from the mount table, or from a declaration
// such as "removable=/tmp/stick;fixed=/" (the TARNWICK_DRIVES variable) that replaces it.
//
// Below the root of a removable drive a path never passes through a link: a link there is
// a file, so nothing is read or made through it somewhere else.
class PosixFileSystem final : public FileSystem {
public:
    explicit PosixFileSystem(std::optional<std::string> declaredDrives = std::nullopt,
                             MountSource source = {});
    explicit PosixFileSystem(MountSource source);

    // Declared drives from TARNWICK_DRIVES when it is set, else the mount table.
    static std::unique_ptr<PosixFileSystem> fromEnvironment();

    std::vector<Drive> drives() override;
    bool isReady(const Drive& drive) override;
    std::string fileSystemName(const Drive& drive) override;
    std::string volumeLabel(const Drive& drive) override;
    [[nodiscard]] char separator() const override { return '/'; }

    bool fileExists(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    std::optional<std::vector<Entry>> subFolders(const std::string& folder) override;
    std::optional<std::vector<Entry>> files(const std::string& folder) override;
    std::optional<std::uint32_t> attributes(const std::string& path) override;
    bool setAttributes(const std::string& path, std::uint32_t value) override;
    bool deleteFile(const std::string& path, bool force) override;
    bool copyFile(const std::string& source, const std::string& destination,
                  bool overwrite) override;
    bool mkDir(const std::string& path) override;
    std::optional<std::uint64_t> fileLen(const std::string& path) override;
    std::unique_ptr<LineReader> openText(const std::string& path) override;
    bool writeTextLines(const std::string& path, const std::vector<std::string>& lines) override;
    std::unique_ptr<ByteReader> openRead(const std::string& path) override;
    std::unique_ptr<FileSystem> pinDrive(const std::string& root) override;
    bool denyEveryone(const std::string& folder) override;
    bool deniesEveryone(const std::string& folder) override;
    std::optional<std::string> resolveOnDrive(const std::string& driveRoot,
                                              const std::string& target) override;

    // The path of an existing entry, matched the way Windows matches names: the exact
    // name first, else the entry of its folder equal to it ignoring letter case (the
    // first in byte order when several are).
    // miss, where given, tells why nothing was found: absent only when the folder that
    // would hold the name was read and lacks it; unknown when something could not be read.
    std::optional<std::string> findEntry(const std::string& path, Presence* miss = nullptr);
    Presence lookup(const std::string& path) override;
    std::optional<EntryKind> kindOf(const std::string& path) override;
    std::optional<std::string> readLink(const std::string& path) override;

private:
    // Where a new entry would go: the parent looked up, and the existing entry of that
    // name (ignoring case) if there is one.
    struct Placement {
        std::string path;
        bool exists = false;
    };
    std::optional<Placement> place(const std::string& path);
    // Where the file system's own lookup already matches name the way Windows does, an
    // exact miss in folder is final: no need to read the whole folder.
    bool exactMissIsFinal(const std::string& folder, const std::string& name);
    std::optional<std::vector<Entry>> children(const std::string& folder, bool folders);
    // Drive roots are followed where they are links; every other link is a file.
    bool isDriveRoot(const std::string& path);
    void knowRoots(const std::vector<Drive>& drives);
    void ensureRootsKnown();
    // The descriptor holds the file system the mount table has at root.
    bool mountedAt(const std::string& root, int rootFd);
    [[nodiscard]] const std::string* guardedRootOf(const std::string& path) const;

    // The mount table as last read, with what was made of it: the monitor asks every few
    // seconds, and the table seldom changes.
    struct Table {
        std::string text;
        std::vector<posix::MountRecord> records;
        std::vector<Drive> drives;
    };
    const Table* table();

    std::optional<std::string> m_declared;
    MountSource m_source;
    std::optional<Table> m_table;
    posix::DiskFactsCache m_diskFacts;
    bool m_rootsKnown = false;
    std::vector<std::string> m_driveRoots;
    std::vector<std::string> m_guardedRoots; // removable drives' roots
};

// Parses a drive declaration: entries "type=path" separated by ';', with the types
// removable, fixed, network, cdrom and ram (or their numbers 1 to 5).
std::vector<Drive> parseDeclaredDrives(const std::string& declaration);

// Whether two names are equal ignoring letter case, as FAT and NTFS compare them: ASCII,
// Latin, Greek, Cyrillic and full-width Latin letters.
bool namesEqualIgnoringCase(const std::string& a, const std::string& b);
// The key under which names equal ignoring case are equal.
std::u32string foldCase(const std::string& name);

// Whether the kernel's own lookup of name on such a volume finds every entry that
// namesEqualIgnoringCase would: exFAT compares through the volume's up-case table; FAT folds
// ASCII letters only, and none with check=s (or msdos's nocase).
bool kernelMatchesIgnoringCase(const posix::FolderVolume& volume, const std::string& name);

} // namespace tw
