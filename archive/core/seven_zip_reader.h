#pragma once

#include "archive_reader.h"
#include "coder_stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace archive {

constexpr std::size_t kSevenZipSignatureSize = 6;
bool hasSevenZipSignature(const std::uint8_t *head);

// Where the archive starts: at 0, or behind a program (a PE or ELF self-extractor) within
// the first 4 MiB (self-extracting modules are far smaller), at a start header whose CRC holds.
bool findSevenZip(ByteSource &source, std::uint64_t &start);
// A name as 7z a -v gives the volumes of a split archive: name.7z.001, name.7z.002, ...
bool isSevenZipVolume(const std::string &name);

// 7z archives: plain or encoded headers, solid folders of Copy, LZMA, LZMA2, BCJ2 and filter
// coders bound together, empty files and folders, a CRC for every file.
class SevenZipReader : public ArchiveReader {
public:
    struct Coder {
        std::uint64_t method = 0;
        std::uint32_t inputs = 1;
        std::uint32_t firstInput = 0; // index of its first input among the folder's
        std::vector<std::uint8_t> props;
    };
    struct Folder {
        std::vector<Coder> coders;
        std::vector<std::uint64_t> sizes;   // each coder's output
        std::vector<std::int64_t> boundTo;  // per coder input: the coder feeding it, or -1
        std::vector<std::size_t> packIndex; // per coder input: its packed stream, if unbound
        std::size_t mainCoder = 0;
        std::size_t firstPack = 0;
        std::size_t streams = 1; // files' data streams in it
        bool crcDefined = false;
        std::uint32_t crc = 0;
    };
    struct File {
        std::size_t folder = 0;
        std::uint64_t offset = 0; // in the folder's output
        bool hasData = false;
        bool crcDefined = false;
        std::uint32_t crc = 0;
    };
    struct Streams {
        std::vector<std::uint64_t> packOffsets;
        std::vector<std::uint64_t> packSizes;
        std::vector<Folder> folders;
        std::vector<std::uint64_t> sizes; // of the files' data streams, folder by folder
        std::vector<bool> crcDefined;
        std::vector<std::uint32_t> crcs;
    };

    Status open(ByteSource &source) override;
    const std::vector<ArchiveEntry> &entries() const override { return entries_; }
    Status extract(std::size_t index, const ChunkSink &sink) override;
    std::vector<EntryRun> runs() const override;
    std::unique_ptr<ArchiveReader> fork() const override;

private:
    Status readStartHeader(std::vector<std::uint8_t> &header);
    Status decodeHeader(std::vector<std::uint8_t> &header) const;
    Status decodeFolder(const Streams &streams, std::size_t folder,
                        std::unique_ptr<InStream> &stream) const;
    Status coderOutput(const Streams &streams, const Folder &folder, std::size_t coder,
                       std::unique_ptr<InStream> &stream) const;

    // The source seen from the archive's start on, shared with the forks.
    std::shared_ptr<ByteSource> source_;
    Streams streams_;
    std::vector<File> files_;
    std::vector<ArchiveEntry> entries_;
    // The folder being read and how far, so solid data is decoded once.
    std::unique_ptr<InStream> folderStream_;
    std::size_t folderIndex_ = 0;
    std::uint64_t folderPos_ = 0;
};

} // namespace archive
