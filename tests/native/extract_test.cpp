#include "entry_names.h"
#include "memory_fs.h"
#include "tree.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace archive_test;
using archive::ErrorCode;

namespace {

// Written by make_archives.py at build time.
const fs::path kData = ARCHIVE_TEST_DATA;

struct TempDir {
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
    static inline int made = 0;
    const fs::path path = fs::temp_directory_path() / ("archive-test-" + std::to_string(getpid()) +
                                                       "-" + std::to_string(++made));
};

archive::Status extract(const fs::path &archive, const fs::path &destination, bool overwrite = true,
                        archive::ExtractSummary *summary = nullptr) {
    archive::FileSource source;
    EXPECT_TRUE(source.open(archive.string())) << archive;
    archive::DiskFileSystem disk;
    archive::ExtractSummary unused;
    return archive::extractArchive(source, disk, {destination.string(), overwrite}, {},
                                   summary != nullptr ? *summary : unused);
}

// The archives under a data folder, relative to it.
std::vector<fs::path> archivesIn(const char *folder) {
    std::vector<fs::path> found;
    for (const auto &item : fs::recursive_directory_iterator(kData / folder))
        if (item.is_regular_file())
            found.push_back(fs::relative(item.path(), kData / folder));
    return found;
}

std::string caseName(const testing::TestParamInfo<fs::path> &info) {
    std::string name = info.param.string();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

} // namespace

// Each against what unzip or 7zz x make of it, into a destination not yet there, with
// and without -y: two entries of one file conflict without it, before anything is written.
class Good : public testing::TestWithParam<fs::path> {};

TEST_P(Good, AsTheirOwnExtractorDoes) {
    for (const bool overwrite : {false, true}) {
        TempDir temp;
        const fs::path dest = temp.path / "new" / "dest dir";
        archive::ExtractSummary summary;
        const bool conflict = !overwrite && GetParam().string().find("twice") != std::string::npos;
        const archive::Status status =
            extract(kData / "good" / GetParam(), dest.string() + "/", overwrite, &summary);
        EXPECT_EQ(status.code, conflict ? ErrorCode::FileExists : ErrorCode::None)
            << status.message;
        const Tree expected = conflict ? Tree() : readTree(kData / "reference" / GetParam());
        EXPECT_EQ(readTree(dest), expected);
        EXPECT_EQ(fs::is_directory(dest), !conflict);
        EXPECT_EQ(summary.files, std::count_if(expected.begin(), expected.end(),
                                               [](auto &f) { return f.first.back() != '/'; }));
    }
}

INSTANTIATE_TEST_SUITE_P(Archives, Good, testing::ValuesIn(archivesIn("good")), caseName);

// Without overwrite an existing file stops the extraction before anything is written;
// with it files are replaced and others kept. A file where a folder belongs, or the
// reverse, is a write error. A link at a file's or a folder's name is refused; one at a
// name beside them, a temporary name of old, is the user's and stays. What links point at
// is kept.
TEST(Extract, WhatTheDestinationAlreadyHolds) {
    const std::tuple<const char *, const char *, bool, ErrorCode> cases[] = {
        {"nested/deeper/deepest/data.bin", "", false, ErrorCode::FileExists},
        {"readme.txt", "", true, ErrorCode::None},
        {"nested/empty inner/", "", false, ErrorCode::None},
        {"readme.txt/", "", true, ErrorCode::WriteError},
        {"nested", "", true, ErrorCode::WriteError},
        {"readme.txt", "file", true, ErrorCode::WriteError},
        {"nested", "folder", true, ErrorCode::WriteError},
        {"readme.txt.partial~", "file", true, ErrorCode::None},
        {"readme.txt.partial~", "absent", true, ErrorCode::None},
    };
    for (const auto &[existing, linkTo, overwrite, code] : cases) {
        TempDir temp;
        const fs::path outside = temp.path / "outside", dest = temp.path / "dest";
        fs::create_directories(outside / "folder");
        fs::create_directories((dest / existing).parent_path());
        std::ofstream(outside / "file") << "victim";
        std::ofstream(dest / "unrelated.txt") << "kept";
        if (*linkTo != '\0')
            fs::create_symlink(outside / linkTo, dest / existing);
        else if (fs::path(existing).has_filename())
            std::ofstream(dest / existing) << "kept";
        Tree expected = readTree(temp.path);
        EXPECT_EQ(extract(kData / "good/infozip_stored.zip", dest, overwrite).code, code)
            << existing << " " << linkTo;
        if (code == ErrorCode::None)
            for (const auto &item : readTree(kData / "tree"))
                expected["dest/" + item.first] = item.second;
        EXPECT_EQ(readTree(temp.path), expected) << existing << " " << linkTo;
    }
}

// The disk, but the second thread's first write into a file it has begun waits until the
// caller has cancelled, and then a while longer: an extraction that returned before that
// thread ended finds it still inside the write.
class HeldSideWrite : public archive::DiskFileSystem {
public:
    std::unique_ptr<archive::OutputFile> create(const std::string &path, bool replace) override {
        std::unique_ptr<archive::OutputFile> file = DiskFileSystem::create(path, replace);
        if (!file || std::this_thread::get_id() == main_)
            return file;
        return std::make_unique<Held>(*this, std::move(file));
    }

    // The progress handler: cancels once the second thread is held half-way through a file.
    bool cancelWhenHeld() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(10), [&] { return held; });
        cancelled_ = true;
        changed_.notify_all();
        return false;
    }

    bool held = false;
    std::atomic<int> writing{0};

private:
    struct Held : archive::OutputFile {
        Held(HeldSideWrite &fs, std::unique_ptr<archive::OutputFile> file)
            : fs(fs), file(std::move(file)) {}
        bool write(const std::uint8_t *data, std::size_t size) override {
            ++fs.writing;
            if (begun)
                fs.holdOnce();
            begun = true;
            const bool written = file->write(data, size);
            --fs.writing;
            return written;
        }
        bool close() override { return file->close(); }
        bool commit() override { return file->commit(); }
        HeldSideWrite &fs;
        std::unique_ptr<archive::OutputFile> file;
        bool begun = false;
    };

    void holdOnce() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (held)
            return;
        held = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return cancelled_; });
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }

    const std::thread::id main_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable changed_;
    bool cancelled_ = false;
};

// A 7z of a folder a file, cancelled while the second thread is half-way through one of the
// last: the call returns only after that thread, and none of its files is left, whole or
// half-written, nor the folders made for them.
TEST(Extract, CancelledWhileTheSecondThreadWrites) {
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "a single core runs no second thread";
    TempDir temp;
    archive::FileSource source;
    ASSERT_TRUE(source.open((kData / "good/sevenzip_lzma2_nonsolid_plain_header.7z").string()));
    HeldSideWrite disk;
    archive::ExtractSummary summary;
    const archive::Status status = archive::extractArchive(
        source, disk, {temp.path.string(), true},
        [&](const archive::Progress &) { return disk.cancelWhenHeld(); }, summary);
    EXPECT_EQ(disk.writing.load(), 0);
    EXPECT_TRUE(disk.held);
    EXPECT_EQ(status.code, ErrorCode::Cancelled) << status.message;
    EXPECT_EQ(readTree(temp.path), Tree());
}

// Refused with the code its folder names, an unsupported method by its name. Only data
// errors, found while extracting, come after the destination is made, and they keep the
// intact entry before the damaged one; the unsafe ones start with a harmless entry.
class Refused : public testing::TestWithParam<fs::path> {};

TEST_P(Refused, WithItsCodeAndNothingWritten) {
    const std::map<fs::path, ErrorCode> codes = {{"bad_archive", ErrorCode::BadArchive},
                                                 {"data_error", ErrorCode::DataError},
                                                 {"unsafe_path", ErrorCode::UnsafePath},
                                                 {"write_error", ErrorCode::WriteError},
                                                 {"unsupported", ErrorCode::Unsupported}};
    TempDir temp;
    const archive::Status status = extract(kData / "refused" / GetParam(), temp.path / "x/dest");
    EXPECT_EQ(status.code, codes.at(GetParam().parent_path())) << status.message;
    const std::string method = GetParam().stem().string();
    EXPECT_TRUE(status.code != ErrorCode::Unsupported ||
                status.message.find(method.substr(0, method.find('_')) + " ") != std::string::npos)
        << status.message;
    EXPECT_FALSE(status.message.empty());
    const Tree made = {{"x/", ""}, {"x/dest/", ""}, {"x/dest/first.txt", "first"}};
    EXPECT_EQ(readTree(temp.path), status.code == ErrorCode::DataError ? made : Tree());
    EXPECT_EQ(readTree(kData / "evil"), Tree{});
}

INSTANTIATE_TEST_SUITE_P(Archives, Refused, testing::ValuesIn(archivesIn("refused")), caseName);

TEST(EntryNames, EscapesAndDevicesAreRefusedLookalikesAllowed) {
    std::vector<std::string> parts;
    for (const char *name :
         {"console.ini", "nul_driver.txt", "COM10", "LPT0.log", "aux1/x", "con-x.txt", "a..b",
          ".hidden", "..data", "dir with blanks/f g", "\xC3\xA9t\xC3\xA9.txt"})
        EXPECT_TRUE(archive::splitEntryName(name, parts).ok()) << name;
    for (const char *name :
         {"",           "/",         "\\",        "/etc/passwd", "\\x",      "..",
          "../x",       "a/../../b", "a\\..\\b",  "a/..",        "C:",       "C:x",
          "C:\\x",      "c:/x",      "x:y",       "con",         "CON",      "Con.txt",
          "nul.tar.gz", "aux",       "PRN",       "com1",        "COM9.log", "lpt1",
          "LPT9.txt",   "CONIN$",    "conout$",   "d/nul/e",     "nul .txt", "com\xC2\xB9",
          "a<b",        "a>b",       "a|b",       "a?b",         "a*b",      "a\"b",
          "tab\there",  "trailing.", "trailing ", "sub./x",      "..."})
        EXPECT_EQ(archive::splitEntryName(name, parts).code, ErrorCode::UnsafePath) << name;
}

// Small archives of two writers and methods: every truncation fails; a flip in a field that
// matters is caught, one in a field that does not (timestamps, attributes) gives the same files.
TEST(Robustness, TruncationsFailByteFlipsFailOrYieldTheOriginalFiles) {
    for (const char *name : {"seeds/infozip_deflate.zip", "seeds/sevenzip_bcj2.7z"}) {
        const std::string bytes = readFile(kData / name);
        MemoryFileSystem original;
        ASSERT_TRUE(extractInMemory(bytes, &original).ok());
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            EXPECT_FALSE(extractInMemory(bytes.substr(0, at)).ok()) << name << " length " << at;
            for (const unsigned char mask : {0x01, 0x80, 0xFF}) {
                std::string damaged = bytes;
                damaged[at] = static_cast<char>(damaged[at] ^ mask);
                MemoryFileSystem fs;
                EXPECT_TRUE(!extractInMemory(damaged, &fs).ok() || fs.entries == original.entries)
                    << name << " byte " << at << " mask " << int(mask);
            }
        }
    }
}
