#pragma once

#include "status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace archive {

// Random-access input, so archives can come from a file or from memory (tests, fuzzing).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Fails (returns false) unless all n bytes could be read. Safe from two threads at once.
    virtual bool readAt(std::uint64_t offset, void *out, std::size_t n) = 0;
    // The file's name without its folder, UTF-8; empty where there is no file.
    virtual std::string name() const { return {}; }
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void *data, std::size_t size)
        : data_(static_cast<const std::uint8_t *>(data)), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, void *out, std::size_t n) override;

private:
    const std::uint8_t *data_;
    std::size_t size_;
};

struct ArchiveEntry {
    std::string name; // UTF-8, decoded from however the archive stores it; '/' or '\'
    std::uint64_t size = 0;
    bool isDirectory = false;
};

// Entries whose data is decoded apart from all the others' (a 7z folder): from begin up to
// the next run's begin. memory is what decoding it holds at once.
struct EntryRun {
    std::size_t begin = 0;
    std::uint64_t memory = 0;
};

// Receives decompressed data in order; a failed status aborts the extraction.
using ChunkSink = std::function<Status(const std::uint8_t *data, std::size_t size)>;

class ArchiveReader {
public:
    virtual ~ArchiveReader() = default;

    // Reads the whole directory and checks what can be checked without decoding, so
    // damage and unknown methods are found before anything is extracted.
    virtual Status open(ByteSource &source) = 0;

    virtual const std::vector<ArchiveEntry> &entries() const = 0;

    // Streams one file's data to sink, checking its size and CRC. Extracting in
    // the order of entries() is the fast path: solid data is then decoded once.
    virtual Status extract(std::size_t index, const ChunkSink &sink) = 0;

    // The runs a fork() may extract on another thread while this reader extracts another
    // run; none where the format gains nothing from it.
    virtual std::vector<EntryRun> runs() const { return {}; }
    // Another reader of the same opened archive, for another thread.
    virtual std::unique_ptr<ArchiveReader> fork() const { return nullptr; }
};

// The reader for the format the content shows, whatever the file is called.
std::unique_ptr<ArchiveReader> readerFor(ByteSource &source);

} // namespace archive
