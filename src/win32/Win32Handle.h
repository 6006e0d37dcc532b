#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace tw::win32 {

// Owns a file handle; closed when it goes.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : m_h(std::exchange(other.m_h, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            m_h = std::exchange(other.m_h, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    [[nodiscard]] HANDLE get() const { return m_h; }
    [[nodiscard]] bool valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    void reset() {
        if (valid()) {
            ::CloseHandle(m_h);
        }
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

// An entry held open for one call, with the folders on its way below a guarded root held
// too, so that none of them can be renamed or replaced meanwhile.
struct Held {
    std::vector<Handle> way;
    Handle entry;
    BY_HANDLE_FILE_INFORMATION info{};
    [[nodiscard]] bool isReparsePoint() const {
        return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }
    // A folder to every call: a directory that is not a reparse point.
    [[nodiscard]] bool isFolder() const {
        return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !isReparsePoint();
    }
};

// Where an entry lies: the folder that holds it, held open, and its name there. Nothing
// below a guarded root is reached again through path text once its folder is held.
struct Place {
    std::vector<Handle> way; // the folders on the way, held so that they stay where they are
    Handle owned;            // the holding folder when it was opened for this call
    HANDLE folder = INVALID_HANDLE_VALUE;
    std::wstring name; // empty: the entry is the held folder itself (a drive's root)
};

} // namespace tw::win32
