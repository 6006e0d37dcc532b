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
} // namespace win32

// The Windows file-system layer. Drives come from the drive letters, or from a declaration
// such as "removable=C:\stick;fixed=C:" (the TARNWICK_DRIVES variable) that replaces them.
// Paths are UTF-8; every call reaches the API as a \\?\ path, so names ending in dots or
// spaces stay as they are. A reparse point (junction, symbolic link, mounted folder) is
// never followed: it is a file to every call here and deleting it removes it alone. Names
// match the way the volume matches them.
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
    std::unique_ptr<ByteReader> openRead(const std::string& path) override;
    std::optional<std::string> readLink(const std::string& path) override; // Win32Reparse.cpp
    // Holds the drive's root open (a handle that follows no reparse point) for the action:
    // every entry reached below it must lie on the same volume and be reached through no
    // reparse point, and is deleted through its own handle. A drive pulled out makes the
    // calls fail, as does a different medium put in under the same letter.
    std::unique_ptr<FileSystem> pinDrive(const std::string& root) override;
    // The deny rule is left to cacls.bat, as the program has always set it on Windows.
    bool denyEveryone(const std::string& folder) override;
    // The folder's access list read back: exactly one entry, denying Everyone all access.
    bool deniesEveryone(const std::string& folder) override;
    std::optional<std::string> resolveOnDrive(const std::string& driveRoot,
                                              const std::string& target) override;

private:
    struct Pin;
    Win32FileSystem(Win32FileSystem& outside, std::string root);

    // The entry at path, opened with access (never through a reparse point below a guarded
    // root, and on its volume); for a new entry hold(parent) first.
    std::optional<win32::Held> hold(const std::string& path, unsigned long access);
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
