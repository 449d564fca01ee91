#pragma once

#include "extractor.h"
#include "file_system.h"
#include "tree.h"

#include <set>

namespace archive_test {

// Archives written by make_archives.py: $ARCHIVE_TEST_DATA when ctest's fixture made
// them, otherwise written once for this process.
const fs::path &dataDir();

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const fs::path &path() const { return path_; }

private:
    fs::path path_;
};

bool isEmptyOrMissing(const fs::path &dir);

archive::Status extract(const fs::path &archive, const fs::path &destination, bool overwrite = true,
                        const archive::ProgressHandler &progress = {},
                        archive::ExtractSummary *summary = nullptr);

// Unzips with Info-ZIP's unzip, the reference our results are compared with.
bool unzip(const fs::path &archive, const fs::path &destination);

// Keeps extracted files in memory, for tests that run many extractions.
class MemoryFileSystem : public archive::FileSystem {
public:
    char separator() const override { return '/'; }
    archive::PathKind kind(const std::string &path) override;
    bool makeDirectory(const std::string &path) override;
    std::unique_ptr<archive::OutputFile> create(const std::string &path) override;

    std::map<std::string, std::string> files;
    std::set<std::string> folders;
};

} // namespace archive_test
