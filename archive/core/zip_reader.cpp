#include "zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace archive {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::size_t kChunkSize = 64 * 1024;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDeferredSizes = 0x0008;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagMaskedHeaders = 0x2000;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;

std::uint16_t le16(const std::uint8_t *p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t *p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

Status badArchive(const std::string &what) {
    return {ErrorCode::BadArchive, what};
}
Status unsupported(const std::string &what) {
    return {ErrorCode::Unsupported, what};
}
Status dataError(const std::string &what) {
    return {ErrorCode::DataError, what};
}
Status readError() {
    return {ErrorCode::ArchiveOpen, "cannot read the archive"};
}

std::string quoted(const std::string &name) {
    return "'" + name + "'";
}

struct InflateStream {
    z_stream zs{};
    bool ready = false;
    InflateStream() { ready = inflateInit2(&zs, -MAX_WBITS) == Z_OK; }
    ~InflateStream() {
        if (ready)
            inflateEnd(&zs);
    }
    InflateStream(const InflateStream &) = delete;
    InflateStream &operator=(const InflateStream &) = delete;
};

} // namespace

bool MemorySource::readAt(std::uint64_t offset, void *out, std::size_t n) {
    if (offset > size_ || n > size_ - offset)
        return false;
    if (n != 0)
        std::memcpy(out, data_ + offset, n);
    return true;
}

Status ZipReader::open(ByteSource &source) {
    source_ = &source;
    entries_.clear();

    const std::uint64_t fileSize = source.size();
    if (fileSize < kEndRecordSize)
        return badArchive("not a ZIP archive");

    // The end record sits in the last 22 bytes plus an optional comment of up to 64 KiB.
    const std::size_t tailSize = static_cast<std::size_t>(
        std::min<std::uint64_t>(fileSize, kEndRecordSize + kMaxCommentSize));
    const std::uint64_t tailStart = fileSize - tailSize;
    std::vector<std::uint8_t> tail(tailSize);
    if (!source.readAt(tailStart, tail.data(), tailSize))
        return readError();

    const std::uint8_t *end = nullptr;
    for (std::size_t pos = tailSize - kEndRecordSize + 1; pos-- > 0;) {
        const std::uint8_t *p = tail.data() + pos;
        if (le32(p) == kEndSignature && pos + kEndRecordSize + le16(p + 20) <= tailSize) {
            end = p;
            break;
        }
    }
    if (end == nullptr)
        return badArchive("not a ZIP archive");
    const std::uint64_t endOffset = tailStart + static_cast<std::uint64_t>(end - tail.data());

    const std::uint16_t disk = le16(end + 4);
    const std::uint16_t centralDisk = le16(end + 6);
    const std::uint16_t diskEntries = le16(end + 8);
    const std::uint16_t totalEntries = le16(end + 10);
    const std::uint32_t centralSize = le32(end + 12);
    const std::uint32_t centralOffset = le32(end + 16);

    bool zip64 = totalEntries == 0xFFFF || centralSize == 0xFFFFFFFF || centralOffset == 0xFFFFFFFF;
    if (!zip64 && endOffset >= kZip64LocatorSize) {
        std::uint8_t sig[4];
        if (!source.readAt(endOffset - kZip64LocatorSize, sig, sizeof sig))
            return readError();
        zip64 = le32(sig) == kZip64LocatorSignature;
    }
    if (zip64)
        return unsupported("ZIP64 archives are not supported");
    if (disk != 0 || centralDisk != 0 || diskEntries != totalEntries)
        return unsupported("multi-volume archives are not supported");
    if (static_cast<std::uint64_t>(centralOffset) + centralSize > endOffset)
        return badArchive("central directory lies outside the archive");

    centralOffset_ = centralOffset;
    return readCentralDirectory(centralOffset, centralSize, totalEntries);
}

Status ZipReader::readCentralDirectory(std::uint64_t offset, std::uint32_t size,
                                       std::uint16_t count) {
    std::vector<std::uint8_t> dir(size);
    if (!source_->readAt(offset, dir.data(), dir.size()))
        return readError();

    std::size_t pos = 0;
    entries_.reserve(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        if (dir.size() - pos < kCentralHeaderSize || le32(&dir[pos]) != kCentralSignature)
            return badArchive("central directory is damaged");
        const std::uint8_t *h = &dir[pos];
        const std::uint16_t flags = le16(h + 8);
        const std::size_t nameLength = le16(h + 28);
        const std::size_t recordSize =
            kCentralHeaderSize + nameLength + le16(h + 30) + le16(h + 32);
        if (dir.size() - pos < recordSize)
            return badArchive("central directory is damaged");

        ZipEntry entry;
        entry.name.assign(reinterpret_cast<const char *>(h + kCentralHeaderSize), nameLength);
        entry.method = le16(h + 10);
        entry.crc = le32(h + 16);
        entry.compressedSize = le32(h + 20);
        entry.size = le32(h + 24);
        const std::uint16_t startDisk = le16(h + 34);
        const std::uint32_t localOffset = le32(h + 42);
        pos += recordSize;

        if (entry.compressedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF ||
            localOffset == 0xFFFFFFFF || startDisk == 0xFFFF)
            return unsupported("ZIP64 entry " + quoted(entry.name) + " is not supported");
        if (startDisk != 0)
            return unsupported("multi-volume archives are not supported");
        if (flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedHeaders))
            return unsupported("encrypted entry " + quoted(entry.name) + " is not supported");
        if (entry.method != kMethodStored && entry.method != kMethodDeflate)
            return unsupported("compression method " + std::to_string(entry.method) + " of " +
                               quoted(entry.name) + " is not supported");
        if (entry.name.empty())
            return badArchive("entry without a name");
        if (entry.method == kMethodStored && entry.compressedSize != entry.size)
            return badArchive("sizes of stored entry " + quoted(entry.name) + " disagree");
        entry.isDirectory = entry.name.back() == '/' || entry.name.back() == '\\';
        if (entry.isDirectory && entry.size != 0)
            return badArchive("folder entry " + quoted(entry.name) + " has data");

        Status status = checkLocalHeader(entry, localOffset);
        if (!status)
            return status;
        entries_.push_back(std::move(entry));
    }
    return {};
}

Status ZipReader::checkLocalHeader(ZipEntry &entry, std::uint32_t localOffset) {
    const auto mismatch = [&entry](const char *what) {
        return badArchive("local header of " + quoted(entry.name) + " " + what);
    };
    const std::uint64_t headerOffset = localOffset;
    std::uint8_t h[kLocalHeaderSize];
    if (headerOffset + kLocalHeaderSize > centralOffset_ ||
        !source_->readAt(headerOffset, h, sizeof h) || le32(h) != kLocalSignature)
        return mismatch("is missing");

    const std::uint16_t flags = le16(h + 6);
    const std::size_t nameLength = le16(h + 26);
    if (le16(h + 8) != entry.method)
        return mismatch("has a different method");
    std::string name(nameLength, '\0');
    const std::uint64_t nameOffset = headerOffset + kLocalHeaderSize;
    if (!source_->readAt(nameOffset, name.data(), nameLength) || name != entry.name)
        return mismatch("has a different name");

    const bool deferred = (flags & kFlagDeferredSizes) != 0;
    if (!deferred) {
        if (le32(h + 18) == 0xFFFFFFFF || le32(h + 22) == 0xFFFFFFFF)
            return unsupported("ZIP64 entry " + quoted(entry.name) + " is not supported");
        if (le32(h + 14) != entry.crc || le32(h + 18) != entry.compressedSize ||
            le32(h + 22) != entry.size)
            return mismatch("has different sizes or CRC");
    }

    entry.dataOffset = nameOffset + nameLength + le16(h + 28);
    const std::uint64_t dataEnd = entry.dataOffset + entry.compressedSize;
    if (dataEnd > centralOffset_)
        return badArchive("data of " + quoted(entry.name) + " runs past its end");
    if (!deferred)
        return {};

    // The descriptor's signature is optional and may equal a CRC, so try both layouts.
    std::uint8_t d[16];
    const std::size_t available =
        static_cast<std::size_t>(std::min<std::uint64_t>(sizeof d, centralOffset_ - dataEnd));
    if (available < 12 || !source_->readAt(dataEnd, d, available))
        return badArchive("data descriptor of " + quoted(entry.name) + " is missing");
    const auto matches = [&entry](const std::uint8_t *fields) {
        return le32(fields) == entry.crc && le32(fields + 4) == entry.compressedSize &&
               le32(fields + 8) == entry.size;
    };
    const bool signedMatch =
        available == sizeof d && le32(d) == kDescriptorSignature && matches(d + 4);
    if (!signedMatch && !matches(d))
        return badArchive("data descriptor of " + quoted(entry.name) +
                          " disagrees with the central directory");
    return {};
}

Status ZipReader::extract(const ZipEntry &entry, const ChunkSink &sink) const {
    std::uint64_t produced = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    // Never trust the data to stop by itself: the recorded size bounds the output.
    const ChunkSink emit = [&](const std::uint8_t *data, std::size_t n) -> Status {
        if (n > entry.size - produced)
            return dataError(quoted(entry.name) + " is larger than recorded");
        crc = crc32(crc, data, static_cast<uInt>(n));
        produced += n;
        return sink(data, n);
    };

    Status status =
        entry.method == kMethodStored ? copyStored(entry, emit) : inflateEntry(entry, emit);
    if (!status)
        return status;
    if (produced != entry.size)
        return dataError(quoted(entry.name) + " is smaller than recorded");
    if (static_cast<std::uint32_t>(crc) != entry.crc)
        return dataError("CRC mismatch in " + quoted(entry.name));
    return {};
}

Status ZipReader::copyStored(const ZipEntry &entry, const ChunkSink &emit) const {
    std::vector<std::uint8_t> buffer(std::min<std::size_t>(kChunkSize, entry.compressedSize));
    std::uint64_t offset = entry.dataOffset;
    std::uint64_t remaining = entry.compressedSize;
    while (remaining > 0) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, remaining));
        if (!source_->readAt(offset, buffer.data(), n))
            return readError();
        Status status = emit(buffer.data(), n);
        if (!status)
            return status;
        offset += n;
        remaining -= n;
    }
    return {};
}

Status ZipReader::inflateEntry(const ZipEntry &entry, const ChunkSink &emit) const {
    InflateStream stream;
    if (!stream.ready)
        return {ErrorCode::Internal, "cannot initialise zlib"};
    z_stream &zs = stream.zs;

    std::vector<std::uint8_t> in(kChunkSize);
    std::vector<std::uint8_t> out(kChunkSize);
    std::uint64_t offset = entry.dataOffset;
    std::uint64_t remaining = entry.compressedSize;
    for (;;) {
        // Refilling only when zlib has used up its input keeps its pending output intact.
        if (zs.avail_in == 0 && remaining > 0) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, remaining));
            if (!source_->readAt(offset, in.data(), n))
                return readError();
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(n);
            offset += n;
            remaining -= n;
        }
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        const int result = inflate(&zs, Z_NO_FLUSH);
        if (result == Z_BUF_ERROR)
            return dataError("compressed data of " + quoted(entry.name) + " ends early");
        if (result != Z_OK && result != Z_STREAM_END)
            return dataError("compressed data of " + quoted(entry.name) + " is corrupt");
        const std::size_t produced = out.size() - zs.avail_out;
        if (produced > 0) {
            Status status = emit(out.data(), produced);
            if (!status)
                return status;
        }
        if (result == Z_STREAM_END)
            break;
    }
    if (remaining != 0 || zs.avail_in != 0)
        return dataError("compressed data of " + quoted(entry.name) + " has trailing bytes");
    return {};
}

} // namespace archive
