#include "memory_fs.h"
#include "tree.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
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
    if (!source.open(archive.string()))
        return {ErrorCode::ArchiveOpen, "cannot open " + archive.string()};
    archive::DiskFileSystem disk;
    archive::ExtractSummary unused;
    return archive::extractArchive(source, disk, {destination.string(), overwrite}, {},
                                   summary != nullptr ? *summary : unused);
}

// The archives under a data folder, relative to it.
std::vector<fs::path> archivesIn(const char *folder) {
    std::vector<fs::path> found;
    for (const auto &item : fs::recursive_directory_iterator(kData / folder))
        if (item.path().extension() == ".zip" || item.path().extension() == ".7z")
            found.push_back(fs::relative(item.path(), kData / folder));
    std::sort(found.begin(), found.end());
    return found;
}

std::string caseName(const testing::TestParamInfo<fs::path> &info) {
    std::string name = (info.param.parent_path() / info.param.stem()).string() + "_" +
                       info.param.extension().string().substr(1);
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

} // namespace

class WrittenByOtherTools : public testing::TestWithParam<fs::path> {};

// The reference is the tree as Info-ZIP unzip (ZIP) or 7z x (7z) extracts it.
TEST_P(WrittenByOtherTools, GiveTheSourceTreeAsTheirOwnExtractorDoes) {
    TempDir temp;
    const archive::Status status = extract(kData / "good" / GetParam(), temp.path, false);
    ASSERT_TRUE(status.ok()) << status.message;
    EXPECT_EQ(readTree(temp.path), readTree(kData / "tree"));
    EXPECT_EQ(readTree(temp.path), readTree(kData / "reference" / GetParam().stem()));
}

INSTANTIATE_TEST_SUITE_P(Archives, WrittenByOtherTools, testing::ValuesIn(archivesIn("good")),
                         caseName);

TEST(Extract, UnusualLayoutsIntoANewNestedDestination) {
    const std::pair<const char *, std::vector<std::string>> cases[] = {
        {"backslashes.zip",
         {"drivers/", "drivers/empty/", "drivers/x86/", "drivers/x86/unidrv.gpd", "mixed/",
          "mixed/sep/", "mixed/sep/file.ini"}},
        {"implicit_folders.zip", {"a/", "a/b/", "a/b/c/", "a/b/c/deep.txt", "a/top.txt"}},
        {"dot_components.zip", {"dot.txt", "x/", "x/double.txt"}},
        {"commented.zip", {"note.txt"}},
        {"descriptor_nosig.zip", {"streamed.txt"}},
        {"no_entries.zip", {}},
        {"infozip_pipe.zip", {"-"}},
        {"zip64_local.zip", {"big.txt"}},
        {"names_utf8.zip", {"Ticket/", "Ticket/\u00DCn\u00EFcode\u540D.txt"}},
        {"names_oem.zip", {"Ticket/", "Ticket/\u00DCn\u00EFcode.txt"}},
        {"names_unicode_extra.zip", {"Ticket/", "Ticket/\u00DCn\u00EFcode\u540D.txt", "stale.txt"}},
        {"names.7z", {"Ticket/", "Ticket/\u00DCn\u00EFcode\u540D.txt"}},
        {"no_entries.7z", {}},
        {"only_empty.7z", {"empty folder/", "empty.txt"}},
    };
    for (const auto &[name, paths] : cases) {
        TempDir temp;
        const fs::path dest = temp.path / "new" / "dest dir";
        const archive::Status status = extract(kData / "special" / name, dest.string() + "/");
        EXPECT_TRUE(status.ok()) << name << ": " << status.message;
        std::vector<std::string> found;
        for (const auto &item : readTree(dest))
            found.push_back(item.first);
        EXPECT_EQ(found, paths) << name;
        EXPECT_TRUE(fs::is_directory(dest)) << name;
    }
}

// Without overwrite an existing file stops the extraction before anything is written;
// with it files are replaced and others kept. A file where a folder belongs, or the
// reverse, is a write error.
TEST(Extract, WhatTheDestinationAlreadyHolds) {
    const std::tuple<const char *, bool, ErrorCode> cases[] = {
        {"nested/deeper/deepest/data.bin", false, ErrorCode::FileExists},
        {"readme.txt", true, ErrorCode::None},
        {"nested/empty inner/", false, ErrorCode::None},
        {"readme.txt/", true, ErrorCode::WriteError},
        {"nested", true, ErrorCode::WriteError},
    };
    for (const auto &[existing, overwrite, code] : cases) {
        TempDir temp;
        fs::create_directories((temp.path / existing).parent_path());
        if (fs::path(existing).has_filename())
            std::ofstream(temp.path / existing) << "kept";
        std::ofstream(temp.path / "unrelated.txt") << "kept";
        Tree expected = readTree(temp.path);
        EXPECT_EQ(extract(kData / "good/python_stored.zip", temp.path, overwrite).code, code);
        if (code == ErrorCode::None)
            for (const auto &item : readTree(kData / "tree"))
                expected[item.first] = item.second;
        EXPECT_EQ(readTree(temp.path), expected) << existing;
    }
}

// A link below the destination, at a file's name or a folder's, is refused; one at the
// name a file's data once went to first is the user's and stays. What they point at
// stays as it was.
TEST(Extract, LinksBelowTheDestinationAreNotFollowed) {
    const std::tuple<const char *, const char *, ErrorCode> cases[] = {
        {"readme.txt", "file", ErrorCode::WriteError},
        {"nested", "folder", ErrorCode::WriteError},
        {"readme.txt.partial~", "file", ErrorCode::None},
        {"readme.txt.partial~", "absent", ErrorCode::None},
    };
    for (const auto &[link, target, code] : cases) {
        TempDir temp;
        const fs::path outside = temp.path / "outside", dest = temp.path / "dest";
        fs::create_directories(outside / "folder");
        fs::create_directories(dest);
        std::ofstream(outside / "file") << "victim";
        fs::create_symlink(outside / target, dest / link);
        const Tree before = readTree(outside);
        EXPECT_EQ(extract(kData / "good/python_stored.zip", dest).code, code) << link;
        EXPECT_EQ(readTree(outside), before) << link << " to " << target;
        EXPECT_TRUE(fs::is_symlink(dest / link)) << link;
    }
}

// Archives other extractors take, written by other tools, with and without -y: what unzip
// or 7z x made of each is the reference, files counted. Two entries of one file are a
// conflict without -y, found before anything is written.
TEST(Extract, AsThePeersDo) {
    for (const fs::path &name : archivesIn("peers")) {
        for (const bool overwrite : {false, true}) {
            TempDir temp;
            archive::ExtractSummary summary;
            const bool conflict = !overwrite && name.string().find("twice") != std::string::npos;
            const archive::Status status =
                extract(kData / "peers" / name, temp.path, overwrite, &summary);
            EXPECT_EQ(status.code, conflict ? ErrorCode::FileExists : ErrorCode::None) << name;
            const Tree expected = conflict ? Tree() : readTree(kData / "peers_reference" / name);
            EXPECT_EQ(readTree(temp.path), expected) << name;
            EXPECT_EQ(summary.files, std::count_if(expected.begin(), expected.end(),
                                                   [](auto &f) { return f.first.back() != '/'; }))
                << name;
        }
    }
}

// Refused with the code its folder names; only data errors, found while extracting,
// come after the destination is made. Malicious archives start with a harmless entry.
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
    EXPECT_FALSE(status.message.empty());
    const Tree made = {{"x/", ""}, {"x/dest/", ""}};
    EXPECT_EQ(readTree(temp.path), status.code == ErrorCode::DataError ? made : Tree());
    EXPECT_EQ(readTree(kData / "evil"), Tree{});
}

INSTANTIATE_TEST_SUITE_P(Archives, Refused, testing::ValuesIn(archivesIn("refused")), caseName);

TEST(Extract, UnsupportedMethodsAreNamed) {
    const std::pair<const char *, const char *> cases[] = {
        {"PPMd.7z", "PPMd"},          {"ARM64.7z", "ARM64"},          {"Delta.7z", "Delta"},
        {"BZip2.7z", "BZip2"},        {"Deflate.7z", "Deflate"},      {"7zAES.7z", "7zAES"},
        {"7zAES_header.7z", "7zAES"}, {"deflate64.zip", "Deflate64"}, {"bzip2.zip", "BZip2"},
        {"lzma.zip", "LZMA"}};
    for (const auto &[file, method] : cases) {
        TempDir temp;
        const archive::Status status = extract(kData / "refused/unsupported" / file, temp.path);
        EXPECT_NE(status.message.find(std::string("method ") + method + " "), std::string::npos)
            << file << ": " << status.message;
    }
}

TEST(Extract, AFolderIsNoArchive) {
    archive::FileSource source;
    EXPECT_FALSE(source.open(kData.string()));
}

TEST(Extract, DataErrorKeepsEarlierEntriesAndLeavesNoPartialFile) {
    for (const char *name :
         {"second_entry_bad_crc.zip", "second_entry_bad_crc.7z", "second_folder_bad_crc.7z"}) {
        TempDir temp;
        EXPECT_EQ(extract(kData / name, temp.path).code, ErrorCode::DataError) << name;
        EXPECT_EQ(readTree(temp.path), (Tree{{"first.txt", "first"}})) << name;
    }
}

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

TEST(Progress, EveryEntryStartsGrowsAndEndsInOrder) {
    std::ostringstream log;
    MemoryFileSystem fs;
    const auto record = [&](const archive::Progress &p) {
        log << "SWD"[int(p.stage)] << ' ' << p.index << '/' << p.count << ' ' << p.name << ' '
            << p.entryDone << '/' << p.entrySize << ' ' << p.totalDone << '/' << p.totalSize
            << '\n';
        return true;
    };
    ASSERT_TRUE(extractInMemory(readFile(kData / "small.zip"), fs, record).ok());
    EXPECT_EQ(log.str(), "S 0/3 dir/ 0/0 0/21005\n"
                         "D 0/3 dir/ 0/0 0/21005\n"
                         "S 1/3 dir/a.txt 0/21000 0/21005\n"
                         "W 1/3 dir/a.txt 21000/21000 21000/21005\n"
                         "D 1/3 dir/a.txt 21000/21000 21000/21005\n"
                         "S 2/3 b.txt 0/5 21000/21005\n"
                         "W 2/3 b.txt 5/5 21005/21005\n"
                         "D 2/3 b.txt 5/5 21005/21005\n");
}

class Robustness : public testing::TestWithParam<const char *> {};

TEST_P(Robustness, EveryTruncationFails) {
    const std::string bytes = readFile(kData / GetParam());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        MemoryFileSystem fs;
        EXPECT_FALSE(extractInMemory(bytes.substr(0, length), fs).ok()) << "length " << length;
    }
}

// A flip in a field that matters must be caught; one in a field that does not
// (timestamps, attributes) must still give the original files.
TEST_P(Robustness, EveryByteFlipFailsOrYieldsTheOriginalFiles) {
    const std::string bytes = readFile(kData / GetParam());
    MemoryFileSystem original;
    ASSERT_TRUE(extractInMemory(bytes, original).ok());
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        for (const unsigned char mask : {0x01, 0x80, 0xFF}) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(damaged[at] ^ mask);
            MemoryFileSystem fs;
            if (extractInMemory(damaged, fs).ok()) {
                EXPECT_EQ(fs.entries, original.entries) << "byte " << at << " mask " << int(mask);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Small, Robustness, testing::Values("small.zip", "small.7z"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param).replace(5, 1, "_");
                         });
