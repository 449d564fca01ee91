// libFuzzer target: any input must be handled without crashing, and whatever the
// extractor accepts may only ever touch paths inside the destination.
#include "command_line.h"
#include "extractor.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

const std::string kRoot = "out";

// Aborts on any path a hostile archive could use to escape the destination.
void requireInsideRoot(const std::string &path) {
    if (path == kRoot)
        return;
    if (path.compare(0, kRoot.size() + 1, kRoot + "/") != 0)
        std::abort();
    for (std::size_t start = kRoot.size() + 1; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string component = path.substr(start, end - start);
        if (component.empty() || component == "." || component == ".." ||
            component.find_first_of(":\\") != std::string::npos)
            std::abort();
        start = end + 1;
    }
}

class DiscardingFile : public archive::OutputFile {
public:
    bool write(const std::uint8_t *, std::size_t) override { return true; }
    bool commit() override { return true; }
};

class CheckingFileSystem : public archive::FileSystem {
public:
    char separator() const override { return '/'; }
    archive::PathKind kind(const std::string &) override { return archive::PathKind::Missing; }
    bool makeDirectory(const std::string &path) override {
        requireInsideRoot(path);
        return true;
    }
    std::unique_ptr<archive::OutputFile> create(const std::string &path) override {
        requireInsideRoot(path);
        return std::make_unique<DiscardingFile>();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    archive::MemorySource source(data, size);
    CheckingFileSystem fs;
    archive::ExtractOptions options;
    options.destination = kRoot;
    options.overwrite = true;
    archive::ExtractSummary summary;
    archive::extractArchive(source, fs, options, {}, summary);

    archive::Command command;
    archive::parseCommandLine(std::string(reinterpret_cast<const char *>(data), size), command);
    return 0;
}
