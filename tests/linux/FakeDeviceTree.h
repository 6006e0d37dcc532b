#pragma once

#include "linux/MountTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace tw::test {

// The sysfs path of a USB stick's disk (sdb, 8:16), as a desktop has it.
inline const std::string usbStickDisk = "devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/"
                                        "target6:0:0/6:0:0:0/block/sdb";

// A path as mountinfo writes it: a blank becomes \040.
inline std::string mountInfoPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        out += c == ' ' ? std::string("\\040") : std::string(1, c);
    }
    return out;
}

// A fake /sys, /dev and /run/udev/data in a temporary folder, laid out like the real ones:
// /sys/dev/block/M:m links to the device's folder under /sys/devices, a partition's folder
// lies inside its disk's and holds a "partition" file.
class FakeDeviceTree {
public:
    // A whole disk at sys/<devicePath> (its last part is the disk's name).
    void disk(const std::string& devicePath, posix::DevNumber dev, bool removable,
              const std::string& size = "30031872") {
        const std::string folder = m_dir / ("sys/" + devicePath);
        std::filesystem::create_directories(folder);
        writeFile(folder + "/removable", removable ? "1\n" : "0\n");
        writeFile(folder + "/size", size + "\n");
        link(devicePath, dev);
    }
    // A partition of a disk made with disk().
    void partition(const std::string& diskPath, const std::string& name, posix::DevNumber dev,
                   const std::string& size = "30029824") {
        const std::string devicePath = diskPath + "/" + name;
        const std::string folder = m_dir / ("sys/" + devicePath);
        std::filesystem::create_directories(folder);
        writeFile(folder + "/partition", "1\n");
        writeFile(folder + "/size", size + "\n");
        writeFile(folder + "/uevent", "MAJOR=" + std::to_string(dev.major) +
                                          "\nMINOR=" + std::to_string(dev.minor) +
                                          "\nDEVNAME=" + name + "\nDEVTYPE=partition\n");
        link(devicePath, dev);
    }
    // holder (a device mapper) sits on slave.
    void slave(const std::string& holderPath, const std::string& slavePath) {
        const std::string folder = m_dir / ("sys/" + holderPath + "/slaves");
        std::filesystem::create_directories(folder);
        std::filesystem::create_symlink(m_dir / ("sys/" + slavePath),
                                        folder + "/" +
                                            std::filesystem::path(slavePath).filename().string());
    }
    // Any file of the tree, e.g. "sys/devices/.../device/type", "dev/sdb1", "udev/b8:17".
    void file(const std::string& relative, const std::string& content) {
        const std::filesystem::path path = m_dir / relative;
        std::filesystem::create_directories(path.parent_path());
        writeFile(path.string(), content);
    }
    void remove(const std::string& relative) { std::filesystem::remove_all(m_dir / relative); }

    // Mount sources that name a block device the table does not (btrfs, fuse).
    std::map<std::string, posix::DevNumber> sources;

    // Only a device file is ever resolved: any other source (an image on a share) may hang.
    [[nodiscard]] posix::SystemRoots roots() const {
        posix::SystemRoots roots;
        roots.sys = m_dir / "sys";
        roots.dev = m_dir / "dev";
        roots.udevData = m_dir / "udev";
        roots.blockDeviceOfSource =
            [map = sources](const std::string& source) -> std::optional<posix::DevNumber> {
            EXPECT_TRUE(source.starts_with("/dev/") && source.find("/..") == std::string::npos)
                << "asked about " << source;
            const auto it = map.find(source);
            if (it == map.end()) {
                return std::nullopt;
            }
            return it->second;
        };
        return roots;
    }
    [[nodiscard]] const std::string& path() const { return m_dir.path(); }

private:
    void link(const std::string& devicePath, posix::DevNumber dev) {
        std::filesystem::create_directories(m_dir / "sys/dev/block");
        // Relative, as sysfs has it: ../../devices/...
        std::filesystem::create_symlink("../../" + devicePath,
                                        m_dir / ("sys/dev/block/" + posix::toString(dev)));
    }

    TempDir m_dir{"devtree"};
};

} // namespace tw::test
