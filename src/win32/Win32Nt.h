#pragma once

#include "ports/FileSystem.h"
#include "win32/Win32Handle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::win32 {

// The native calls that open a name relative to a folder held open, so that no path text is
// read again below a pinned root. Loaded from ntdll at first use.
using Status = long;

namespace status {
inline constexpr Status success = 0;
inline constexpr Status noMoreFiles = static_cast<Status>(0x80000006);
inline constexpr Status invalidParameter = static_cast<Status>(0xC000000D);
inline constexpr Status noSuchFile = static_cast<Status>(0xC000000F);
inline constexpr Status accessDenied = static_cast<Status>(0xC0000022);
inline constexpr Status nameInvalid = static_cast<Status>(0xC0000033);
inline constexpr Status nameNotFound = static_cast<Status>(0xC0000034);
inline constexpr Status nameCollision = static_cast<Status>(0xC0000035);
inline constexpr Status pathNotFound = static_cast<Status>(0xC000003A);
inline constexpr Status notADirectory = static_cast<Status>(0xC0000103);
inline constexpr Status notSupported = static_cast<Status>(0xC00000BB);
inline constexpr Status deletePending = static_cast<Status>(0xC0000056);
inline constexpr Status sharingViolation = static_cast<Status>(0xC0000043);
inline constexpr Status unavailable = static_cast<Status>(0xC0000001); // no ntdll call
} // namespace status

inline bool succeeded(Status s) {
    return s >= 0;
}

// Whether a failure says that the name is not in the folder, as opposed to one that says
// nothing about it (a device gone, access denied, an I/O error).
bool saysAbsent(Status s);

struct Opened {
    Status status = status::unavailable;
    Handle handle;
};

// Opens name (one name, no separator; empty for the folder itself) in the folder held by
// folder, never through a reparse point, matching names the way the volume does.
// disposition: FILE_OPEN, FILE_CREATE; options: FILE_DIRECTORY_FILE and the like.
Opened openAt(HANDLE folder, std::wstring_view name, unsigned long access, unsigned long share,
              unsigned long disposition, unsigned long options);

// Deletes the entry open on h (opened with DELETE) with POSIX semantics: the name goes at
// once, also while others hold the file open. With ignoreReadOnly a read-only file goes too.
Status disposeAtOnce(HANDLE h, bool ignoreReadOnly);
// Whether a failure says that the volume (or the system) has no such disposition.
bool isUnsupported(Status s);
// The classic disposition: the name goes when the last handle on the file closes. With
// ignoreReadOnly a read-only file's attribute is cleared first (and put back on failure).
Status disposeOnClose(HANDLE h, bool ignoreReadOnly);
// POSIX semantics where the volume has them, else the classic disposition.
Status dispose(HANDLE h, bool ignoreReadOnly);

// Opens a folder on the way below the one held by folder: a folder, never a reparse point.
// One that denies listing is still passed (the protective folder).
Opened openWay(HANDLE folder, std::wstring_view name);

// The place of the entry reached from the folder held by root through parts (UTF-8 names),
// each folder on the way opened in the one above it and held; on failure, whether it says
// the entry is absent.
std::optional<Place> walkFrom(HANDLE root, const std::vector<std::string>& parts,
                              Presence& failure);

// Writes the attribute word (read-only, hidden, system, archive) on the entry open on h
// (with FILE_WRITE_ATTRIBUTES), whose attributes are now; the bits the word cannot say are
// kept as they are.
bool writeAttributeWord(HANDLE h, unsigned long now, std::uint32_t word);

// Gives the file open on h (opened with DELETE) the name name in the folder held by folder.
Status renameAt(HANDLE h, HANDLE folder, std::wstring_view name, bool replace);

// An entry of a folder as its listing tells it.
struct Listed {
    std::wstring name;
    std::wstring shortName; // empty where the volume keeps none
    unsigned long attributes = 0;
    std::uint64_t size = 0;
};

// The entries of the folder open on folder (with FILE_LIST_DIRECTORY and SYNCHRONIZE), "."
// and ".." left out; nothing when it cannot be listed.
std::optional<std::vector<Listed>> listAt(HANDLE folder);

// Whether a name can be handed to openAt: not empty, no separator, no wildcard, no stream
// (':'), no control character.
bool isPlainName(std::wstring_view name);

} // namespace tw::win32
