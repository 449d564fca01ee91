#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
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

std::string readFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path &path, const std::string &content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

Tree readTree(const fs::path &root) {
    Tree tree;
    if (!fs::exists(root))
        return tree;
    for (const auto &item : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(item.path(), root).generic_string();
        if (item.is_directory())
            tree[rel + "/"] = "";
        else
            tree[rel] = readFile(item.path());
    }
    return tree;
}

std::string treeDiff(const Tree &expected, const Tree &actual) {
    std::ostringstream out;
    for (const auto &[path, content] : expected) {
        const auto it = actual.find(path);
        if (it == actual.end())
            out << "missing " << path << "; ";
        else if (it->second != content)
            out << "content differs " << path << "; ";
    }
    for (const auto &item : actual)
        if (expected.count(item.first) == 0)
            out << "unexpected " << item.first << "; ";
    return out.str();
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
