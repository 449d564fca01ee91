#include "test_support.h"

#include <cstdlib>
#include <stdexcept>

namespace archive_test {
namespace {

std::string shellQuote(const std::string &text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class MemoryOutput : public archive::OutputFile {
public:
    MemoryOutput(MemoryFileSystem &fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    bool write(const std::uint8_t *data, std::size_t size) override {
        data_.append(reinterpret_cast<const char *>(data), size);
        return true;
    }
    bool commit() override {
        fs_.files[path_] = std::move(data_);
        return true;
    }

private:
    MemoryFileSystem &fs_;
    std::string path_;
    std::string data_;
};

} // namespace

const fs::path &dataDir() {
    static const TempDir generated;
    static const fs::path dir = [] {
        if (const char *env = std::getenv("ARCHIVE_TEST_DATA"))
            return fs::path(env);
        const fs::path out = generated.path() / "data";
        const std::string command = shellQuote(ARCHIVE_PYTHON) + " " +
                                    shellQuote(ARCHIVE_TEST_SCRIPT) + " " +
                                    shellQuote(out.string()) + " " + shellQuote(ARCHIVE_CMAKE);
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("cannot generate test archives: " + command);
        return out;
    }();
    return dir;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "archive-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

bool isEmptyOrMissing(const fs::path &dir) {
    return !fs::exists(dir) || fs::is_empty(dir);
}

archive::Status extract(const fs::path &archive, const fs::path &destination, bool overwrite,
                        const archive::ProgressHandler &progress,
                        archive::ExtractSummary *summary) {
    archive::FileSource source;
    if (!source.open(archive.string()))
        return {archive::ErrorCode::ArchiveOpen, "cannot open " + archive.string()};
    archive::DiskFileSystem disk;
    archive::ExtractOptions options;
    options.destination = destination.string();
    options.overwrite = overwrite;
    archive::ExtractSummary ignored;
    return archive::extractArchive(source, disk, options, progress, summary ? *summary : ignored);
}

bool unzip(const fs::path &archive, const fs::path &destination) {
    const std::string command = shellQuote(ARCHIVE_UNZIP) + " -qq -o " +
                                shellQuote(archive.string()) + " -d " +
                                shellQuote(destination.string());
    return std::system(command.c_str()) == 0;
}

archive::PathKind MemoryFileSystem::kind(const std::string &path) {
    if (folders.count(path) != 0)
        return archive::PathKind::Directory;
    return files.count(path) != 0 ? archive::PathKind::File : archive::PathKind::Missing;
}

bool MemoryFileSystem::makeDirectory(const std::string &path) {
    return files.count(path) == 0 && folders.insert(path).second;
}

std::unique_ptr<archive::OutputFile> MemoryFileSystem::create(const std::string &path) {
    return std::make_unique<MemoryOutput>(*this, path);
}

} // namespace archive_test
