#ifdef TARNWICK_HAVE_POSIX

#include "linux/PosixAttributes.h"
#include "linux/PosixFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tw::test {
namespace {

struct RoundTrip {
    std::uint32_t written;
    std::uint32_t readBack;
};

void setRawDosAttrib(const std::string& path, const std::string& raw) {
    ASSERT_EQ(::setxattr(path.c_str(), "user.DOSATTRIB", raw.data(), raw.size(), 0), 0) << path;
}

std::string rawDosAttrib(const std::string& path) {
    char buffer[64];
    const ssize_t n = ::getxattr(path.c_str(), "user.DOSATTRIB", buffer, sizeof buffer);
    return n < 0 ? "<none>" : std::string(buffer, static_cast<std::size_t>(n));
}

class DosAttribTest : public ::testing::Test {
protected:
    TempDir stick{"attrs"};
    PosixFileSystem fs{"removable=" + stick.path()};
};

// Where the file system keeps no attributes: user.DOSATTRIB, and the write permission
// for a file's read-only bit. Folders read with 16, files without it, whatever is written.
TEST_F(DosAttribTest, FileRoundTrips) {
    const std::vector<RoundTrip> cases = {
        {32, 32}, {0, 0}, {1, 1},  {33, 33}, {2, 2},    {34, 34},   {38, 38},     {39, 39},
        {7, 7},   {4, 4}, {16, 0}, {48, 32}, {0x80, 0}, {0x400, 0}, {0x2020, 32},
    };
    for (const auto& c : cases) {
        const std::string file = stick / ("f" + std::to_string(c.written));
        writeFile(file, "x");
        EXPECT_TRUE(fs.setAttributes(file, c.written)) << c.written;
        EXPECT_EQ(fs.attributes(file), c.readBack) << c.written;
    }
    // The default leaves no record behind; read-only lives in the mode, not in the record.
    EXPECT_EQ(rawDosAttrib(stick / "f32"), "<none>");
    EXPECT_EQ(rawDosAttrib(stick / "f33"), "<none>");
    EXPECT_EQ(rawDosAttrib(stick / "f38"), "0x26");
    struct stat st {};
    ASSERT_EQ(::stat((stick / "f33").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    // And read-only goes away again.
    EXPECT_TRUE(fs.setAttributes(stick / "f33", 32));
    EXPECT_EQ(fs.attributes(stick / "f33"), 32u);
}

// Writing 7 to a folder reads back 23 on every backend: the directory bit follows the
// folder, and the folder keeps read-only with the other bits.
TEST_F(DosAttribTest, FolderRoundTrips) {
    const std::vector<RoundTrip> cases = {
        {7, 23},  {16, 16}, {0, 16},  {18, 18}, {22, 22},
        {48, 48}, {23, 23}, {17, 17}, {1, 17},  {0x416, 22},
    };
    for (const auto& c : cases) {
        const std::string folder = stick / ("d" + std::to_string(c.written));
        makeDir(folder);
        EXPECT_TRUE(fs.setAttributes(folder, c.written)) << c.written;
        EXPECT_EQ(fs.attributes(folder), c.readBack) << c.written;
    }
    EXPECT_EQ(rawDosAttrib(stick / "d7"), "0x7");
    EXPECT_EQ(rawDosAttrib(stick / "d16"), "<none>");
}

TEST_F(DosAttribTest, ProtectiveFolderWithGuardFolderNamedWithDots) {
    ASSERT_TRUE(fs.mkDir(stick / "autorun.inf"));
    ASSERT_TRUE(fs.mkDir(stick / "autorun.inf/Velmora免疫文件夹.../"));
    ASSERT_TRUE(fs.setAttributes(stick / "autorun.inf", 7));
    EXPECT_EQ(fs.attributes(stick / "autorun.inf"), 23u);
    EXPECT_TRUE(fs.folderExists(stick / "autorun.inf/Velmora免疫文件夹.../"));
    EXPECT_FALSE(fs.folderExists(stick / "autorun.inf/Velmora免疫文件夹"));
    EXPECT_EQ(fs.attributes(stick / "autorun.inf/Velmora免疫文件夹.../"), 16u);
    EXPECT_TRUE(exists(stick / "autorun.inf/Velmora免疫文件夹..."));
}

// Records left by Samba (its binary form, or the bare hex text) and by Wine read alike.
TEST_F(DosAttribTest, ReadsRecordsOfOtherPrograms) {
    using namespace std::string_literals;
    struct Record {
        const char* name;
        std::string raw;
        bool folder;
        std::uint32_t shown;
    };
    // Samba version 5: "" NUL, pad, version 5, level 5, pad, valid flags, attribute word,
    // creation time.
    const std::string samba5 = "\0\0\x05\0\x05\0\0\0\x01\0\0\0\x26\0\0\0\x10\x32\x54\x76\0\0\0\0"s;
    const std::string samba3 = "\0\0\x03\0\x03\0\0\0\x01\0\0\0\x12\0\0\0\0\0\0\0\0\0\0\0"s;
    const std::string samba1 = "\0\0\x01\0\x01\0\0\0\x02\0\0\0\0\0\0\0"s;
    std::vector<Record> records = {
        {"samba5-file", samba5, false, 38},     {"samba3-folder", samba3, true, 18},
        {"samba1-file", samba1, false, 2},      {"hex-file", "0x22", false, 34},
        {"hex-nul-file", "0x27\0"s, false, 38}, // a writable file is not read-only
        {"upper-hex-folder", "0X6", true, 22},  {"wine-hidden-file", "0x2", false, 2},
        {"normal-file", "0x80", false, 0},      {"garbage-file", "hello", false, 32},
        {"garbage-folder", "0xZZ", true, 16},   {"folder-with-archive", "0x30", true, 48},
    };
    for (const auto& r : records) {
        const std::string path = stick / r.name;
        if (r.folder) {
            makeDir(path);
        } else {
            writeFile(path, "x");
        }
        setRawDosAttrib(path, r.raw);
        EXPECT_EQ(fs.attributes(path), r.shown) << r.name;
    }
    // A record longer than a listing reads at once.
    writeFile(stick / "long-record-file", "x");
    setRawDosAttrib(stick / "long-record-file", "0x26" + std::string(400, '\0'));
    records.push_back({"long-record-file", {}, false, 38});

    // A listing reads the same words by name in the folder, in one call or, on older
    // kernels, through the folder's descriptor link.
    const auto pinned = fs.pinDrive(stick.path());
    for (const bool oneCall : {true, false}) {
        SCOPED_TRACE(oneCall ? "one call" : "descriptor link");
        posix::useXattrAt(oneCall);
        const auto listed = pinned->list(stick.path());
        ASSERT_TRUE(listed);
        for (const auto& r : records) {
            const auto entry = std::find_if(listed->begin(), listed->end(),
                                            [&](const EntryInfo& e) { return e.name == r.name; });
            ASSERT_NE(entry, listed->end()) << r.name;
            EXPECT_EQ(entry->attributes, r.shown) << r.name;
        }
    }
    posix::useXattrAt(true);
}

TEST_F(DosAttribTest, DefaultsAndPermissions) {
    writeFile(stick / "plain.txt", "x");
    writeFile(stick / ".hidden-by-name", "x");
    writeFile(stick / "locked.txt", "x");
    ::chmod((stick / "locked.txt").c_str(), 0444);
    makeDir(stick / "folder");
    makeDir(stick / ".dotfolder");
    EXPECT_EQ(fs.attributes(stick / "plain.txt"), 32u);
    EXPECT_EQ(fs.attributes(stick / ".hidden-by-name"), 32u); // a leading dot hides nothing
    EXPECT_EQ(fs.attributes(stick / "locked.txt"), 33u);
    EXPECT_EQ(fs.attributes(stick / "folder"), 16u);
    EXPECT_EQ(fs.attributes(stick / ".dotfolder"), 16u);
    EXPECT_EQ(fs.attributes(stick / "missing"), std::nullopt);
    EXPECT_FALSE(fs.setAttributes(stick / "missing", 32));
}

TEST(AttributeStore, ChosenByTheFileSystem) {
    using posix::AttributeStore;
    EXPECT_EQ(posix::attributeStoreFor(0x4d44, false), AttributeStore::fatIoctl);      // vfat
    EXPECT_EQ(posix::attributeStoreFor(0x2011BAB0, false), AttributeStore::fatIoctl);  // exFAT
    EXPECT_EQ(posix::attributeStoreFor(0x7366746e, false), AttributeStore::ntfsXattr); // ntfs3
    EXPECT_EQ(posix::attributeStoreFor(0x65735546, true), AttributeStore::ntfsXattr);  // ntfs-3g
    EXPECT_EQ(posix::attributeStoreFor(0x65735546, false), AttributeStore::dosAttrib); // sshfs
    EXPECT_EQ(posix::attributeStoreFor(0xEF53, false), AttributeStore::dosAttrib);     // ext4
    EXPECT_EQ(posix::attributeStoreFor(0x01021994, false), AttributeStore::dosAttrib); // tmpfs
}

// What the FAT ioctls and NTFS words hold, as files and folders show it.
TEST(AttributeStore, StoredWordsAsShown) {
    struct Case {
        std::uint32_t stored;
        bool folder;
        std::uint32_t shown;
    };
    const std::vector<Case> cases = {
        {0x20, false, 32},   {0x80, false, 0},      {0x21, false, 33},     {0x27, false, 39},
        {0x30, true, 48},    {0x17, true, 23},      {0x07, true, 23},      {0x10, true, 16},
        {0x2020, false, 32}, {0x820, false, 0x820}, {0x420, false, 0x420}, {0x10, false, 0},
        {0x08, false, 8},    {0x1016, true, 22},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(posix::shownWord(c.stored, c.folder), c.shown) << std::hex << c.stored;
    }
}

} // namespace
} // namespace tw::test

#endif
