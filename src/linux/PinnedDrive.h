#pragma once

#include "ports/FileSystem.h"
#include "linux/MountTable.h"
#include "linux/PosixAttributes.h"
#include "linux/PosixIo.h"

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <sys/stat.h>

namespace tw {

// One drive seen through a descriptor of its root, for the life of a drive action. Every
// call on a path at or below the root walks from that descriptor one name at a time, never
// through a link, never onto another file system (a mount inside the drive is not part of
// it), and deletes through the parent's descriptor. Names match the way Windows matches
// them. Calls on other paths go to the file system outside.
// An entry's status and, where the kernel tells, the number of the mount it lies on.
struct EntryStatView {
    struct stat st {};
    std::optional<std::uint64_t> mount;
};

namespace posix {
// The kind of an entry by its mode: a link, a FIFO, a socket or a device is never opened.
EntryKind kindOfMode(mode_t mode);
// The text of the link name in folderFd (AT_FDCWD: name is a path), never followed;
// sizeHint: the length its status gave. Nothing when it is no link or cannot be read.
std::optional<std::string> readLinkAt(int folderFd, const std::string& name, std::size_t sizeHint);
} // namespace posix

class PinnedDrive final : public FileSystem {
public:
    // rootFd: an O_PATH descriptor of the root, or negative when it could not be opened
    // (then every call on the drive fails). volume: how the drive's own lookup compares names.
    PinnedDrive(FileSystem& outside, std::string root, posix::Fd rootFd,
                std::optional<posix::FolderVolume> volume);

    std::vector<Drive> drives() override { return m_outside.drives(); }
    // The pinned drive is ready while its root, through the descriptor, can be read.
    bool isReady(const Drive& drive) override;
    std::string fileSystemName(const Drive& drive) override {
        return m_outside.fileSystemName(drive);
    }
    std::string volumeLabel(const Drive& drive) override { return m_outside.volumeLabel(drive); }
    [[nodiscard]] char separator() const override { return '/'; }

    bool fileExists(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    // "absent" only when the folder that would hold the name answered without it; a root
    // that no longer answers (the drive pulled out) tells nothing.
    Presence lookup(const std::string& path) override;
    std::optional<std::vector<EntryInfo>> list(const std::string& folder,
                                               ListDetail detail = ListDetail::all) override;
    bool renameItem(const std::string& path, const std::string& newName) override;
    std::optional<EntryKind> kindOf(const std::string& path) override;
    // Read through the descriptor of the link's folder; the link itself is never opened.
    std::optional<std::string> readLink(const std::string& path) override;
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
    std::unique_ptr<FileSystem> pinDrive(const std::string& root) override {
        return m_outside.pinDrive(root);
    }
    bool denyEveryone(const std::string& folder) override;
    bool deniesEveryone(const std::string& folder) override;
    std::optional<std::string> resolveOnDrive(const std::string& driveRoot,
                                              const std::string& target) override;

private:
    // An entry of the drive: the descriptor of its folder and its name there; for the root
    // itself no name and the root's descriptor.
    struct Found {
        posix::Fd folder{-1};
        int folderFd = -1;
        std::string name;
        std::string path; // as callers see it, with the names as the drive spells them
        struct stat st {};
        [[nodiscard]] bool isRoot() const { return name.empty(); }
    };
    // A folder's names by their case-folded form, reused while the folder is unchanged.
    struct Listing {
        struct timespec changed {};
        std::unordered_map<std::u32string, std::string> byFolded;
    };

    // The names of path below the root; nothing when the path lies elsewhere.
    [[nodiscard]] std::optional<std::vector<std::string>> partsOf(const std::string& path) const;
    std::optional<Found> find(const std::vector<std::string>& parts);
    std::optional<Found> findOnDrive(const std::string& path);
    // The folder at path opened for listing (fd -1 when it cannot be), with its path as the
    // drive spells it; nothing when path names no folder.
    struct FolderToList {
        std::string path;
        int fd = -1;
    };
    std::optional<FolderToList> openFolderToList(const std::string& path);
    // The name as the folder spells it: the exact name, else the one equal ignoring case.
    // foreign: the entry is the root of something mounted there.
    // miss, where given, tells why nothing was found: absent, or unknown when the folder
    // could not be read.
    std::optional<std::string> nameIn(int folderFd, const std::string& name, struct stat& st,
                                      bool& foreign, Presence* miss = nullptr);
    std::optional<std::string> matchIgnoringCase(int folderFd, const std::string& name,
                                                 bool& unreadable);
    // Opens a name of a folder on the drive: no link, no other file system.
    int openBeneath(int folderFd, const std::string& name, int flags) const;
    // The entry found, opened for reading where it is a file or folder that allows it, else
    // held with O_PATH; checked to be the one found.
    struct Held {
        posix::Fd fd;
        posix::HeldEntry entry;
    };
    [[nodiscard]] Held openEntry(const Found& found) const;
    // Runs onDriveCall on a folder of the drive, reached through a descriptor's path;
    // elsewhere for a folder off the drive.
    bool onHeldFolder(const std::string& folder,
                      const std::function<bool(const std::string&)>& onDriveCall,
                      const std::function<bool()>& elsewhere);
    std::optional<std::vector<Entry>> children(const std::string& folder, bool folders);
    // The folder behind the descriptor still answers and is still linked into its volume.
    [[nodiscard]] static bool answers(int folderFd);
    // On the drive's own mount: same device and, where the kernel tells, the same mount.
    [[nodiscard]] bool onDrive(const EntryStatView& e) const;

    FileSystem& m_outside;
    std::string m_root;
    posix::Fd m_rootFd;
    dev_t m_dev = 0;
    unsigned long m_magic = 0; // statfs type: the drive is one file system
    std::optional<std::uint64_t> m_mount;
    std::optional<posix::FolderVolume> m_volume;
    std::unordered_map<ino_t, Listing> m_listings;
    // Folders read once for one name: the index is built on the second lookup.
    std::unordered_map<ino_t, struct timespec> m_probed;
};

} // namespace tw
