#pragma once

#include "archive_reader.h"
#include "threads.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

// Link stands for a symbolic link, junction or any other reparse point: it is reported,
// never followed.
enum class PathKind { Missing, File, Directory, Link, Other };

// A file being written. It is created new, never opened where something (a link
// included) is already there; data that fails half-way (bad CRC, cancel) leaves nothing
// behind, and a file it replaces stays whole until commit().
class OutputFile {
public:
    virtual ~OutputFile() = default; // removes what was written unless committed
    virtual bool write(const std::uint8_t *data, std::size_t size) = 0;
    // Ends the writing, so that many finished files need no open handles; commit() does it
    // too where it was not done.
    virtual bool close() = 0;
    virtual bool commit() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual char separator() const = 0;
    virtual PathKind kind(const std::string &path) = 0;
    virtual bool makeDirectory(const std::string &path) = 0;
    // Only an empty folder is removed.
    virtual bool removeDirectory(const std::string &path) = 0;
    // Writes under the final name when nothing is there; with replace, the file there is
    // replaced in one step at commit(), read-only or not.
    virtual std::unique_ptr<OutputFile> create(const std::string &path, bool replace) = 0;
    // Whether files and folders here can bear every character of name.
    virtual bool canName(std::string_view) const { return true; }
};

// Paths are UTF-8; Windows gets them as wide characters, so every name arrives intact, or,
// where the wide calls are not implemented (Windows 95, 98 and Me), in the ANSI code page.
class DiskFileSystem : public FileSystem {
public:
    DiskFileSystem();
    char separator() const override;
    PathKind kind(const std::string &path) override;
    bool makeDirectory(const std::string &path) override;
    bool removeDirectory(const std::string &path) override;
    std::unique_ptr<OutputFile> create(const std::string &path, bool replace) override;
    bool canName(std::string_view name) const override;

private:
    const bool ansi_;
};

class FileSource : public ByteSource {
public:
    FileSource() = default;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;
    ~FileSource() override;

    bool open(const std::string &path); // a file, never a folder
    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, void *out, std::size_t n) override;
    std::string name() const override { return name_; }

private:
    static constexpr std::size_t kCacheSize = 64 * 1024;
    void close();

    std::intptr_t file_ = -1; // descriptor or HANDLE
    std::string name_;
    std::uint64_t size_ = 0;
    Mutex cacheMutex_; // readers on two threads share the cache
    // Where reads move the file pointer, readers on two threads take turns with it.
    Mutex pointerMutex_;
    Mutex *pointerLock_ = nullptr;
    std::vector<std::uint8_t> cache_;
    std::uint64_t cacheStart_ = 0;
    std::size_t cacheSize_ = 0;
};

} // namespace archive
