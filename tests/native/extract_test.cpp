#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace archive_test;
using archive::ErrorCode;
using archive::Progress;

namespace {

const Tree &sourceTree() {
    static const Tree tree = readTree(dataDir() / "tree");
    return tree;
}

std::vector<std::string> archivesIn(const char *folder) {
    std::vector<std::string> names;
    for (const auto &item : fs::directory_iterator(dataDir() / folder))
        names.push_back(item.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string paramName(const testing::TestParamInfo<std::string> &info) {
    return info.param;
}

} // namespace

// Archives of one tree written by other tools must unpack to that tree, as unzip does.
class WrittenByOtherTools : public testing::TestWithParam<std::string> {};

TEST_P(WrittenByOtherTools, MatchesSourceTreeAndUnzip) {
    const fs::path archive = dataDir() / "good" / (GetParam() + ".zip");
    TempDir ours;
    TempDir reference;
    archive::ExtractSummary summary;
    const archive::Status status = extract(archive, ours.path(), false, {}, &summary);
    ASSERT_TRUE(status.ok()) << status.message;
    ASSERT_TRUE(unzip(archive, reference.path()));

    const Tree extracted = readTree(ours.path());
    EXPECT_EQ(treeDiff(sourceTree(), extracted), "");
    EXPECT_EQ(treeDiff(readTree(reference.path()), extracted), "");
    EXPECT_EQ(summary.files, 7u);
    EXPECT_EQ(summary.folders, 6u);
}

INSTANTIATE_TEST_SUITE_P(Archives, WrittenByOtherTools, testing::ValuesIn(archivesIn("good")),
                         paramName);

TEST(Extract, UnusualLayouts) {
    const std::vector<std::pair<const char *, std::vector<std::string>>> cases = {
        {"backslashes",
         {"drivers/", "drivers/x86/", "drivers/x86/unidrv.gpd", "drivers/empty/", "mixed/",
          "mixed/sep/", "mixed/sep/file.ini"}},
        {"implicit_folders", {"a/", "a/b/", "a/b/c/", "a/b/c/deep.txt", "a/top.txt"}},
        {"dot_components", {"dot.txt", "x/", "x/double.txt"}},
        {"commented", {"note.txt"}},
        {"descriptor_nosig", {"streamed.txt"}},
        {"no_entries", {}},
    };
    for (const auto &[name, paths] : cases) {
        TempDir temp;
        const fs::path dest = temp.path() / "dest";
        const archive::Status status =
            extract(dataDir() / "special" / (std::string(name) + ".zip"), dest);
        EXPECT_TRUE(status.ok()) << name << ": " << status.message;
        std::vector<std::string> found;
        for (const auto &item : readTree(dest))
            found.push_back(item.first);
        std::vector<std::string> expected = paths;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found, expected) << name;
        EXPECT_TRUE(fs::is_directory(dest)) << name;
    }
}

TEST(Extract, CreatesNestedDestinationGivenWithTrailingSeparator) {
    TempDir temp;
    const fs::path dest = temp.path() / "new" / "dest dir";
    ASSERT_TRUE(extract(dataDir() / "special/commented.zip", dest.string() + "/").ok());
    EXPECT_TRUE(fs::is_regular_file(dest / "note.txt"));
}

TEST(Extract, ExistingFileWithoutOverwriteFailsBeforeWritingAnything) {
    TempDir temp;
    writeFile(temp.path() / "nested/deeper/deepest/data.bin", "keep me");
    const archive::Status status =
        extract(dataDir() / "good/python_deflated.zip", temp.path(), false);
    EXPECT_EQ(status.code, ErrorCode::FileExists) << status.message;
    EXPECT_EQ(treeDiff({{"nested/", ""},
                        {"nested/deeper/", ""},
                        {"nested/deeper/deepest/", ""},
                        {"nested/deeper/deepest/data.bin", "keep me"}},
                       readTree(temp.path())),
              "");
}

TEST(Extract, OverwriteReplacesFilesAndKeepsOthers) {
    TempDir temp;
    writeFile(temp.path() / "readme.txt", "old");
    writeFile(temp.path() / "unrelated.txt", "mine");
    ASSERT_TRUE(extract(dataDir() / "good/infozip_deflate.zip", temp.path(), true).ok());
    Tree expected = sourceTree();
    expected["unrelated.txt"] = "mine";
    EXPECT_EQ(treeDiff(expected, readTree(temp.path())), "");
}

TEST(Extract, ExistingFoldersNeedNoOverwrite) {
    TempDir temp;
    fs::create_directories(temp.path() / "nested/empty inner");
    fs::create_directories(temp.path() / "empty folder");
    ASSERT_TRUE(extract(dataDir() / "good/p7zip_deflate.zip", temp.path(), false).ok());
    EXPECT_EQ(treeDiff(sourceTree(), readTree(temp.path())), "");
}

TEST(Extract, FileAndFolderCollisionsFail) {
    TempDir asFolder;
    fs::create_directories(asFolder.path() / "readme.txt");
    EXPECT_EQ(extract(dataDir() / "good/python_stored.zip", asFolder.path()).code,
              ErrorCode::WriteError);

    TempDir asFile;
    writeFile(asFile.path() / "nested", "a file where a folder belongs");
    EXPECT_EQ(extract(dataDir() / "good/python_stored.zip", asFile.path()).code,
              ErrorCode::WriteError);

    TempDir destIsFile;
    writeFile(destIsFile.path() / "dest", "");
    EXPECT_EQ(extract(dataDir() / "good/python_stored.zip", destIsFile.path() / "dest").code,
              ErrorCode::WriteError);
}

// Every malicious archive starts with a harmless entry: nothing at all may be written.
class MaliciousEntry : public testing::TestWithParam<std::string> {};

TEST_P(MaliciousEntry, IsRefusedAndNothingIsWritten) {
    TempDir root;
    const fs::path dest = root.path() / "x" / "dest";
    const archive::Status status =
        extract(dataDir() / "malicious" / (GetParam() + ".zip"), dest, true);
    EXPECT_EQ(status.code, ErrorCode::UnsafePath) << status.message;
    EXPECT_TRUE(isEmptyOrMissing(dest));
    EXPECT_EQ(treeDiff({}, readTree(root.path())), "");
    EXPECT_TRUE(isEmptyOrMissing(dataDir() / "evil"));
}

INSTANTIATE_TEST_SUITE_P(Archives, MaliciousEntry, testing::ValuesIn(archivesIn("malicious")),
                         paramName);

TEST(EntryNames, SplitsOnBothSeparatorsAndSkipsEmptyAndDotComponents) {
    std::vector<std::string> parts;
    ASSERT_TRUE(archive::splitEntryName("a\\b/c.txt", parts).ok());
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "c.txt"}));
    ASSERT_TRUE(archive::splitEntryName("./a//b/", parts).ok());
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "b"}));
}

TEST(EntryNames, NamesCloseToReservedOnesAreAllowed) {
    std::vector<std::string> parts;
    for (const char *name :
         {"console.ini", "nul_driver.txt", "COM10", "LPT0.log", "aux1/x", "con-x.txt", "a..b",
          ".hidden", "..data", "dir with blanks/f g", "\xC3\xA9t\xC3\xA9.txt"})
        EXPECT_TRUE(archive::splitEntryName(name, parts).ok()) << name;
}

TEST(EntryNames, EscapesAndDevicesAreRefused) {
    std::vector<std::string> parts;
    for (const char *name :
         {"",          "/",         "\\",        "/etc/passwd", "\\x",        "..",      "../x",
          "a/../../b", "a\\..\\b",  "a/..",      "C:",          "C:x",        "C:\\x",   "c:/x",
          "x:y",       "con",       "CON",       "Con.txt",     "nul.tar.gz", "aux",     "PRN",
          "com1",      "COM9.log",  "lpt1",      "LPT9.txt",    "CONIN$",     "conout$", "d/nul/e",
          "nul .txt",  "com\xB9",   "a<b",       "a>b",         "a|b",        "a?b",     "a*b",
          "a\"b",      "tab\there", "trailing.", "trailing ",   "sub./x",     "..."}) {
        const archive::Status status = archive::splitEntryName(name, parts);
        EXPECT_EQ(status.code, ErrorCode::UnsafePath) << "'" << name << "'";
    }
}

TEST(Progress, ReportsEveryEntryInOrderWithConsistentTotals) {
    const std::string bytes = readFile(dataDir() / "good/python_deflated.zip");
    archive::MemorySource source(bytes.data(), bytes.size());
    MemoryFileSystem fs;
    std::size_t finished = 0;
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    Progress::Stage last = Progress::Stage::EntryDone;
    const auto check = [&](const Progress &p) {
        if (finished == 0 && p.stage == Progress::Stage::EntryStart)
            total = p.totalSize;
        EXPECT_EQ(p.count, 13u);
        EXPECT_EQ(p.index, finished);
        EXPECT_EQ(p.totalSize, total);
        EXPECT_GE(p.totalDone, done);
        EXPECT_LE(p.entryDone, p.entrySize);
        EXPECT_EQ(p.stage == Progress::Stage::EntryStart, last == Progress::Stage::EntryDone)
            << p.name;
        if (p.stage == Progress::Stage::EntryStart) {
            EXPECT_EQ(p.entryDone, 0u);
        }
        if (p.stage == Progress::Stage::EntryDone) {
            EXPECT_EQ(p.entryDone, p.entrySize) << p.name;
            ++finished;
        }
        done = p.totalDone;
        last = p.stage;
        return true;
    };
    archive::ExtractSummary summary;
    const archive::Status status = archive::extractArchive(source, fs, {}, check, summary);
    ASSERT_TRUE(status.ok()) << status.message;
    EXPECT_EQ(finished, 13u);
    EXPECT_EQ(total, summary.bytes);
    EXPECT_EQ(done, total);
}

TEST(Progress, CancelStopsWithoutLeavingAPartialFile) {
    TempDir temp;
    std::size_t chunks = 0;
    const archive::Status status =
        extract(dataDir() / "good/python_deflated.zip", temp.path(), true, [&](const Progress &p) {
            return !(p.stage == Progress::Stage::EntryData && p.name == "big.dll" && ++chunks == 3);
        });
    EXPECT_EQ(status.code, ErrorCode::Cancelled);
    const Tree tree = readTree(temp.path());
    for (const auto &item : tree)
        EXPECT_EQ(item.first.find("big.dll"), std::string::npos) << item.first;
}

TEST(Progress, CancelAtTheFirstEntryWritesNothing) {
    TempDir temp;
    const archive::Status status = extract(dataDir() / "good/infozip_stored.zip", temp.path(), true,
                                           [](const Progress &) { return false; });
    EXPECT_EQ(status.code, ErrorCode::Cancelled);
    EXPECT_TRUE(fs::is_empty(temp.path()));
}
