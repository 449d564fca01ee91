#include "test_support.h"
#include "zip_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace archive_test;
using archive::ErrorCode;

namespace {

std::string loadArchive(const std::string &relative) {
    return readFile(dataDir() / relative);
}

// Extracts from memory into memory, so thousands of variants stay fast.
archive::Status extractInMemory(const std::string &bytes, MemoryFileSystem &fs) {
    archive::MemorySource source(bytes.data(), bytes.size());
    archive::ExtractOptions options;
    options.destination = "out";
    archive::ExtractSummary summary;
    return archive::extractArchive(source, fs, options, {}, summary);
}

} // namespace

TEST(ZipReader, ListsEntriesFromTheCentralDirectory) {
    const std::string bytes = loadArchive("good/infozip_deflate.zip");
    archive::MemorySource source(bytes.data(), bytes.size());
    archive::ZipReader reader;
    ASSERT_TRUE(reader.open(source).ok());

    std::map<std::string, std::pair<bool, std::uint32_t>> seen;
    for (const archive::ZipEntry &entry : reader.entries())
        seen[entry.name] = {entry.isDirectory, entry.size};
    EXPECT_EQ(seen.size(), 13u);
    EXPECT_EQ(seen["empty folder/"], std::make_pair(true, 0u));
    EXPECT_EQ(seen["empty.txt"], std::make_pair(false, 0u));
    EXPECT_EQ(seen["nested/deeper/deepest/data.bin"], std::make_pair(false, 150000u));
}

TEST(ZipReader, FileSourceRefusesMissingFilesAndFolders) {
    archive::FileSource source;
    EXPECT_FALSE(source.open((dataDir() / "no such archive.zip").string()));
    EXPECT_FALSE(source.open(dataDir().string()));
    EXPECT_TRUE(source.open((dataDir() / "special/commented.zip").string()));
}

TEST(ZipReader, EveryTruncationFails) {
    const std::string bytes = loadArchive("corrupt/truncation_base.zip");
    MemoryFileSystem complete;
    ASSERT_TRUE(extractInMemory(bytes, complete).ok());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        MemoryFileSystem fs;
        EXPECT_FALSE(extractInMemory(bytes.substr(0, length), fs).ok()) << "length " << length;
    }
}

// A flip in a field that matters must be caught; one in a field that does not
// (timestamps, attributes) must still give the original files.
TEST(ZipReader, EveryByteFlipFailsOrYieldsTheOriginalFiles) {
    const std::string bytes = loadArchive("corrupt/truncation_base.zip");
    MemoryFileSystem original;
    ASSERT_TRUE(extractInMemory(bytes, original).ok());
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        for (const unsigned char mask : {0x01, 0x80, 0xFF}) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(damaged[at] ^ mask);
            MemoryFileSystem fs;
            if (extractInMemory(damaged, fs).ok()) {
                EXPECT_EQ(fs.files, original.files) << "byte " << at << " mask " << int(mask);
                EXPECT_EQ(fs.folders, original.folders) << "byte " << at;
            }
        }
    }
}

TEST(ZipReader, CorruptArchivesFailWithTheRightCode) {
    const std::vector<std::pair<const char *, ErrorCode>> cases = {
        {"data_flipped", ErrorCode::DataError},
        {"crc_flipped", ErrorCode::DataError},
        {"size_larger", ErrorCode::DataError},
        {"size_smaller", ErrorCode::DataError},
        {"compressed_smaller", ErrorCode::DataError},
        {"compressed_larger", ErrorCode::DataError},
        {"deflate_garbage", ErrorCode::DataError},
        {"crc_central_only", ErrorCode::BadArchive},
        {"compressed_huge", ErrorCode::BadArchive},
        {"compressed_overlaps_central", ErrorCode::BadArchive},
        {"stored_sizes_disagree", ErrorCode::BadArchive},
        {"local_name", ErrorCode::BadArchive},
        {"local_method", ErrorCode::BadArchive},
        {"local_size", ErrorCode::BadArchive},
        {"local_offset", ErrorCode::BadArchive},
        {"descriptor_crc", ErrorCode::BadArchive},
        {"central_offset_past_end", ErrorCode::BadArchive},
        {"entry_count_high", ErrorCode::BadArchive},
        {"not_zip", ErrorCode::BadArchive},
        {"empty_file", ErrorCode::BadArchive},
    };
    for (const auto &[name, code] : cases) {
        TempDir temp;
        const fs::path dest = temp.path() / "dest";
        const archive::Status status =
            extract(dataDir() / "corrupt" / (std::string(name) + ".zip"), dest);
        EXPECT_EQ(status.code, code) << name << ": " << status.message;
        EXPECT_FALSE(status.message.empty()) << name;
        EXPECT_EQ(treeDiff({}, readTree(dest)), "") << name;
    }
}

TEST(ZipReader, UnsupportedFeaturesAreRefused) {
    for (const char *name : {"bzip2", "deflate64", "encrypted", "zip64_local", "zip64_end"}) {
        TempDir temp;
        const archive::Status status =
            extract(dataDir() / "unsupported" / (std::string(name) + ".zip"), temp.path() / "d");
        EXPECT_EQ(status.code, ErrorCode::Unsupported) << name << ": " << status.message;
        EXPECT_TRUE(isEmptyOrMissing(temp.path() / "d")) << name;
    }
}

TEST(ZipReader, CrcFailureKeepsEarlierEntriesAndLeavesNoPartialFile) {
    TempDir temp;
    const archive::Status status =
        extract(dataDir() / "corrupt/second_entry_bad_crc.zip", temp.path());
    EXPECT_EQ(status.code, ErrorCode::DataError);
    EXPECT_EQ(treeDiff({{"first.txt", "first"}}, readTree(temp.path())), "");
}
