#pragma once

#include "archive_reader.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace archive {

// Link stands for a symbolic link, junction or any other reparse point: it is reported,
// never followed.
enum class PathKind { Missing, File, Directory, Link, Other };

// Data written here stays invisible under its final name until commit(), so an entry
// that fails half-way (bad CRC, cancel) leaves no truncated file behind. The file is
// created new, never opened where something (a link included) is already there.
class OutputFile {
public:
    virtual ~OutputFile() = default; // discards everything unless committed
    virtual bool write(const std::uint8_t *data, std::size_t size) = 0;
    virtual bool commit() = 0; // replaces any file of the same name in one step
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual char separator() const = 0;
    virtual PathKind kind(const std::string &path) = 0;
    virtual bool makeDirectory(const std::string &path) = 0;
    virtual std::unique_ptr<OutputFile> create(const std::string &path) = 0;
};

// Paths are UTF-8; Windows gets them as wide characters, so every name arrives intact.
class DiskFileSystem : public FileSystem {
public:
    char separator() const override;
    PathKind kind(const std::string &path) override;
    bool makeDirectory(const std::string &path) override;
    std::unique_ptr<OutputFile> create(const std::string &path) override;
};

class FileSource : public ByteSource {
public:
    FileSource() = default;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;
    ~FileSource() override;

    bool open(const std::string &path);
    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, void *out, std::size_t n) override;

private:
    std::FILE *file_ = nullptr;
    std::uint64_t size_ = 0;
};

} // namespace archive
