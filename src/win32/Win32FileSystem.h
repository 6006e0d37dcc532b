#pragma once

#include "ports/FileSystem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw {

namespace win32 {
class Handle;
struct Held;
struct Place;
} // namespace win32

// The Windows file-system layer. Drives come from the drive letters, or from a declaration
// such as "removable=C:\stick;fixed=C:" (the TARNWICK_DRIVES variable) that replaces them.
// Paths are UTF-8. Below a removable drive's root (and a pinned one) each name is opened
// relative to the handle of the folder that holds it, from the root down; elsewhere the
// holding folder is opened by its \\?\ path. Either way names ending in dots or spaces stay
// as they are, entries are made, replaced, changed and deleted through handles, and a
// reparse point (junction, symbolic link, mounted folder) is never followed: it is a file to
// every call here and deleting it removes it alone. Names match the way the volume matches
// them.
class Win32FileSystem final : public FileSystem {
public:
    Win32FileSystem();
    explicit Win32FileSystem(std::string declaredDrives);
    ~Win32FileSystem() override;
    Win32FileSystem(const Win32FileSystem&) = delete;
    Win32FileSystem& operator=(const Win32FileSystem&) = delete;

    // Declared drives from TARNWICK_DRIVES when it is set, else the drive letters.
    static std::unique_ptr<Win32FileSystem> fromEnvironment();

    std::vector<Drive> drives() override;
    bool isReady(const Drive& drive) override;
    std::string fileSystemName(const Drive& drive) override;
    std::string volumeLabel(const Drive& drive) override;
    [[nodiscard]] char separator() const override { return '\\'; }

    bool fileExists(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    // "absent" when the folder that would hold the name is held open and says it has no
    // such name (or the folder above it says so of that folder); "unknown" otherwise.
    Presence lookup(const std::string& path) override;
    std::optional<std::vector<EntryInfo>> list(const std::string& folder,
                                               ListDetail detail = ListDetail::all) override;
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
    // Lines in the system's ANSI code page, each ended by CR LF: batch files are read so.
    bool writeTextLines(const std::string& path, const std::vector<std::string>& lines) override;
    // Records the file opened: a later deleteFile of the same path deletes it only when the
    // path still names that very file, unchanged.
    std::unique_ptr<ByteReader> openRead(const std::string& path) override;
    std::optional<std::string> readLink(const std::string& path) override; // Win32Reparse.cpp
    // Holds the drive's root open for the action: every entry below it is reached from that
    // handle one name at a time, through no reparse point, and deleted through its own
    // handle. A drive pulled out makes the calls fail, as does a different medium put in
    // under the same letter.
    std::unique_ptr<FileSystem> pinDrive(const std::string& root) override;
    bool renameItem(const std::string& path, const std::string& newName) override;
    bool writeUtf8Lines(const std::string& path, const std::vector<std::string>& lines) override;
    // The deny rule is left to cacls.bat, as the program has always set it on Windows.
    bool denyEveryone(const std::string& folder) override;
    // The folder's access list read back: exactly one entry, denying Everyone all access.
    bool deniesEveryone(const std::string& folder) override;
    // The entry as the drive spells it; a short (8.3) name is taken for its long one.
    std::optional<std::string> resolveOnDrive(const std::string& driveRoot,
                                              const std::string& target) override;

private:
    struct Pin;
    // A file by its volume, its number there, its size and when it was last written.
    struct Identity {
        std::uint32_t volume = 0;
        std::uint64_t index = 0;
        std::uint64_t size = 0;
        std::uint64_t written = 0;
        bool operator==(const Identity&) const = default;
    };
    struct ReadRecord {
        std::string path;
        Identity file;
    };
    static Identity identityOf(const win32::Held& held);
    Win32FileSystem(Win32FileSystem& outside, std::string root);

    // The folder holding path's entry, held open, and the entry's name in it; on failure,
    // whether it says the entry is absent.
    std::optional<win32::Place> locate(const std::string& path, Presence& failure);
    // The entry at path, opened with access, never through a reparse point.
    std::optional<win32::Held> hold(const std::string& path, unsigned long access,
                                    unsigned long share = 7 /* read, write, delete */);
    // The guarded root that path lies at or below: the pinned root, else a removable drive.
    [[nodiscard]] std::optional<std::string> guardOf(const std::string& path);
    void knowRoots(const std::vector<Drive>& drives);
    std::optional<std::vector<Entry>> children(const std::string& folder, bool folders);
    bool writeFileReplacing(const std::string& path, bool mayReplace,
                            const std::function<bool(void*)>& write);

    std::optional<std::string> m_declared;
    bool m_rootsKnown = false;
    std::vector<std::string> m_driveRoots;
    std::vector<std::string> m_guardedRoots; // removable drives' roots
    Win32FileSystem* m_outside = nullptr;    // set on a pinned view
    std::unique_ptr<Pin> m_pin;
    std::optional<ReadRecord> m_lastRead;
};

// Parses a drive declaration: entries "type=path" separated by ';', with the types
// removable, fixed, network, cdrom and ram (or their numbers 1 to 5).
std::vector<Drive> parseWin32DeclaredDrives(const std::string& declaration);

// The core's drive type for a GetDriveTypeW value (one higher than the core's numbers).
int driveTypeOfWin32(unsigned win32Type);

// The attribute word callers see: read-only, hidden, system, directory, archive; a reparse
// point reads as a plain file (archive), as it is never followed.
std::uint32_t coreAttributes(unsigned long win32Attributes);

} // namespace tw
