#include "seven_zip_reader.h"

#include "branch_filters.h"
#include "bzip2_decoder.h"
#include "deflate_decoder.h"
#include "lzma2_decoder.h"
#include "little_endian.h"
#include "lzma_decoder.h"
#include "name_decoder.h"
#include "ppmd_decoder.h"
#include "read_ahead.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace archive {
namespace {

constexpr std::uint8_t kSignature[kSevenZipSignatureSize] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr std::size_t kStartHeaderSize = 32;
constexpr std::size_t kChunkSize = 64 * 1024;
constexpr std::uint64_t kStubLimit = 4 * 1024 * 1024;
// Encoded headers may wrap each other; real archives use one level.
constexpr int kMaxHeaderLevels = 4;
constexpr std::size_t kMaxCoders = 32;
// A file takes at least its name's terminator in the header.
constexpr std::size_t kMinFileBytes = 2;
// An encoded header unpacks to at most this much plus this many times its packed size:
// far beyond what LZMA makes of real headers, and bounding what a hostile one can claim.
constexpr std::uint64_t kHeaderBase = 64 * 1024;
constexpr std::uint64_t kHeaderRatio = 64;

enum Property : std::uint64_t {
    kEnd = 0x00,
    kHeader = 0x01,
    kArchiveProperties = 0x02,
    kAdditionalStreamsInfo = 0x03,
    kMainStreamsInfo = 0x04,
    kFilesInfo = 0x05,
    kPackInfo = 0x06,
    kUnpackInfo = 0x07,
    kSubStreamsInfo = 0x08,
    kSize = 0x09,
    kCrc = 0x0A,
    kFolder = 0x0B,
    kCodersUnpackSize = 0x0C,
    kNumUnpackStream = 0x0D,
    kEmptyStream = 0x0E,
    kEmptyFile = 0x0F,
    kAnti = 0x10,
    kName = 0x11,
    kEncodedHeader = 0x17,
};

constexpr std::uint64_t kCopy = 0x00;
constexpr std::uint64_t kLzma2 = 0x21;
constexpr std::uint64_t kLzma = 0x030101;
constexpr std::uint64_t kBcj2 = 0x0303011B;
constexpr std::uint64_t kDeflate = 0x040108;
constexpr std::uint64_t kDeflate64 = 0x040109;
constexpr std::uint64_t kBzip2 = 0x040202;
constexpr std::uint64_t kPpmd = 0x030401;

// Names for messages about coders refused.
const std::map<std::uint64_t, const char *> kMethodNames = {
    {0x03, "Delta"},
    {0x05, "PPC"},
    {0x06, "IA64"},
    {0x07, "ARM"},
    {0x08, "ARMT"},
    {0x09, "SPARC"},
    {0x0A, "ARM64"},
    {0x0B, "RISCV"},
    {0x030401, "PPMd"},
    {0x03030205, "PPC"},
    {0x03030401, "IA64"},
    {0x03030501, "ARM"},
    {0x03030701, "ARMT"},
    {0x03030805, "SPARC"},
    {0x040108, "Deflate"},
    {0x040109, "Deflate64"},
    {0x040202, "BZip2"},
    {0x04F71101, "ZSTD"},
    {0x06F10701, "7zAES (encryption)"},
};

Status damaged(const std::string &what = "7z header is damaged") {
    return {ErrorCode::BadArchive, what};
}

Status splitArchive() {
    return {ErrorCode::Unsupported, "7z archive split into volumes is not supported: join them"};
}

// A source seen from an archive's start on.
class ShiftedSource : public ByteSource {
public:
    ShiftedSource(ByteSource &whole, std::uint64_t start) : whole_(whole), start_(start) {}
    std::uint64_t size() const override { return whole_.size() - start_; }
    bool readAt(std::uint64_t offset, void *out, std::size_t n) override {
        return offset <= size() && whole_.readAt(start_ + offset, out, n);
    }
    std::string name() const override { return whole_.name(); }

private:
    ByteSource &whole_;
    const std::uint64_t start_;
};

bool supported(const SevenZipReader::Coder &coder) {
    switch (coder.method) {
    case kCopy:
    case kLzma:
    case kLzma2:
    case kDeflate:
    case kDeflate64:
    case kBzip2:
    case kPpmd:
        return coder.inputs == 1;
    case kBcj2:
        return coder.inputs == 4;
    default:
        return coder.inputs == 1 && filterSupported(coder.method, coder.props);
    }
}

std::string methodName(std::uint64_t method) {
    const auto known = kMethodNames.find(method);
    if (known != kMethodNames.end())
        return known->second;
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    do {
        hex.insert(hex.begin(), digits[method & 0xF]);
        method >>= 4;
    } while (method != 0);
    return "0x" + hex;
}

// Reads header fields; any read past the end marks it failed and yields zeros, so
// callers check failed() where a bad value could cost more than a wasted step.
class HeaderReader {
public:
    HeaderReader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    bool failed() const { return failed_; }
    std::size_t left() const { return size_ - pos_; }

    std::uint8_t byte() {
        if (pos_ == size_) {
            failed_ = true;
            return 0;
        }
        return data_[pos_++];
    }

    std::uint64_t number() {
        const std::uint8_t first = byte();
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> i);
            if ((first & mask) == 0)
                return value | (std::uint64_t(first & (mask - 1)) << (8 * i));
            value |= std::uint64_t(byte()) << (8 * i);
        }
        return value;
    }

    // A count of items that each take at least a bit of what is left.
    std::size_t count() { return count(8 * std::uint64_t(left()) + 8); }

    // A count of at most limit items.
    std::size_t count(std::uint64_t limit) {
        const std::uint64_t n = number();
        if (n > limit) {
            failed_ = true;
            return 0;
        }
        return static_cast<std::size_t>(n);
    }

    std::uint32_t uint32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= std::uint32_t(byte()) << (8 * i);
        return value;
    }

    const std::uint8_t *take(std::uint64_t n) {
        if (n > left()) {
            failed_ = true;
            pos_ = size_;
            return nullptr;
        }
        const std::uint8_t *p = data_ + pos_;
        pos_ += static_cast<std::size_t>(n);
        return p;
    }

    std::vector<bool> bits(std::size_t n) {
        std::vector<bool> result(n);
        std::uint8_t current = 0;
        for (std::size_t i = 0; i < n && !failed_; ++i) {
            if (i % 8 == 0)
                current = byte();
            result[i] = (current & (0x80 >> (i % 8))) != 0;
        }
        return result;
    }

    std::vector<bool> definedBits(std::size_t n) {
        return byte() != 0 ? std::vector<bool>(n, true) : bits(n);
    }

    void digests(std::size_t n, std::vector<bool> &defined, std::vector<std::uint32_t> &crcs) {
        defined = definedBits(n);
        crcs.assign(n, 0);
        for (std::size_t i = 0; i < n && !failed_; ++i)
            if (defined[i])
                crcs[i] = uint32();
    }

    // Skips a block of properties that this reader does not use.
    void skipProperties() {
        for (std::uint64_t type = number(); type != kEnd && !failed_; type = number())
            take(number());
    }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

// Gives exactly size bytes of a coder's output: no more, and an error where it ends early.
class SizedStream : public InStream {
public:
    SizedStream(std::unique_ptr<InStream> input, std::uint64_t size)
        : input_(std::move(input)), remaining_(size) {}

    Status read(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        got = 0;
        if (remaining_ == 0)
            return {};
        Status status = input_->read(
            out, static_cast<std::size_t>(std::min<std::uint64_t>(n, remaining_)), got);
        if (!status)
            return status;
        if (got == 0)
            return corruptData("7z data ends early");
        remaining_ -= got;
        return {};
    }

private:
    std::unique_ptr<InStream> input_;
    std::uint64_t remaining_;
};

Status readPackInfo(HeaderReader &r, std::uint64_t archiveSize, SevenZipReader::Streams &s) {
    std::uint64_t offset = kStartHeaderSize + r.number();
    // Each size takes a byte of the header.
    const std::size_t count = r.count(r.left());
    s.packSizes.assign(count, 0);
    for (std::uint64_t id = r.number(); id != kEnd && !r.failed(); id = r.number()) {
        if (id == kSize) {
            for (std::uint64_t &size : s.packSizes)
                size = r.number();
        } else if (id == kCrc) {
            std::vector<bool> defined;
            std::vector<std::uint32_t> crcs;
            r.digests(count, defined, crcs);
        } else {
            return damaged();
        }
    }
    for (const std::uint64_t size : s.packSizes) {
        if (offset > archiveSize || size > archiveSize - offset)
            return damaged("7z archive is truncated");
        s.packOffsets.push_back(offset);
        offset += size;
    }
    return r.failed() ? damaged() : Status{};
}

// The coders of a folder, each with its method, its inputs (counted on in inputs) and its
// properties.
Status readCoders(HeaderReader &r, SevenZipReader::Folder &folder, std::uint32_t &inputs) {
    const std::size_t coders = r.count();
    if (coders == 0 || coders > kMaxCoders)
        return damaged();
    for (std::size_t i = 0; i < coders; ++i) {
        SevenZipReader::Coder coder;
        const std::uint8_t flags = r.byte();
        const std::size_t idSize = flags & 0x0F;
        if ((flags & 0xC0) != 0 || idSize > 8)
            return damaged();
        const std::uint8_t *id = r.take(idSize);
        for (std::size_t k = 0; id != nullptr && k < idSize; ++k)
            coder.method = (coder.method << 8) | id[k];
        std::uint64_t outputs = 1;
        if (flags & 0x10) {
            const std::uint64_t in = r.number();
            outputs = r.number();
            if (in == 0 || in > kMaxCoders)
                return damaged();
            coder.inputs = static_cast<std::uint32_t>(in);
        }
        if (outputs != 1)
            return {ErrorCode::Unsupported, "7z coder " + methodName(coder.method) +
                                                " with several outputs is not supported"};
        if (flags & 0x20) {
            const std::uint64_t size = r.number();
            const std::uint8_t *props = r.take(size);
            if (props != nullptr)
                coder.props.assign(props, props + size);
        }
        coder.firstInput = inputs;
        inputs += coder.inputs;
        folder.coders.push_back(std::move(coder));
    }
    return r.failed() || inputs < coders ? damaged() : Status{};
}

// Which coder feeds which input; the one that feeds none gives the folder's output.
Status readBindings(HeaderReader &r, SevenZipReader::Folder &folder, std::uint32_t inputs) {
    const std::size_t coders = folder.coders.size();
    folder.boundTo.assign(inputs, -1);
    std::vector<bool> feeds(coders, false);
    for (std::size_t i = 0; i + 1 < coders; ++i) {
        const std::uint64_t input = r.number();
        const std::uint64_t output = r.number();
        if (input >= inputs || output >= coders || folder.boundTo[input] >= 0 || feeds[output])
            return damaged();
        folder.boundTo[input] = static_cast<std::int64_t>(output);
        feeds[output] = true;
    }
    folder.mainCoder =
        static_cast<std::size_t>(std::find(feeds.begin(), feeds.end(), false) - feeds.begin());
    return {};
}

// Which packed stream feeds each input no coder feeds; a single one is not listed.
Status readPackedInputs(HeaderReader &r, SevenZipReader::Folder &folder, std::size_t packed) {
    const std::size_t inputs = folder.boundTo.size();
    folder.packIndex.assign(inputs, 0);
    std::vector<bool> isPacked(inputs, false);
    for (std::size_t k = 0; k < packed; ++k) {
        std::uint64_t input = 0;
        if (packed == 1) {
            input = static_cast<std::uint64_t>(
                std::find(folder.boundTo.begin(), folder.boundTo.end(), -1) -
                folder.boundTo.begin());
        } else {
            input = r.number();
        }
        if (input >= inputs || folder.boundTo[input] >= 0 || isPacked[input])
            return damaged();
        isPacked[input] = true;
        folder.packIndex[input] = k;
    }
    return {};
}

// Every coder must be reached from the main one exactly once: no cycles, no leftovers.
bool eachCoderReachedOnce(const SevenZipReader::Folder &folder) {
    const std::size_t coders = folder.coders.size();
    std::vector<std::size_t> pending = {folder.mainCoder};
    std::size_t reached = 0;
    while (!pending.empty()) {
        const SevenZipReader::Coder &coder = folder.coders[pending.back()];
        pending.pop_back();
        if (++reached > coders)
            return false;
        for (std::uint32_t k = 0; k < coder.inputs; ++k)
            if (folder.boundTo[coder.firstInput + k] >= 0)
                pending.push_back(static_cast<std::size_t>(folder.boundTo[coder.firstInput + k]));
    }
    return reached == coders;
}

// Links a folder's coders: which input is fed by which coder, which by a packed stream.
Status readFolder(HeaderReader &r, SevenZipReader::Folder &folder, std::size_t &packs) {
    std::uint32_t inputs = 0;
    Status status = readCoders(r, folder, inputs);
    if (status)
        status = readBindings(r, folder, inputs);
    if (!status)
        return status;
    const std::size_t packed = inputs - (folder.coders.size() - 1);
    status = readPackedInputs(r, folder, packed);
    if (!status)
        return status;
    if (!eachCoderReachedOnce(folder))
        return damaged();
    folder.firstPack = packs;
    packs += packed;
    return r.failed() ? damaged() : Status{};
}

Status readUnpackInfo(HeaderReader &r, SevenZipReader::Streams &s) {
    if (r.number() != kFolder)
        return damaged();
    // Each folder takes two bytes of the header and packed data of its own.
    const std::size_t count = r.count(std::min<std::uint64_t>(
        r.left() / 2, std::count_if(s.packSizes.begin(), s.packSizes.end(),
                                    [](std::uint64_t size) { return size != 0; })));
    if (r.byte() != 0)
        return {ErrorCode::Unsupported, "7z folders stored elsewhere are not supported"};
    std::size_t packs = 0;
    s.folders.resize(count);
    for (SevenZipReader::Folder &folder : s.folders) {
        Status status = readFolder(r, folder, packs);
        if (!status)
            return status;
    }
    if (packs != s.packSizes.size() || r.number() != kCodersUnpackSize)
        return damaged();
    for (SevenZipReader::Folder &folder : s.folders)
        for (std::size_t i = 0; i < folder.coders.size(); ++i)
            folder.sizes.push_back(r.number());
    for (std::uint64_t id = r.number(); id != kEnd && !r.failed(); id = r.number()) {
        if (id != kCrc)
            return damaged();
        std::vector<bool> defined;
        std::vector<std::uint32_t> crcs;
        r.digests(count, defined, crcs);
        for (std::size_t i = 0; i < count && !r.failed(); ++i) {
            s.folders[i].crcDefined = defined[i];
            s.folders[i].crc = crcs[i];
        }
    }
    return r.failed() ? damaged() : Status{};
}

Status readSubStreamsInfo(HeaderReader &r, SevenZipReader::Streams &s) {
    std::uint64_t id = r.number();
    if (id == kNumUnpackStream) {
        // Each stream beyond one a folder is a file, named further on.
        std::uint64_t total = 0;
        for (SevenZipReader::Folder &folder : s.folders) {
            folder.streams = r.count();
            total += folder.streams;
            if (total > std::max<std::uint64_t>(s.folders.size(), r.left() / kMinFileBytes))
                return damaged();
        }
        id = r.number();
    }
    for (const SevenZipReader::Folder &folder : s.folders) {
        if (folder.streams == 0)
            continue;
        if (folder.streams > 1 && id != kSize)
            return damaged();
        const std::uint64_t total = folder.sizes[folder.mainCoder];
        std::uint64_t sum = 0;
        for (std::size_t k = 1; k < folder.streams && !r.failed(); ++k) {
            const std::uint64_t size = r.number();
            if (size > total - sum)
                return damaged();
            sum += size;
            s.sizes.push_back(size);
        }
        s.sizes.push_back(total - sum);
    }
    if (id == kSize)
        id = r.number();
    // Digests are listed for the streams whose folder does not give them.
    std::size_t unknown = 0;
    for (const SevenZipReader::Folder &folder : s.folders)
        if (folder.streams != 1 || !folder.crcDefined)
            unknown += folder.streams;
    std::vector<bool> defined(unknown, false);
    std::vector<std::uint32_t> crcs(unknown, 0);
    for (; id != kEnd && !r.failed(); id = r.number()) {
        if (id != kCrc)
            return damaged();
        r.digests(unknown, defined, crcs);
    }
    if (r.failed())
        return damaged();
    std::size_t next = 0;
    for (const SevenZipReader::Folder &folder : s.folders) {
        for (std::size_t k = 0; k < folder.streams; ++k) {
            const bool fromFolder = folder.streams == 1 && folder.crcDefined;
            s.crcDefined.push_back(fromFolder || defined[next]);
            s.crcs.push_back(fromFolder ? folder.crc : crcs[next]);
            next += fromFolder ? 0 : 1;
        }
    }
    return r.failed() ? damaged() : Status{};
}

Status readStreamsInfo(HeaderReader &r, std::uint64_t archiveSize, SevenZipReader::Streams &s) {
    s = {};
    std::uint64_t id = r.number();
    Status status;
    if (id == kPackInfo) {
        status = readPackInfo(r, archiveSize, s);
        id = r.number();
    }
    if (status && id == kUnpackInfo) {
        status = readUnpackInfo(r, s);
        id = r.number();
    }
    if (!status)
        return status;
    if (s.folders.empty() && !s.packSizes.empty())
        return damaged();
    if (id == kSubStreamsInfo) {
        status = readSubStreamsInfo(r, s);
        id = r.number();
    } else {
        for (const SevenZipReader::Folder &folder : s.folders) {
            s.sizes.push_back(folder.sizes[folder.mainCoder]);
            s.crcDefined.push_back(folder.crcDefined);
            s.crcs.push_back(folder.crc);
        }
    }
    if (status && (id != kEnd || r.failed()))
        return damaged();
    if (!status)
        return status;
    for (const SevenZipReader::Folder &folder : s.folders) {
        for (const SevenZipReader::Coder &coder : folder.coders) {
            if (!supported(coder))
                return {ErrorCode::Unsupported,
                        "7z method " + methodName(coder.method) + " is not supported"};
            if (coder.method == kPpmd && !(status = checkPpmdProps(coder.props)))
                return status;
        }
    }
    return {};
}

struct FileInfo {
    std::vector<std::string> names;
    std::vector<bool> emptyStream;
    std::vector<bool> emptyFile;
};

// 7-Zip names an entry stored without a name (7z a -si) after the archive: its name less
// the extension, or with "~" added where it has none.
std::string nameOfNameless(const std::string &archiveName) {
    const std::size_t dot = archiveName.rfind('.');
    return dot != std::string::npos && dot > 0 ? archiveName.substr(0, dot) : archiveName + "~";
}

Status readFilesInfo(HeaderReader &r, const std::string &archiveName, FileInfo &info) {
    const std::size_t count = r.count(r.left() / kMinFileBytes);
    info.emptyStream.assign(count, false);
    info.emptyFile.assign(count, false);
    std::size_t empty = 0;
    bool named = false;
    for (std::uint64_t type = r.number(); type != kEnd && !r.failed(); type = r.number()) {
        const std::uint64_t size = r.number();
        const std::uint8_t *data = r.take(size);
        if (data == nullptr)
            break;
        HeaderReader p(data, static_cast<std::size_t>(size));
        if (type == kEmptyStream) {
            info.emptyStream = p.bits(count);
            empty = static_cast<std::size_t>(
                std::count(info.emptyStream.begin(), info.emptyStream.end(), true));
            info.emptyFile.assign(count, false);
        } else if (type == kEmptyFile || type == kAnti) {
            const std::vector<bool> flags = p.bits(empty);
            if (type == kAnti && std::find(flags.begin(), flags.end(), true) != flags.end())
                return {ErrorCode::Unsupported, "7z deletion entries are not supported"};
            for (std::size_t i = 0, k = 0; type == kEmptyFile && i < count; ++i)
                if (info.emptyStream[i])
                    info.emptyFile[i] = flags[k++];
        } else if (type == kName) {
            if (p.byte() != 0)
                return {ErrorCode::Unsupported, "7z names stored elsewhere are not supported"};
            info.names.clear();
            for (std::size_t i = 0; i < count; ++i) {
                std::size_t units = 0;
                const std::size_t start = static_cast<std::size_t>(size) - p.left();
                while (true) {
                    const std::uint8_t *unit = p.take(2);
                    if (unit == nullptr)
                        return damaged();
                    if (unit[0] == 0 && unit[1] == 0)
                        break;
                    ++units;
                }
                std::string name;
                if (!utf8FromUtf16(data + start, units, name))
                    return damaged("7z entry name is not valid UTF-16");
                info.names.push_back(std::move(name));
            }
            named = true;
        }
        if (p.failed())
            return damaged();
    }
    if (r.failed())
        return damaged();
    if (!named)
        info.names.assign(count, nameOfNameless(archiveName));
    return {};
}

// The header's sections in their order, each but the first optional: the archive's
// properties, the streams of other data, those of the files, the files.
Status readMainHeader(const std::vector<std::uint8_t> &header, std::uint64_t archiveSize,
                      const std::string &archiveName, SevenZipReader::Streams &streams,
                      FileInfo &info) {
    HeaderReader r(header.data(), header.size());
    if (r.number() != kHeader)
        return damaged();
    std::uint64_t id = r.number();
    if (id == kArchiveProperties) {
        r.skipProperties();
        id = r.number();
    }
    Status status;
    if (id == kAdditionalStreamsInfo) {
        SevenZipReader::Streams unused;
        status = readStreamsInfo(r, archiveSize, unused);
        if (!status)
            return status;
        id = r.number();
    }
    if (id == kMainStreamsInfo) {
        status = readStreamsInfo(r, archiveSize, streams);
        if (!status)
            return status;
        id = r.number();
    }
    if (id == kFilesInfo) {
        status = readFilesInfo(r, archiveName, info);
        if (!status)
            return status;
        id = r.number();
    }
    return id != kEnd || r.failed() ? damaged() : Status{};
}

// Files with data take the folders' streams in order; folders without streams are skipped.
Status placeFiles(const FileInfo &info, const SevenZipReader::Streams &streams,
                  std::vector<SevenZipReader::File> &files, std::vector<ArchiveEntry> &entries) {
    std::size_t folder = 0;
    std::size_t inFolder = 0;
    std::uint64_t offset = 0;
    std::size_t stream = 0;
    for (std::size_t i = 0; i < info.names.size(); ++i) {
        SevenZipReader::File file;
        ArchiveEntry entry;
        entry.name = info.names[i];
        entry.isDirectory = info.emptyStream[i] && !info.emptyFile[i];
        if (!info.emptyStream[i]) {
            while (folder < streams.folders.size() && inFolder == streams.folders[folder].streams) {
                ++folder;
                inFolder = 0;
                offset = 0;
            }
            if (folder == streams.folders.size())
                return damaged("7z header lists more files than data");
            file.hasData = true;
            file.folder = folder;
            file.offset = offset;
            file.crcDefined = streams.crcDefined[stream];
            file.crc = streams.crcs[stream];
            entry.size = streams.sizes[stream];
            offset += entry.size;
            ++inFolder;
            ++stream;
        }
        files.push_back(file);
        entries.push_back(std::move(entry));
    }
    if (stream != streams.sizes.size())
        return damaged("7z header lists more data than files");
    return {};
}

Status checkCrc(const std::vector<std::uint8_t> &data, std::uint32_t expected, const char *what) {
    const uLong crc = crc32(0L, data.data(), static_cast<uInt>(data.size()));
    return static_cast<std::uint32_t>(crc) == expected ? Status{} : damaged(what);
}

// The windows and models a folder's coders hold while it is decoded.
std::uint64_t windowsOf(const SevenZipReader::Folder &folder) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < folder.coders.size(); ++i) {
        const SevenZipReader::Coder &coder = folder.coders[i];
        if (coder.method == kLzma && coder.props.size() == 5)
            total += lzmaWindow(le32(&coder.props[1]), folder.sizes[i]);
        else if (coder.method == kLzma2 && coder.props.size() == 1)
            total += lzmaWindow(lzma2Dictionary(coder.props[0]), folder.sizes[i]);
        else if (coder.method == kDeflate || coder.method == kDeflate64)
            total += deflateWindow(coder.method == kDeflate64);
        else if (coder.method == kBzip2)
            total += bzip2Memory();
        else if (coder.method == kPpmd)
            total += ppmdMemory(coder.props);
    }
    return total;
}

} // namespace

bool hasSevenZipSignature(const std::uint8_t *head) {
    return std::memcmp(head, kSignature, sizeof kSignature) == 0;
}

bool findSevenZip(ByteSource &source, std::uint64_t &start) {
    std::uint8_t head[kStartHeaderSize] = {};
    source.readAt(0, head, sizeof head);
    start = 0;
    if (hasSevenZipSignature(head))
        return true;
    if (std::memcmp(head, "MZ", 2) != 0 && std::memcmp(head,
                                                       "\x7F"
                                                       "ELF",
                                                       4) != 0)
        return false;
    const std::uint64_t end = std::min(source.size(), kStubLimit);
    std::vector<std::uint8_t> window(kChunkSize + kStartHeaderSize);
    for (std::uint64_t from = 0; end - from >= kStartHeaderSize; from += kChunkSize) {
        const std::size_t size =
            static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), end - from));
        if (!source.readAt(from, window.data(), size))
            return false;
        for (std::size_t pos = 0; size - pos >= kStartHeaderSize; ++pos) {
            const std::uint8_t *h = window.data() + pos;
            if (h[0] == kSignature[0] && hasSevenZipSignature(h) &&
                static_cast<std::uint32_t>(crc32(0L, h + 12, 20)) == le32(h + 8)) {
                start = from + pos;
                return true;
            }
        }
    }
    return false;
}

bool isSevenZipVolume(const std::string &name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size() || dot < 3 ||
        name.find_first_not_of("0123456789", dot + 1) != std::string::npos)
        return false;
    const std::string before = name.substr(dot - 3, 3);
    return before[0] == '.' && before[1] == '7' && (before[2] == 'z' || before[2] == 'Z');
}

Status SevenZipReader::open(ByteSource &source) {
    std::uint64_t start = 0;
    findSevenZip(source, start);
    source_ = std::make_shared<ShiftedSource>(source, start);
    streams_ = {};
    files_.clear();
    entries_.clear();
    folderStream_.reset();

    std::vector<std::uint8_t> header;
    Status status = readStartHeader(header);
    if (status)
        status = decodeHeader(header);
    if (!status || header.empty())
        return status;
    FileInfo info;
    status = readMainHeader(header, source_->size(), source.name(), streams_, info);
    return status ? placeFiles(info, streams_, files_, entries_) : status;
}

// Reads the start header and the header it points to.
Status SevenZipReader::readStartHeader(std::vector<std::uint8_t> &header) {
    std::uint8_t start[kStartHeaderSize];
    if (!source_->readAt(0, start, sizeof start) || !hasSevenZipSignature(start))
        return isSevenZipVolume(source_->name()) ? splitArchive() : damaged("not a 7z archive");
    if (start[6] != 0)
        return {ErrorCode::Unsupported,
                "7z format version " + std::to_string(start[6]) + " is not supported"};
    if (static_cast<std::uint32_t>(crc32(0L, start + 12, 20)) != le32(start + 8))
        return damaged("7z start header is damaged");
    const std::uint64_t offset = le64(start + 12);
    const std::uint64_t size = le64(start + 20);
    if (size == 0)
        return {};
    const std::uint64_t available = source_->size() - kStartHeaderSize;
    if (offset > available || size > available - offset)
        return isSevenZipVolume(source_->name()) ? splitArchive()
                                                 : damaged("7z archive is truncated");
    header.resize(static_cast<std::size_t>(size));
    if (!source_->readAt(kStartHeaderSize + offset, header.data(), header.size()))
        return {ErrorCode::ArchiveOpen, "cannot read the archive"};
    return checkCrc(header, le32(start + 28), "7z header is damaged");
}

// Replaces an encoded header by what it decodes to, as often as it is wrapped.
Status SevenZipReader::decodeHeader(std::vector<std::uint8_t> &header) const {
    Status status;
    for (int level = 0; status && !header.empty() && header[0] == kEncodedHeader; ++level) {
        if (level == kMaxHeaderLevels)
            return damaged();
        HeaderReader r(header.data() + 1, header.size() - 1);
        Streams streams;
        status = readStreamsInfo(r, source_->size(), streams);
        if (!status)
            return status;
        if (streams.folders.empty())
            return damaged();
        const Folder &folder = streams.folders[0];
        const std::size_t packs = folder.boundTo.size() - (folder.coders.size() - 1);
        std::uint64_t packed = 0;
        for (std::size_t k = 0; k < packs; ++k)
            packed += streams.packSizes[folder.firstPack + k];
        if (folder.sizes[folder.mainCoder] > kHeaderBase + kHeaderRatio * packed)
            return damaged("7z header claims more than its packed size can hold");
        std::unique_ptr<InStream> stream;
        status = decodeFolder(streams, 0, stream);
        std::vector<std::uint8_t> decoded;
        std::vector<std::uint8_t> chunk(kChunkSize);
        for (std::size_t got = 1; status && got != 0;) {
            status = stream->read(chunk.data(), chunk.size(), got);
            decoded.insert(decoded.end(), chunk.begin(), chunk.begin() + std::ptrdiff_t(got));
        }
        if (!status)
            return status.code == ErrorCode::DataError
                       ? damaged("7z header is damaged: " + status.message)
                       : status;
        header.swap(decoded);
        if (streams.folders[0].crcDefined)
            status = checkCrc(header, streams.folders[0].crc, "7z header is damaged");
    }
    return status;
}

Status SevenZipReader::decodeFolder(const Streams &streams, std::size_t folder,
                                    std::unique_ptr<InStream> &stream) const {
    const Folder &f = streams.folders[folder];
    return coderOutput(streams, f, f.mainCoder, stream);
}

Status SevenZipReader::coderOutput(const Streams &streams, const Folder &folder, std::size_t index,
                                   std::unique_ptr<InStream> &stream) const {
    const Coder &coder = folder.coders[index];
    std::vector<std::unique_ptr<InStream>> inputs;
    for (std::uint32_t k = 0; k < coder.inputs; ++k) {
        const std::size_t input = coder.firstInput + k;
        std::unique_ptr<InStream> in;
        if (folder.boundTo[input] >= 0) {
            Status status =
                coderOutput(streams, folder, static_cast<std::size_t>(folder.boundTo[input]), in);
            if (!status)
                return status;
        } else {
            const std::size_t pack = folder.firstPack + folder.packIndex[input];
            in = std::make_unique<SourceStream>(*source_, streams.packOffsets[pack],
                                                streams.packSizes[pack]);
        }
        inputs.push_back(std::move(in));
    }
    const std::uint64_t size = folder.sizes[index];
    std::unique_ptr<InStream> decoder;
    Status status;
    switch (coder.method) {
    case kCopy:
        decoder = std::move(inputs[0]);
        break;
    case kLzma:
        status = makeLzmaStream(std::move(inputs[0]), coder.props, size, decoder);
        break;
    case kLzma2:
        status = makeLzma2Stream(std::move(inputs[0]), coder.props, size, decoder);
        break;
    case kBcj2:
        decoder = makeBcj2Stream(std::move(inputs), size);
        break;
    case kDeflate:
    case kDeflate64:
        decoder = makeDeflateStream(std::move(inputs[0]), coder.method == kDeflate64);
        break;
    case kBzip2:
        decoder = makeBzip2Stream(std::move(inputs[0]));
        break;
    case kPpmd:
        status = makePpmdStream(std::move(inputs[0]), coder.props, size, decoder);
        break;
    default:
        decoder = makeFilterStream(coder.method, std::move(inputs[0]), coder.props);
        break;
    }
    if (status)
        stream = std::make_unique<SizedStream>(std::move(decoder), size);
    return status;
}

Status SevenZipReader::extract(std::size_t index, const ChunkSink &sink) {
    const File &file = files_.at(index);
    const ArchiveEntry &entry = entries_[index];
    if (!file.hasData)
        return {};
    const auto quoted = "'" + entry.name + "'";
    if (!folderStream_ || folderIndex_ != file.folder || folderPos_ > file.offset) {
        folderStream_.reset();
        std::unique_ptr<InStream> decoded;
        Status status = decodeFolder(streams_, file.folder, decoded);
        if (!status)
            return status;
        folderStream_ = std::make_unique<ReadAheadStream>(std::move(decoded));
        folderIndex_ = file.folder;
        folderPos_ = 0;
    }
    std::vector<std::uint8_t> chunk(kChunkSize);
    // Skipped data of earlier files is decoded too: solid blocks allow nothing else.
    while (folderPos_ < file.offset) {
        std::size_t got = 0;
        Status status = folderStream_->read(chunk.data(),
                                            static_cast<std::size_t>(std::min<std::uint64_t>(
                                                chunk.size(), file.offset - folderPos_)),
                                            got);
        if (!status) {
            folderStream_.reset();
            return {status.code, status.message + " before " + quoted};
        }
        folderPos_ += got;
    }
    uLong crc = crc32(0L, Z_NULL, 0);
    for (std::uint64_t remaining = entry.size; remaining > 0;) {
        std::size_t got = 0;
        Status status = folderStream_->read(
            chunk.data(),
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), remaining)), got);
        if (!status) {
            folderStream_.reset();
            return {status.code, status.message + " in " + quoted};
        }
        crc = crc32(crc, chunk.data(), static_cast<uInt>(got));
        folderPos_ += got;
        remaining -= got;
        status = sink(chunk.data(), got);
        if (!status)
            return status;
    }
    // A folder read to its end gives its window back at once.
    const Folder &folder = streams_.folders[file.folder];
    if (folderPos_ == folder.sizes[folder.mainCoder])
        folderStream_.reset();
    if (file.crcDefined && static_cast<std::uint32_t>(crc) != file.crc)
        return {ErrorCode::DataError, "CRC mismatch in " + quoted};
    return {};
}

std::vector<EntryRun> SevenZipReader::runs() const {
    std::vector<EntryRun> runs;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const File &file = files_[i];
        if (file.hasData && (runs.empty() || files_[runs.back().begin].folder != file.folder))
            runs.push_back({i, windowsOf(streams_.folders[file.folder])});
    }
    // Entries without data ahead of the first file belong to the first run.
    if (!runs.empty())
        runs.front().begin = 0;
    return runs;
}

std::unique_ptr<ArchiveReader> SevenZipReader::fork() const {
    auto copy = std::make_unique<SevenZipReader>();
    copy->source_ = source_;
    copy->streams_ = streams_;
    copy->files_ = files_;
    copy->entries_ = entries_;
    return copy;
}

} // namespace archive
