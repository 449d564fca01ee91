#include "bzip2_decoder.h"

#include "bit_reader.h"

#include <array>
#include <vector>

namespace archive {
namespace {

constexpr std::uint32_t kBlockUnit = 100000;
constexpr unsigned kMaxLevel = 9;
constexpr std::uint64_t kBlockMagic = 0x314159265359;
constexpr std::uint64_t kEndMagic = 0x177245385090;
constexpr unsigned kMaxGroups = 6;
constexpr unsigned kGroupSize = 50;
constexpr unsigned kMaxSymbols = 258;
constexpr unsigned kMaxCodeLength = 20;
constexpr unsigned kLookupBits = 10;
constexpr unsigned kRunA = 0;
constexpr unsigned kRunB = 1;
constexpr unsigned kRunBeforeCount = 4;

Status corrupt() {
    return corruptData("BZip2 data is corrupt");
}

// BZip2's CRC-32 takes bits most significant first, unlike zlib's.
const std::array<std::uint32_t, 256> &crcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i << 24;
            for (int k = 0; k < 8; ++k)
                c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

using Bits = BitReader<BitOrder::MostFirst>;

// 32 bits, in two reads of at most 24.
Status read32(Bits &in, std::uint32_t &value) {
    std::uint32_t high = 0, low = 0;
    Status status = in.read(16, high);
    if (status)
        status = in.read(16, low);
    value = high << 16 | low;
    return status;
}

// A canonical code: a table for codes of up to kLookupBits bits, the rest by length.
class Huffman {
public:
    bool build(const std::uint8_t *lengths, unsigned symbols) {
        unsigned counts[kMaxCodeLength + 1] = {};
        for (unsigned s = 0; s < symbols; ++s)
            ++counts[lengths[s]];
        std::uint32_t code = 0;
        unsigned index = 0;
        for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
            first_[len] = code;
            count_[len] = counts[len];
            offset_[len] = index;
            index += counts[len];
            code += counts[len];
            if (code > (1u << len))
                return false;
            code <<= 1;
        }
        unsigned next[kMaxCodeLength + 1];
        std::copy(std::begin(offset_), std::end(offset_), next);
        lookup_.fill(0);
        for (unsigned s = 0; s < symbols; ++s) {
            const unsigned len = lengths[s];
            const unsigned rank = next[len]++;
            sorted_[rank] = std::uint16_t(s);
            if (len > kLookupBits)
                continue;
            const std::uint32_t start = (first_[len] + rank - offset_[len]) << (kLookupBits - len);
            for (std::uint32_t k = 0; k < (1u << (kLookupBits - len)); ++k)
                lookup_[start + k] = std::uint16_t(s << 5 | len);
        }
        return true;
    }

    Status decode(Bits &in, unsigned &symbol) const {
        Status status = in.ensure(kMaxCodeLength);
        if (!status)
            return status;
        const std::uint16_t entry = lookup_[in.peek(kLookupBits)];
        if (entry != 0) {
            symbol = entry >> 5;
            return in.drop(entry & 0x1F);
        }
        for (unsigned len = kLookupBits + 1; len <= kMaxCodeLength; ++len) {
            const std::uint32_t rank = in.peek(len) - first_[len];
            if (rank < count_[len]) {
                symbol = sorted_[offset_[len] + rank];
                return in.drop(len);
            }
        }
        return corrupt();
    }

private:
    std::array<std::uint16_t, 1 << kLookupBits> lookup_{};
    std::uint32_t first_[kMaxCodeLength + 1] = {};
    std::uint32_t count_[kMaxCodeLength + 1] = {};
    unsigned offset_[kMaxCodeLength + 1] = {};
    std::uint16_t sorted_[kMaxSymbols] = {};
};

class Bzip2Stream : public DecodedStream {
public:
    explicit Bzip2Stream(std::unique_ptr<InStream> input)
        : in_(std::move(input), "BZip2 data ends early") {}

protected:
    Status decode(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        const auto &table = crcTable();
        while (got < n) {
            if (stage_ == Stage::Output) {
                if (repeat_ > 0) {
                    --repeat_;
                } else if (left_ == 0) {
                    if (~crc_ != blockCrc_)
                        return corruptData("BZip2 block CRC mismatch");
                    combined_ = (combined_ << 1 | combined_ >> 31) ^ blockCrc_;
                    stage_ = Stage::Block;
                    continue;
                } else {
                    position_ = tt_[position_];
                    const std::uint8_t byte = std::uint8_t(position_);
                    position_ >>= 8;
                    --left_;
                    if (run_ == kRunBeforeCount) {
                        repeat_ = byte;
                        run_ = 0;
                        continue;
                    }
                    run_ = byte == last_ && run_ > 0 ? run_ + 1 : 1;
                    last_ = byte;
                }
                out[got++] = last_;
                crc_ = crc_ << 8 ^ table[(crc_ >> 24) ^ last_];
                continue;
            }
            if (stage_ == Stage::Done)
                return {};
            Status status;
            if (stage_ == Stage::Block) {
                status = readBlockHeader();
            } else {
                bool end = false;
                if (started_)
                    status = in_.atEnd(end);
                if (end)
                    stage_ = Stage::Done;
                else if (status)
                    status = readStreamHeader();
            }
            if (!status)
                return status;
        }
        return {};
    }

private:
    enum class Stage { Stream, Block, Output, Done };

    Status readStreamHeader() {
        std::uint32_t magic = 0, level = 0;
        Status status = in_.read(24, magic);
        if (status)
            status = in_.read(8, level);
        if (!status)
            return status;
        if (magic != 0x425A68 || level < '1' || level > '0' + kMaxLevel)
            return corruptData("BZip2 stream header is damaged");
        started_ = true;
        combined_ = 0;
        blockMax_ = (level - '0') * kBlockUnit;
        // Every entry is written before it is read, so none is cleared.
        if (ttSize_ < blockMax_) {
            tt_.reset(new std::uint32_t[blockMax_]);
            ttSize_ = blockMax_;
        }
        stage_ = Stage::Block;
        return {};
    }

    Status readBlockHeader() {
        std::uint32_t high = 0, low = 0, crc = 0;
        Status status = in_.read(24, high);
        if (status)
            status = in_.read(24, low);
        if (status)
            status = read32(in_, crc);
        if (!status)
            return status;
        const std::uint64_t magic = std::uint64_t(high) << 24 | low;
        if (magic == kEndMagic) {
            if (crc != combined_)
                return corruptData("BZip2 stream CRC mismatch");
            stage_ = Stage::Stream;
            return {};
        }
        if (magic != kBlockMagic)
            return corrupt();
        blockCrc_ = crc;
        status = readBlock();
        if (!status)
            return status;
        crc_ = 0xFFFFFFFFu;
        run_ = 0;
        repeat_ = 0;
        stage_ = Stage::Output;
        return {};
    }

    Status readBlock() {
        std::uint32_t randomised = 0, origin = 0, used = 0;
        Status status;
        if (!(status = in_.read(1, randomised)) || !(status = in_.read(24, origin)) ||
            !(status = in_.read(16, used)))
            return status;
        if (randomised)
            return {ErrorCode::Unsupported, "randomised BZip2 blocks are not supported"};
        std::uint8_t symbolsInUse[256];
        unsigned inUse = 0;
        for (unsigned i = 0; i < 16; ++i) {
            if (!(used & (0x8000u >> i)))
                continue;
            std::uint32_t bits = 0;
            if (!(status = in_.read(16, bits)))
                return status;
            for (unsigned j = 0; j < 16; ++j)
                if (bits & (0x8000u >> j))
                    symbolsInUse[inUse++] = std::uint8_t(i * 16 + j);
        }
        if (inUse == 0)
            return corrupt();
        const unsigned alphabet = inUse + 2;

        std::uint32_t groups = 0, selectorCount = 0;
        if (!(status = in_.read(3, groups)) || !(status = in_.read(15, selectorCount)))
            return status;
        if (groups < 2 || groups > kMaxGroups || selectorCount == 0)
            return corrupt();
        selectors_.resize(selectorCount);
        std::uint8_t order[kMaxGroups] = {0, 1, 2, 3, 4, 5};
        for (std::uint8_t &selector : selectors_) {
            unsigned rank = 0;
            for (std::uint32_t bit = 1;; ++rank) {
                if (!(status = in_.read(1, bit)))
                    return status;
                if (bit == 0)
                    break;
                if (rank + 1 >= groups)
                    return corrupt();
            }
            const std::uint8_t group = order[rank];
            std::copy_backward(order, order + rank, order + rank + 1);
            order[0] = group;
            selector = group;
        }
        for (unsigned g = 0; g < groups; ++g) {
            std::uint8_t lengths[kMaxSymbols];
            std::uint32_t length = 0;
            if (!(status = in_.read(5, length)))
                return status;
            for (unsigned s = 0; s < alphabet; ++s) {
                for (std::uint32_t bit = 1;;) {
                    if (length < 1 || length > kMaxCodeLength)
                        return corrupt();
                    if (!(status = in_.read(1, bit)))
                        return status;
                    if (bit == 0)
                        break;
                    if (!(status = in_.read(1, bit)))
                        return status;
                    length += bit ? -1 : 1;
                }
                lengths[s] = std::uint8_t(length);
            }
            if (!codes_[g].build(lengths, alphabet))
                return corrupt();
        }
        return readSymbols(symbolsInUse, inUse, alphabet, origin);
    }

    // Undoes the move-to-front and run-length steps into tt_, then links tt_ for the
    // inverse Burrows-Wheeler transform.
    Status readSymbols(const std::uint8_t *symbolsInUse, unsigned inUse, unsigned alphabet,
                       std::uint32_t origin) {
        std::uint8_t front[256];
        for (unsigned i = 0; i < inUse; ++i)
            front[i] = symbolsInUse[i];
        std::uint32_t counts[256] = {};
        std::uint32_t size = 0;
        std::uint32_t run = 0, weight = 1;
        std::size_t selector = 0;
        const Huffman *code = nullptr;
        for (unsigned left = 0;; --left) {
            if (left == 0) {
                if (selector == selectors_.size())
                    return corrupt();
                code = &codes_[selectors_[selector++]];
                left = kGroupSize;
            }
            unsigned symbol = 0;
            Status status = code->decode(in_, symbol);
            if (!status)
                return status;
            if (symbol == kRunA || symbol == kRunB) {
                run += weight << symbol;
                weight <<= 1;
                if (run > blockMax_ - size)
                    return corrupt();
                continue;
            }
            if (run > 0) {
                counts[front[0]] += run;
                for (; run > 0; --run)
                    tt_[size++] = front[0];
                weight = 1;
            }
            if (symbol == alphabet - 1)
                break;
            if (size == blockMax_)
                return corrupt();
            const unsigned rank = symbol - 1;
            const std::uint8_t byte = front[rank];
            std::copy_backward(front, front + rank, front + rank + 1);
            front[0] = byte;
            ++counts[byte];
            tt_[size++] = byte;
        }
        if (origin >= size)
            return corrupt();
        std::uint32_t start[256];
        for (std::uint32_t i = 0, sum = 0; i < 256; ++i) {
            start[i] = sum;
            sum += counts[i];
        }
        for (std::uint32_t i = 0; i < size; ++i)
            tt_[start[tt_[i] & 0xFF]++] |= i << 8;
        position_ = tt_[origin] >> 8;
        left_ = size;
        return {};
    }

    Bits in_;
    Stage stage_ = Stage::Stream;
    bool started_ = false;
    std::uint32_t blockMax_ = 0;
    std::unique_ptr<std::uint32_t[]> tt_;
    std::uint32_t ttSize_ = 0;
    std::vector<std::uint8_t> selectors_;
    Huffman codes_[kMaxGroups];
    std::uint32_t blockCrc_ = 0;
    std::uint32_t combined_ = 0;
    std::uint32_t crc_ = 0;
    std::uint32_t position_ = 0;
    std::uint32_t left_ = 0;
    unsigned run_ = 0;
    unsigned repeat_ = 0;
    std::uint8_t last_ = 0;
};

} // namespace

std::uint64_t bzip2Memory() {
    return std::uint64_t(kMaxLevel) * kBlockUnit * sizeof(std::uint32_t);
}

std::unique_ptr<InStream> makeBzip2Stream(std::unique_ptr<InStream> input) {
    return std::make_unique<Bzip2Stream>(std::move(input));
}

} // namespace archive
