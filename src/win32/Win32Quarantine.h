#pragma once

#include "drive/QuarantineStore.h"
#include "ports/QuarantineFolder.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tw {

// The Windows part of the quarantine: a folder held open so that it cannot be renamed
// meanwhile, a lock file opened without sharing, files opened with
// FILE_FLAG_OPEN_REPARSE_POINT and only regular files read. A drive's identity is its
// volume serial number with its root folder's file index.
class Win32QuarantinePlatform final : public QuarantinePlatform {
public:
    explicit Win32QuarantinePlatform(std::string folder);

    std::unique_ptr<StoreFolder> openStore(bool create, bool& missing) override;
    std::optional<std::string> volumeIdentity(const std::string& root) override;
    std::optional<std::string> realFolder(const std::string& folder) override;
    std::unique_ptr<FileWriter> createOutside(const std::string& folder, const std::string& name,
                                              PlaceOutcome& outcome) override;
    PlaceOutcome createLink(const std::string& folder, const std::string& name,
                            const std::string& text) override;
    [[nodiscard]] std::string separators() const override { return "\\/"; }

private:
    std::string m_folder;
};

// The quarantine in a folder of the user's.
class Win32Quarantine final : public QuarantineStore {
public:
    static constexpr std::uint64_t defaultBound = QuarantineStore::defaultBound;

    // folder (UTF-8) is created at the first add; fs writes attribute words back.
    Win32Quarantine(const std::string& folder, FileSystem& fs, std::uint64_t bound = defaultBound)
        : QuarantineStore(std::make_unique<Win32QuarantinePlatform>(folder), fs, bound) {}

    // %LOCALAPPDATA%\Tarnwick\Quarantine; nothing when the folder cannot be told.
    static std::optional<std::string> defaultFolder();
};

} // namespace tw
