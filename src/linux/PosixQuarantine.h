#pragma once

#include "drive/QuarantineStore.h"
#include "ports/QuarantineFolder.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tw {

// The Linux part of the quarantine: a folder of mode 0700, copies of mode 0600 (no execute
// bit), an flock on a lock file, and every file opened without following a link and without
// blocking on a FIFO. A drive's identity is its file system's UUID (else its device) with
// its root folder's inode, so that the folder below a mount point never passes for it.
class PosixQuarantinePlatform final : public QuarantinePlatform {
public:
    explicit PosixQuarantinePlatform(std::string folder) : m_folder(std::move(folder)) {}

    std::unique_ptr<StoreFolder> openStore(bool create, bool& missing) override;
    std::optional<std::string> volumeIdentity(const std::string& root) override;
    std::optional<std::string> realFolder(const std::string& folder) override;
    std::unique_ptr<FileWriter> createOutside(const std::string& folder, const std::string& name,
                                              PlaceOutcome& outcome) override;
    PlaceOutcome createLink(const std::string& folder, const std::string& name,
                            const std::string& text) override;
    [[nodiscard]] std::string separators() const override { return "/"; }

private:
    std::string m_folder;
};

// The quarantine in a folder of the user's.
class PosixQuarantine final : public QuarantineStore {
public:
    static constexpr std::uint64_t defaultBound = QuarantineStore::defaultBound;

    // folder is created (mode 0700) at the first add; fs writes attribute words back.
    PosixQuarantine(const std::string& folder, FileSystem& fs, std::uint64_t bound = defaultBound)
        : QuarantineStore(std::make_unique<PosixQuarantinePlatform>(folder), fs, bound),
          m_folder(folder) {}

    // $XDG_DATA_HOME/tarnwick/quarantine, else ~/.local/share/tarnwick/quarantine; nothing
    // when there is no home folder to tell.
    static std::optional<std::string> defaultFolder();

    [[nodiscard]] const std::string& folder() const { return m_folder; }

private:
    std::string m_folder;
};

} // namespace tw
