#pragma once

#include "status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace archive {

// Random-access input, so archives can come from a file or from memory (tests, fuzzing).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Fails (returns false) unless all n bytes could be read.
    virtual bool readAt(std::uint64_t offset, void *out, std::size_t n) = 0;
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

struct ZipEntry {
    std::string name; // raw bytes as stored; separators may be '/' or '\'
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::uint64_t dataOffset = 0;
    bool isDirectory = false;
};

// Receives decompressed data in order; a failed status aborts the extraction.
using ChunkSink = std::function<Status(const std::uint8_t *data, std::size_t size)>;

class ZipReader {
public:
    // Reads the central directory and checks every local header against it, so
    // structural damage is found before anything is extracted.
    Status open(ByteSource &source);

    const std::vector<ZipEntry> &entries() const { return entries_; }

    // Streams one entry's data to sink; fails on size, CRC or deflate errors.
    Status extract(const ZipEntry &entry, const ChunkSink &sink) const;

private:
    Status readCentralDirectory(std::uint64_t offset, std::uint32_t size, std::uint16_t count);
    Status checkLocalHeader(ZipEntry &entry, std::uint32_t localOffset);
    Status copyStored(const ZipEntry &entry, const ChunkSink &emit) const;
    Status inflateEntry(const ZipEntry &entry, const ChunkSink &emit) const;

    ByteSource *source_ = nullptr;
    std::uint64_t centralOffset_ = 0;
    std::vector<ZipEntry> entries_;
};

} // namespace archive
