#include "deflate_decoder.h"

#include "bit_reader.h"

#include <array>
#include <vector>

namespace archive {
namespace {

constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kEndOfBlock = 256;
constexpr std::size_t kLitLenSymbols = 288;
constexpr std::size_t kDistanceSymbols = 32;
constexpr std::size_t kCodeLengthSymbols = 19;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint32_t kDistanceBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                             17,   25,   33,   49,    65,    97,    129,   193,
                                             257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                             4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

Status corrupt() {
    return corruptData("Deflate data is corrupt");
}

using Bits = BitReader<BitOrder::LeastFirst>;

// A canonical code as a table indexed by the next maxLength bits; entries of length 0
// are bit patterns no code starts with.
class Huffman {
public:
    bool build(const std::uint8_t *lengths, std::size_t symbols) {
        unsigned counts[kMaxCodeLength + 1] = {};
        maxLength_ = 0;
        for (std::size_t s = 0; s < symbols; ++s) {
            ++counts[lengths[s]];
            maxLength_ = std::max<unsigned>(maxLength_, lengths[s]);
        }
        counts[0] = 0;
        unsigned next[kMaxCodeLength + 2] = {};
        int left = 1;
        for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
            left = 2 * left - int(counts[len]);
            if (left < 0)
                return false;
            next[len + 1] = (next[len] + counts[len]) << 1;
        }
        table_.assign(std::size_t(1) << maxLength_, 0);
        for (std::size_t s = 0; s < symbols; ++s) {
            const unsigned len = lengths[s];
            if (len == 0)
                continue;
            const unsigned code = next[len]++;
            unsigned reversed = 0;
            for (unsigned b = 0; b < len; ++b)
                reversed |= ((code >> b) & 1u) << (len - 1 - b);
            for (std::size_t at = reversed; at < table_.size(); at += std::size_t(1) << len)
                table_[at] = std::uint16_t(s << 4 | len);
        }
        return true;
    }

    Status decode(Bits &in, unsigned &symbol) const {
        Status status = in.ensure(maxLength_);
        if (!status)
            return status;
        const std::uint16_t entry = table_[in.peek(maxLength_)];
        if ((entry & 0xF) == 0)
            return corrupt();
        symbol = entry >> 4;
        return in.drop(entry & 0xF);
    }

private:
    std::vector<std::uint16_t> table_;
    unsigned maxLength_ = 0;
};

class DeflateStream : public DecodedStream {
public:
    DeflateStream(std::unique_ptr<InStream> input, bool deflate64)
        : in_(std::move(input), "Deflate data ends early"), deflate64_(deflate64),
          window_(deflateWindow(deflate64)) {}

protected:
    Status decode(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        while (got < n) {
            if (matchLeft_ > 0) {
                const std::size_t mask = window_.size() - 1;
                for (; matchLeft_ > 0 && got < n; --matchLeft_) {
                    const std::uint8_t byte = window_[(written_ - distance_) & mask];
                    window_[written_++ & mask] = byte;
                    out[got++] = byte;
                }
                continue;
            }
            Status status;
            if (stage_ == Stage::Header) {
                if (last_)
                    return {};
                status = startBlock();
            } else if (stage_ == Stage::Stored) {
                std::uint32_t byte = 0;
                if (storedLeft_ == 0) {
                    stage_ = Stage::Header;
                    continue;
                }
                status = in_.read(8, byte);
                if (status) {
                    --storedLeft_;
                    put(std::uint8_t(byte), out, got);
                }
            } else {
                status = symbol(out, got);
            }
            if (!status)
                return status;
        }
        return {};
    }

private:
    enum class Stage { Header, Stored, Coded };

    void put(std::uint8_t byte, std::uint8_t *out, std::size_t &got) {
        window_[written_++ & (window_.size() - 1)] = byte;
        out[got++] = byte;
    }

    Status startBlock() {
        std::uint32_t header = 0;
        Status status = in_.read(3, header);
        if (!status)
            return status;
        last_ = (header & 1) != 0;
        switch (header >> 1) {
        case 0: {
            std::uint32_t length = 0, check = 0;
            if (!(status = in_.alignToByte()) || !(status = in_.read(16, length)) ||
                !(status = in_.read(16, check)))
                return status;
            if ((length ^ check) != 0xFFFF)
                return corrupt();
            storedLeft_ = length;
            stage_ = Stage::Stored;
            return {};
        }
        case 1: {
            std::uint8_t lengths[kLitLenSymbols + kDistanceSymbols];
            std::fill(lengths, lengths + 144, 8);
            std::fill(lengths + 144, lengths + 256, 9);
            std::fill(lengths + 256, lengths + 280, 7);
            std::fill(lengths + 280, lengths + kLitLenSymbols, 8);
            std::fill(lengths + kLitLenSymbols, std::end(lengths), 5);
            literals_.build(lengths, kLitLenSymbols);
            distances_.build(lengths + kLitLenSymbols, kDistanceSymbols);
            stage_ = Stage::Coded;
            return {};
        }
        case 2:
            stage_ = Stage::Coded;
            return readCodes();
        default:
            return corrupt();
        }
    }

    Status readCodes() {
        std::uint32_t literals = 0, distances = 0, codeLengths = 0;
        Status status;
        if (!(status = in_.read(5, literals)) || !(status = in_.read(5, distances)) ||
            !(status = in_.read(4, codeLengths)))
            return status;
        literals += 257;
        distances += 1;
        codeLengths += 4;
        std::uint8_t lengths[kLitLenSymbols + kDistanceSymbols] = {};
        for (std::uint32_t i = 0; i < codeLengths; ++i) {
            std::uint32_t length = 0;
            if (!(status = in_.read(3, length)))
                return status;
            lengths[kCodeLengthOrder[i]] = std::uint8_t(length);
        }
        Huffman code;
        if (!code.build(lengths, kCodeLengthSymbols))
            return corrupt();
        std::uint8_t all[kLitLenSymbols + kDistanceSymbols] = {};
        for (std::uint32_t i = 0; i < literals + distances;) {
            unsigned symbol = 0;
            if (!(status = code.decode(in_, symbol)))
                return status;
            if (symbol < 16) {
                all[i++] = std::uint8_t(symbol);
                continue;
            }
            std::uint32_t repeat = 0;
            std::uint8_t value = 0;
            if (symbol == 16) {
                if (i == 0)
                    return corrupt();
                value = all[i - 1];
                status = in_.read(2, repeat);
                repeat += 3;
            } else if (symbol == 17) {
                status = in_.read(3, repeat);
                repeat += 3;
            } else {
                status = in_.read(7, repeat);
                repeat += 11;
            }
            if (!status)
                return status;
            if (repeat > literals + distances - i)
                return corrupt();
            std::fill(all + i, all + i + repeat, value);
            i += repeat;
        }
        if (all[kEndOfBlock] == 0 || !literals_.build(all, literals) ||
            !distances_.build(all + literals, distances))
            return corrupt();
        return {};
    }

    Status symbol(std::uint8_t *out, std::size_t &got) {
        unsigned symbol = 0;
        Status status = literals_.decode(in_, symbol);
        if (!status)
            return status;
        if (symbol < kEndOfBlock) {
            put(std::uint8_t(symbol), out, got);
            return {};
        }
        if (symbol == kEndOfBlock) {
            stage_ = Stage::Header;
            return {};
        }
        symbol -= kEndOfBlock + 1;
        if (symbol >= 29)
            return corrupt();
        const bool wide = deflate64_ && symbol == 28;
        std::uint32_t extra = 0;
        if (!(status = in_.read(wide ? 16 : kLengthExtra[symbol], extra)))
            return status;
        matchLeft_ = (wide ? 3 : kLengthBase[symbol]) + extra;
        unsigned code = 0;
        if (!(status = distances_.decode(in_, code)))
            return status;
        if (code >= (deflate64_ ? 32u : 30u))
            return corrupt();
        if (!(status = in_.read(code < 4 ? 0 : code / 2 - 1, extra)))
            return status;
        distance_ = kDistanceBase[code] + extra;
        if (distance_ > written_)
            return corrupt();
        return {};
    }

    Bits in_;
    const bool deflate64_;
    std::vector<std::uint8_t> window_;
    std::uint64_t written_ = 0;
    Stage stage_ = Stage::Header;
    bool last_ = false;
    std::uint32_t storedLeft_ = 0;
    std::uint32_t matchLeft_ = 0;
    std::uint32_t distance_ = 0;
    Huffman literals_;
    Huffman distances_;
};

} // namespace

std::size_t deflateWindow(bool deflate64) {
    return deflate64 ? 64 * 1024 : 32 * 1024;
}

std::unique_ptr<InStream> makeDeflateStream(std::unique_ptr<InStream> input, bool deflate64) {
    return std::make_unique<DeflateStream>(std::move(input), deflate64);
}

} // namespace archive
