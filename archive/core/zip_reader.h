#pragma once

#include "archive_reader.h"
#include "coder_stream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace archive {

struct ZipEntry {
    std::string rawName; // bytes as stored, to match the local header
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t dataOffset = 0;
};

// ZIP archives, ZIP64 included: stored, Deflate (zlib), Deflate64, BZip2, LZMA and PPMd
// entries, names as the writer meant them.
class ZipReader : public ArchiveReader {
public:
    // Reads the central directory and checks every local header against it, so
    // structural damage is found before anything is extracted.
    Status open(ByteSource &source) override;

    const std::vector<ArchiveEntry> &entries() const override { return entries_; }

    // Streams one entry's data to sink; fails on size, CRC or data errors.
    Status extract(std::size_t index, const ChunkSink &sink) override;

private:
    // Takes the end record at endOffset; located tells whether its directory is there.
    Status readEnd(std::uint64_t endOffset, const std::uint8_t *end, bool &located);
    Status readCentralDirectory(std::uint64_t offset, std::uint64_t size, std::uint64_t count);
    Status checkLocalHeader(ZipEntry &entry, const std::string &name, std::uint64_t localOffset);
    Status copyStored(const ZipEntry &entry, const ChunkSink &emit) const;
    Status inflateEntry(const ZipEntry &entry, const std::string &name,
                        const ChunkSink &emit) const;
    // The other methods, through the decoders' streams.
    Status decoderFor(const ZipEntry &entry, std::unique_ptr<InStream> &stream) const;
    Status decodeEntry(const ZipEntry &entry, const std::string &name, const ChunkSink &emit) const;

    ByteSource *source_ = nullptr;
    std::uint64_t centralOffset_ = 0;
    std::uint64_t shift_ = 0; // added to every recorded offset, for a stub put in front
    std::vector<ZipEntry> zipEntries_;
    std::vector<ArchiveEntry> entries_;
};

} // namespace archive
