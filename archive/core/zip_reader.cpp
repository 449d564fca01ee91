#include "zip_reader.h"

#include "bzip2_decoder.h"
#include "deflate_decoder.h"
#include "little_endian.h"
#include "lzma_decoder.h"
#include "name_decoder.h"
#include "ppmd_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <map>

namespace archive {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kChunkSize = 64 * 1024;
// The end record is looked for in windows of this size, the longest comment's first.
constexpr std::size_t kScanWindow = 0xFFFF;
constexpr std::uint8_t kHostUnix = 3;
// Hosts whose external attributes hold the MS-DOS ones: FAT, HPFS, NTFS, VFAT.
constexpr std::uint8_t kDosHosts[] = {0, 6, 10, 14};
constexpr std::uint8_t kDosDirectory = 0x10;
// Central directory encryption came with version 6.2 of the format.
constexpr std::uint8_t kVersionEncryptedDirectory = 62;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDeferredSizes = 0x0008;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kFlagMaskedHeaders = 0x2000;

constexpr std::uint16_t kExtraZip64 = 0x0001;
constexpr std::uint16_t kExtraUnicodePath = 0x7075;
constexpr std::uint32_t kNoValue32 = 0xFFFFFFFF;
constexpr std::uint16_t kNoValue16 = 0xFFFF;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kMethodDeflate64 = 9;
constexpr std::uint16_t kMethodBzip2 = 12;
constexpr std::uint16_t kMethodLzma = 14;
constexpr std::uint16_t kMethodPpmd = 98;
// LZMA's data starts with a version (two bytes), the size of the properties (two bytes)
// and the properties.
constexpr std::size_t kLzmaHeaderSize = 4;
constexpr std::size_t kLzmaPropsSize = 5;

const std::map<std::uint16_t, const char *> kMethodNames = {
    {1, "Shrink"},     {6, "Implode"}, {9, "Deflate64"}, {12, "BZip2"}, {14, "LZMA"},
    {93, "Zstandard"}, {95, "XZ"},     {98, "PPMd"},     {99, "AES"}};

// The extra field of the given id inside an extra block, or false when absent or cut.
bool findExtra(const std::uint8_t *extra, std::size_t size, std::uint16_t id,
               const std::uint8_t *&data, std::size_t &length) {
    for (std::size_t pos = 0; size - pos >= 4;) {
        const std::uint16_t fieldId = le16(extra + pos);
        const std::size_t fieldSize = le16(extra + pos + 2);
        if (size - pos - 4 < fieldSize)
            return false;
        if (fieldId == id) {
            data = extra + pos + 4;
            length = fieldSize;
            return true;
        }
        pos += 4 + fieldSize;
    }
    return false;
}

// A field the ZIP64 extra field may stand in for: its all-ones placeholder there.
struct WideField {
    std::uint64_t *value;
    std::uint64_t placeholder = kNoValue32;
};

// Replaces each placeholder with the next value of the ZIP64 extra field: 64-bit ones, and
// 32 bits for the disk number.
bool applyZip64(const std::uint8_t *extra, std::size_t size,
                std::initializer_list<WideField> fields) {
    const std::uint8_t *data = nullptr;
    std::size_t length = 0;
    const bool present = findExtra(extra, size, kExtraZip64, data, length);
    std::size_t pos = 0;
    for (const WideField &field : fields) {
        if (*field.value != field.placeholder)
            continue;
        const std::size_t bytes = field.placeholder == kNoValue16 ? 4 : 8;
        if (!present || length - pos < bytes)
            return false;
        *field.value = bytes == 4 ? le32(data + pos) : le64(data + pos);
        pos += bytes;
    }
    return true;
}

// Info-ZIP's Unicode path field wins when it was written for this very name. Unix writers
// store the bytes of the name as they found them, UTF-8 nowadays, without saying so.
std::string decodeName(const std::string &raw, std::uint16_t flags, bool unixHost,
                       const std::uint8_t *extra, std::size_t extraSize) {
    const std::uint8_t *data = nullptr;
    std::size_t length = 0;
    if (findExtra(extra, extraSize, kExtraUnicodePath, data, length) && length >= 5 &&
        data[0] == 1) {
        const std::string unicode(reinterpret_cast<const char *>(data + 5), length - 5);
        const uLong crc =
            crc32(0L, reinterpret_cast<const Bytef *>(raw.data()), static_cast<uInt>(raw.size()));
        if (static_cast<std::uint32_t>(crc) == le32(data + 1) && isUtf8(unicode))
            return unicode;
    }
    const bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return c >= 0; });
    if ((flags & kFlagUtf8) || (unixHost && !ascii && isUtf8(raw)))
        return raw;
    return utf8FromOem(raw);
}

std::string methodName(std::uint16_t method) {
    const auto known = kMethodNames.find(method);
    return known != kMethodNames.end() ? known->second : std::to_string(method);
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

Status ZipReader::open(ByteSource &source) {
    source_ = &source;
    zipEntries_.clear();
    entries_.clear();

    // The end record is normally within the last 22 bytes plus a comment of up to 64 KiB;
    // data appended to the archive pushes it further back, so the search goes on, a window
    // at a time, until a record whose central directory is there is found.
    const std::uint64_t fileSize = source.size();
    std::vector<std::uint8_t> window(kScanWindow + kEndRecordSize);
    Status first = badArchive("not a ZIP archive");
    bool failed = false;
    for (std::uint64_t windowEnd = fileSize; windowEnd >= kEndRecordSize;) {
        const std::uint64_t start = windowEnd - std::min<std::uint64_t>(windowEnd, window.size());
        const std::size_t size = static_cast<std::size_t>(windowEnd - start);
        if (!source.readAt(start, window.data(), size))
            return readError();
        for (std::size_t pos = size - kEndRecordSize + 1; pos-- > 0;) {
            if (le32(&window[pos]) != kEndSignature)
                continue;
            bool located = false;
            Status status = readEnd(start + pos, &window[pos], located);
            if (located)
                return status;
            if (!failed)
                first = status;
            failed = true;
        }
        if (start == 0)
            break;
        windowEnd = start + kEndRecordSize - 1;
    }
    return first;
}

Status ZipReader::readEnd(std::uint64_t endOffset, const std::uint8_t *end, bool &located) {
    std::uint32_t disk = le16(end + 4);
    std::uint32_t centralDisk = le16(end + 6);
    std::uint64_t diskEntries = le16(end + 8);
    std::uint64_t totalEntries = le16(end + 10);
    std::uint64_t centralSize = le32(end + 12);
    std::uint64_t centralOffset = le32(end + 16);

    // A ZIP64 locator in front of the end record points to the record with the real values.
    std::uint8_t locator[kZip64LocatorSize];
    if (endOffset >= kZip64LocatorSize &&
        source_->readAt(endOffset - kZip64LocatorSize, locator, sizeof locator) &&
        le32(locator) == kZip64LocatorSignature) {
        if (le32(locator + 4) != 0 || le32(locator + 16) > 1)
            return unsupported("multi-volume archives are not supported");
        // Where the record should be when a stub in front moved everything.
        const std::uint64_t behind = endOffset - kZip64LocatorSize;
        std::uint8_t record[kZip64EndSize];
        const auto recordAt = [&](std::uint64_t offset) {
            return offset <= behind && behind - offset >= kZip64EndSize &&
                   source_->readAt(offset, record, sizeof record) &&
                   le32(record) == kZip64EndSignature;
        };
        const std::uint64_t recorded = le64(locator + 8);
        const bool atRecorded = recordAt(recorded);
        if (!atRecorded && (behind < kZip64EndSize || !recordAt(behind - kZip64EndSize)))
            return badArchive("ZIP64 end of central directory is missing");
        if (record[14] >= kVersionEncryptedDirectory)
            return unsupported("encrypted central directory is not supported");
        disk = le32(record + 16);
        centralDisk = le32(record + 20);
        diskEntries = le64(record + 24);
        totalEntries = le64(record + 32);
        centralSize = le64(record + 40);
        centralOffset = le64(record + 48);
        endOffset = atRecorded ? recorded : behind - kZip64EndSize;
    }
    if (disk != 0 || centralDisk != 0 || diskEntries != totalEntries)
        return unsupported("multi-volume archives are not supported");
    if (centralOffset > endOffset || centralSize > endOffset - centralOffset)
        return badArchive("central directory lies outside the archive");
    // Each entry takes at least a header's worth of the directory.
    if (totalEntries > centralSize / kCentralHeaderSize)
        return badArchive("central directory is damaged");

    // A stub put in front without adjusting the offsets moves everything by the same
    // amount: the directory then ends right before the end record, as unzip assumes.
    const auto startsDirectory = [&](std::uint64_t offset) {
        std::uint8_t signature[4];
        return totalEntries == 0 || (source_->readAt(offset, signature, sizeof signature) &&
                                     le32(signature) == kCentralSignature);
    };
    shift_ = 0;
    if (!startsDirectory(centralOffset)) {
        shift_ = endOffset - centralSize - centralOffset;
        if (shift_ == 0 || !startsDirectory(centralOffset + shift_))
            return badArchive("central directory is damaged");
    }
    located = true;
    centralOffset_ = centralOffset + shift_;
    return readCentralDirectory(centralOffset_, centralSize, totalEntries);
}

Status ZipReader::readCentralDirectory(std::uint64_t offset, std::uint64_t size,
                                       std::uint64_t count) {
    std::vector<std::uint8_t> dir(static_cast<std::size_t>(size));
    if (!source_->readAt(offset, dir.data(), dir.size()))
        return readError();

    std::size_t pos = 0;
    zipEntries_.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        if (dir.size() - pos < kCentralHeaderSize || le32(&dir[pos]) != kCentralSignature)
            return badArchive("central directory is damaged");
        const std::uint8_t *h = &dir[pos];
        const std::uint16_t flags = le16(h + 8);
        const std::size_t nameLength = le16(h + 28);
        const std::size_t extraLength = le16(h + 30);
        const std::size_t recordSize = kCentralHeaderSize + nameLength + extraLength + le16(h + 32);
        if (dir.size() - pos < recordSize)
            return badArchive("central directory is damaged");

        ZipEntry entry;
        entry.rawName.assign(reinterpret_cast<const char *>(h + kCentralHeaderSize), nameLength);
        const std::uint8_t *extra = h + kCentralHeaderSize + nameLength;
        ArchiveEntry item;
        item.name = decodeName(entry.rawName, flags, h[5] == kHostUnix, extra, extraLength);
        const std::string name = quoted(item.name);
        entry.method = le16(h + 10);
        entry.crc = le32(h + 16);
        entry.compressedSize = le32(h + 20);
        entry.size = le32(h + 24);
        std::uint64_t startDisk = le16(h + 34);
        std::uint64_t localOffset = le32(h + 42);
        const std::uint8_t host = h[5];
        const bool dosDirectory =
            std::find(std::begin(kDosHosts), std::end(kDosHosts), host) != std::end(kDosHosts) &&
            (h[38] & kDosDirectory) != 0;
        pos += recordSize;

        if (!applyZip64(
                extra, extraLength,
                {{&entry.size}, {&entry.compressedSize}, {&localOffset}, {&startDisk, kNoValue16}}))
            return badArchive("ZIP64 field of " + name + " is missing");
        if (startDisk != 0)
            return unsupported("multi-volume archives are not supported");
        if (flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedHeaders))
            return unsupported("encrypted entry " + name + " is not supported");
        if (entry.method != kMethodStored && entry.method != kMethodDeflate &&
            entry.method != kMethodDeflate64 && entry.method != kMethodBzip2 &&
            entry.method != kMethodLzma && entry.method != kMethodPpmd)
            return unsupported("compression method " + methodName(entry.method) + " of " + name +
                               " is not supported");
        if (entry.rawName.empty())
            return badArchive("entry without a name");
        if ((flags & kFlagUtf8) && !isUtf8(entry.rawName))
            return badArchive("name " + name + " is not valid UTF-8");
        if (entry.method == kMethodStored && entry.compressedSize != entry.size)
            return badArchive("sizes of stored entry " + name + " disagree");
        item.isDirectory =
            entry.rawName.back() == '/' || entry.rawName.back() == '\\' || dosDirectory;
        if (item.isDirectory && entry.size != 0)
            return badArchive("folder entry " + name + " has data");

        Status status = checkLocalHeader(entry, name, localOffset + shift_);
        if (!status)
            return status;
        item.size = entry.size;
        zipEntries_.push_back(std::move(entry));
        entries_.push_back(std::move(item));
    }
    return {};
}

Status ZipReader::checkLocalHeader(ZipEntry &entry, const std::string &name,
                                   std::uint64_t localOffset) {
    const auto mismatch = [&name](const char *what) {
        return badArchive("local header of " + name + " " + what);
    };
    std::uint8_t h[kLocalHeaderSize];
    if (localOffset > centralOffset_ || kLocalHeaderSize > centralOffset_ - localOffset ||
        !source_->readAt(localOffset, h, sizeof h) || le32(h) != kLocalSignature)
        return mismatch("is missing");

    const std::uint16_t flags = le16(h + 6);
    const std::size_t nameLength = le16(h + 26);
    const std::size_t extraLength = le16(h + 28);
    if (le16(h + 8) != entry.method)
        return mismatch("has a different method");
    std::string rawName(nameLength, '\0');
    std::vector<std::uint8_t> extra(extraLength);
    const std::uint64_t nameOffset = localOffset + kLocalHeaderSize;
    if (!source_->readAt(nameOffset, rawName.data(), nameLength) || rawName != entry.rawName)
        return mismatch("has a different name");
    if (!source_->readAt(nameOffset + nameLength, extra.data(), extraLength))
        return mismatch("is cut short");
    const std::uint8_t *zip64 = nullptr;
    std::size_t zip64Length = 0;
    const bool wide = findExtra(extra.data(), extraLength, kExtraZip64, zip64, zip64Length);

    const bool deferred = (flags & kFlagDeferredSizes) != 0;
    if (!deferred) {
        std::uint64_t size = le32(h + 22);
        std::uint64_t compressedSize = le32(h + 18);
        if (!applyZip64(extra.data(), extraLength, {{&size}, {&compressedSize}}))
            return mismatch("lacks its ZIP64 field");
        if (le32(h + 14) != entry.crc || compressedSize != entry.compressedSize ||
            size != entry.size)
            return mismatch("has different sizes or CRC");
    }

    entry.dataOffset = nameOffset + nameLength + extraLength;
    if (entry.dataOffset > centralOffset_ ||
        entry.compressedSize > centralOffset_ - entry.dataOffset)
        return badArchive("data of " + name + " runs past its end");
    const std::uint64_t dataEnd = entry.dataOffset + entry.compressedSize;
    if (!deferred)
        return {};

    // The descriptor's signature is optional and may equal a CRC, and its sizes are 64-bit
    // after a ZIP64 local header, so try each layout.
    std::uint8_t d[24];
    const std::size_t available =
        static_cast<std::size_t>(std::min<std::uint64_t>(sizeof d, centralOffset_ - dataEnd));
    if (available < 12 || !source_->readAt(dataEnd, d, available))
        return badArchive("data descriptor of " + name + " is missing");
    const auto matches = [&](std::size_t at) {
        if (wide)
            return available >= at + 20 && le32(d + at) == entry.crc &&
                   le64(d + at + 4) == entry.compressedSize && le64(d + at + 12) == entry.size;
        return available >= at + 12 && le32(d + at) == entry.crc &&
               le32(d + at + 4) == entry.compressedSize && le32(d + at + 8) == entry.size;
    };
    const bool signedMatch = le32(d) == kDescriptorSignature && matches(4);
    if (!signedMatch && !matches(0))
        return badArchive("data descriptor of " + name + " disagrees with the central directory");
    return {};
}

Status ZipReader::extract(std::size_t index, const ChunkSink &sink) {
    const ZipEntry &entry = zipEntries_.at(index);
    const ArchiveEntry &item = entries_[index];
    if (item.isDirectory)
        return {};
    const std::string name = quoted(item.name);
    std::uint64_t produced = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    // Never trust the data to stop by itself: the recorded size bounds the output.
    const ChunkSink emit = [&](const std::uint8_t *data, std::size_t n) -> Status {
        if (n > entry.size - produced)
            return dataError(name + " is larger than recorded");
        crc = crc32(crc, data, static_cast<uInt>(n));
        produced += n;
        return sink(data, n);
    };

    Status status = entry.method == kMethodStored    ? copyStored(entry, emit)
                    : entry.method == kMethodDeflate ? inflateEntry(entry, name, emit)
                                                     : decodeEntry(entry, name, emit);
    if (!status)
        return status;
    if (produced != entry.size)
        return dataError(name + " is smaller than recorded");
    if (static_cast<std::uint32_t>(crc) != entry.crc)
        return dataError("CRC mismatch in " + name);
    return {};
}

Status ZipReader::copyStored(const ZipEntry &entry, const ChunkSink &emit) const {
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, entry.compressedSize)));
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

Status ZipReader::inflateEntry(const ZipEntry &entry, const std::string &name,
                               const ChunkSink &emit) const {
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
            return dataError("compressed data of " + name + " ends early");
        if (result != Z_OK && result != Z_STREAM_END)
            return dataError("compressed data of " + name + " is corrupt");
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
        return dataError("compressed data of " + name + " has trailing bytes");
    return {};
}

Status ZipReader::decoderFor(const ZipEntry &entry, std::unique_ptr<InStream> &stream) const {
    std::uint64_t offset = entry.dataOffset;
    std::uint64_t size = entry.compressedSize;
    std::vector<std::uint8_t> props;
    if (entry.method == kMethodLzma) {
        std::uint8_t header[kLzmaHeaderSize + kLzmaPropsSize];
        if (size < sizeof header)
            return dataError("LZMA header is cut short");
        if (!source_->readAt(offset, header, sizeof header))
            return readError();
        if (le16(header + 2) != kLzmaPropsSize)
            return unsupported("LZMA properties are not supported");
        props.assign(header + kLzmaHeaderSize, header + sizeof header);
        offset += sizeof header;
        size -= sizeof header;
    }
    auto data = std::make_unique<SourceStream>(*source_, offset, size);
    switch (entry.method) {
    case kMethodDeflate64:
        stream = makeDeflateStream(std::move(data), true);
        return {};
    case kMethodBzip2:
        stream = makeBzip2Stream(std::move(data));
        return {};
    case kMethodPpmd:
        return makePpmdZipStream(std::move(data), entry.size, stream);
    default:
        return makeLzmaStream(std::move(data), props, entry.size, stream);
    }
}

Status ZipReader::decodeEntry(const ZipEntry &entry, const std::string &name,
                              const ChunkSink &emit) const {
    const auto named = [&name](Status status) {
        return status.code == ErrorCode::DataError ? dataError(status.message + " in " + name)
                                                   : status;
    };
    std::unique_ptr<InStream> stream;
    Status status = decoderFor(entry, stream);
    if (!status)
        return named(status);
    std::vector<std::uint8_t> chunk(kChunkSize);
    for (std::size_t got = 1; status && got > 0;) {
        status = named(stream->read(chunk.data(), chunk.size(), got));
        if (status && got > 0)
            status = emit(chunk.data(), got);
    }
    return status;
}

} // namespace archive
