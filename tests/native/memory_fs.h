// Extraction from memory into memory, for the tests that extract thousands of damaged
// archives and for the fuzzer: any path outside the destination "out" aborts.
#pragma once

#include "extractor.h"

#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace archive_test {

class MemoryFileSystem : public archive::FileSystem {
public:
    // The fuzzer drops file data, which a hostile archive can make huge.
    explicit MemoryFileSystem(bool keepData = true) : keepData_(keepData) {}

    char separator() const override { return '/'; }
    archive::PathKind kind(const std::string &path) override {
        if (entries.count(path + "/") != 0)
            return archive::PathKind::Directory;
        return entries.count(path) != 0 ? archive::PathKind::File : archive::PathKind::Missing;
    }
    bool makeDirectory(const std::string &path) override {
        return entries.emplace(inside(path) + "/", "").second;
    }
    bool removeDirectory(const std::string &path) override {
        const auto folder = entries.find(path + "/");
        if (folder == entries.end() || (std::next(folder) != entries.end() &&
                                        std::next(folder)->first.rfind(folder->first, 0) == 0))
            return false;
        entries.erase(folder);
        return true;
    }
    std::unique_ptr<archive::OutputFile> create(const std::string &path, bool) override {
        return std::make_unique<File>(*this, inside(path));
    }

    // Path to content; folders end in '/'.
    std::map<std::string, std::string> entries;

private:
    // Entered into the table only when committed, which the extractor does under its lock:
    // a second thread may be writing files meanwhile.
    struct File : archive::OutputFile {
        File(MemoryFileSystem &fs, std::string path) : fs(fs), path(std::move(path)) {}
        bool write(const std::uint8_t *bytes, std::size_t size) override {
            if (fs.keepData_)
                data.append(reinterpret_cast<const char *>(bytes), size);
            return true;
        }
        bool close() override { return true; }
        bool commit() override {
            fs.entries[path] = std::move(data);
            return true;
        }
        MemoryFileSystem &fs;
        std::string path, data;
    };

    static const std::string &inside(const std::string &path) {
        const std::string rest = path.compare(0, 3, "out") == 0 ? path.substr(3) + "/" : "";
        for (const char *escape : {"//", "/./", "/../", ":", "\\"})
            if (rest[0] != '/' || rest.find(escape) != std::string::npos)
                std::abort();
        return path;
    }

    bool keepData_;
};

// Into fs, or into one that drops file data.
inline archive::Status extractInMemory(std::string_view bytes, MemoryFileSystem *fs = nullptr) {
    MemoryFileSystem dropping(false);
    archive::MemorySource source(bytes.data(), bytes.size());
    archive::ExtractSummary summary;
    return archive::extractArchive(source, fs ? *fs : dropping, {"out", true}, {}, summary);
}

} // namespace archive_test
