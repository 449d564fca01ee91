#include "branch_filters.h"

#include "little_endian.h"

#include <cstring>

namespace archive {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;
constexpr std::size_t kInstructionSize = 5;

bool isTargetHighByte(std::uint8_t b) {
    return b == 0 || b == 0xFF;
}

// Converts the E8/E9 operands of data[0, size); returns how many bytes are final (the
// last four may still start an instruction that continues in the next block).
std::size_t convertX86(std::uint8_t *data, std::size_t size, std::uint32_t ip,
                       std::uint32_t &state) {
    static const bool kAllowed[8] = {true, true, true, false, true, false, false, false};
    static const unsigned kBitNumber[8] = {0, 1, 2, 2, 3, 3, 3, 3};
    if (size < kInstructionSize)
        return 0;
    ip += kInstructionSize;
    std::size_t pos = 0;
    std::size_t previous = static_cast<std::size_t>(0) - 1;
    std::uint32_t mask = state & 7;
    for (;;) {
        const std::size_t limit = size - 4;
        while (pos < limit && (data[pos] & 0xFE) != 0xE8)
            ++pos;
        if (pos >= limit)
            break;
        std::uint8_t *p = data + pos;
        const std::size_t distance = pos - previous;
        if (distance > 3) {
            mask = 0;
        } else {
            mask = (mask << (distance - 1)) & 7;
            if (mask != 0 && (!kAllowed[mask] || isTargetHighByte(p[4 - kBitNumber[mask]]))) {
                previous = pos;
                mask = ((mask << 1) & 7) | 1;
                ++pos;
                continue;
            }
        }
        previous = pos;
        if (!isTargetHighByte(p[4])) {
            mask = ((mask << 1) & 7) | 1;
            ++pos;
            continue;
        }
        std::uint32_t source = le32(p + 1);
        std::uint32_t target;
        for (;;) {
            target = source - (ip + static_cast<std::uint32_t>(pos));
            if (mask == 0)
                break;
            const unsigned index = kBitNumber[mask] * 8;
            if (!isTargetHighByte(static_cast<std::uint8_t>(target >> (24 - index))))
                break;
            source = target ^ ((1u << (32 - index)) - 1);
        }
        p[4] = static_cast<std::uint8_t>(~(((target >> 24) & 1) - 1));
        p[3] = static_cast<std::uint8_t>(target >> 16);
        p[2] = static_cast<std::uint8_t>(target >> 8);
        p[1] = static_cast<std::uint8_t>(target);
        pos += kInstructionSize;
    }
    const std::size_t distance = pos - previous;
    state = distance > 3 ? 0 : (mask << (distance - 1)) & 7;
    return pos;
}

std::uint32_t be32(const std::uint8_t *p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

void putBe32(std::uint8_t *p, std::uint32_t v) {
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

void putLe32(std::uint8_t *p, std::uint32_t v) {
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<std::uint8_t>(v >> (8 * k));
}

// The RISC converters below turn absolute targets back into relative ones at the
// instruction's stream position ip + i; each returns how many bytes are final, the rest
// waiting for the bytes that may complete an instruction.

// BL: a 24-bit word offset from the instruction two words on.
std::size_t convertArm(std::uint8_t *d, std::size_t size, std::uint32_t ip, std::uint32_t &) {
    std::size_t i = 0;
    for (; size - i >= 4; i += 4) {
        if (d[i + 3] != 0xEB)
            continue;
        const std::uint32_t target = (std::uint32_t(d[i + 2]) << 16 | d[i + 1] << 8 | d[i]) << 2;
        const std::uint32_t offset = (target - (ip + static_cast<std::uint32_t>(i) + 8)) >> 2;
        for (int k = 0; k < 3; ++k)
            d[i + k] = static_cast<std::uint8_t>(offset >> (8 * k));
    }
    return i;
}

// Thumb BL: two half-words with 11 bits of a half-word offset each.
std::size_t convertArmThumb(std::uint8_t *d, std::size_t size, std::uint32_t ip, std::uint32_t &) {
    std::size_t i = 0;
    for (; size - i >= 4; i += 2) {
        if ((d[i + 1] & 0xF8) != 0xF0 || (d[i + 3] & 0xF8) != 0xF8)
            continue;
        const std::uint32_t target =
            ((std::uint32_t(d[i + 1] & 7) << 19) | (d[i] << 11) | ((d[i + 3] & 7) << 8) | d[i + 2])
            << 1;
        const std::uint32_t offset = (target - (ip + static_cast<std::uint32_t>(i) + 4)) >> 1;
        d[i + 1] = static_cast<std::uint8_t>(0xF0 | ((offset >> 19) & 7));
        d[i] = static_cast<std::uint8_t>(offset >> 11);
        d[i + 3] = static_cast<std::uint8_t>(0xF8 | ((offset >> 8) & 7));
        d[i + 2] = static_cast<std::uint8_t>(offset);
        i += 2;
    }
    return i;
}

// Big-endian "bl": opcode 18 with the link bit and no absolute bit.
std::size_t convertPowerPc(std::uint8_t *d, std::size_t size, std::uint32_t ip, std::uint32_t &) {
    std::size_t i = 0;
    for (; size - i >= 4; i += 4) {
        if ((d[i] >> 2) != 0x12 || (d[i + 3] & 3) != 1)
            continue;
        const std::uint32_t target = (be32(d + i) & 0x03FFFFFC);
        const std::uint32_t offset = target - (ip + static_cast<std::uint32_t>(i));
        putBe32(d + i, 0x48000000 | (offset & 0x03FFFFFC) | 1);
    }
    return i;
}

// "call" whose 30-bit word offset stays within +/-8 MiB, as 7-Zip writes it.
std::size_t convertSparc(std::uint8_t *d, std::size_t size, std::uint32_t ip, std::uint32_t &) {
    std::size_t i = 0;
    for (; size - i >= 4; i += 4) {
        if (!(d[i] == 0x40 && (d[i + 1] & 0xC0) == 0) &&
            !(d[i] == 0x7F && (d[i + 1] & 0xC0) == 0xC0))
            continue;
        std::uint32_t offset = ((be32(d + i) << 2) - (ip + static_cast<std::uint32_t>(i))) >> 2;
        offset =
            (((0 - ((offset >> 22) & 1)) << 22) & 0x3FFFFFFF) | (offset & 0x3FFFFF) | 0x40000000;
        putBe32(d + i, offset);
    }
    return i;
}

// Bundles of 16 bytes: a template whose slots of 41 bits may hold an IP-relative branch.
std::size_t convertIa64(std::uint8_t *d, std::size_t size, std::uint32_t ip, std::uint32_t &) {
    static const std::uint8_t kBranchSlots[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  4, 4, 6, 6, 0, 0, 7, 7, 4, 4, 0, 0, 4, 4, 0, 0};
    std::size_t i = 0;
    for (; size - i >= 16; i += 16) {
        const unsigned slots = kBranchSlots[d[i] & 0x1F];
        for (unsigned slot = 0, bit = 5; slot < 3; ++slot, bit += 41) {
            if (((slots >> slot) & 1) == 0)
                continue;
            std::uint8_t *p = d + i + bit / 8;
            const unsigned shift = bit % 8;
            std::uint64_t raw = 0;
            for (int k = 0; k < 6; ++k)
                raw |= std::uint64_t(p[k]) << (8 * k);
            std::uint64_t instruction = raw >> shift;
            if (((instruction >> 37) & 0xF) != 0x5 || ((instruction >> 9) & 0x7) != 0)
                continue;
            std::uint32_t target = static_cast<std::uint32_t>((instruction >> 13) & 0xFFFFF);
            target |= (static_cast<std::uint32_t>(instruction >> 36) & 1) << 20;
            const std::uint32_t offset =
                ((target << 4) - (ip + static_cast<std::uint32_t>(i))) >> 4;
            instruction &= ~(std::uint64_t(0x8FFFFF) << 13);
            instruction |= std::uint64_t(offset & 0xFFFFF) << 13;
            instruction |= std::uint64_t(offset & 0x100000) << (36 - 20);
            raw = (raw & ((std::uint64_t(1) << shift) - 1)) | (instruction << shift);
            for (int k = 0; k < 6; ++k)
                p[k] = static_cast<std::uint8_t>(raw >> (8 * k));
        }
    }
    return i;
}

// BL over its full range, ADRP within +/-512 MiB.
std::size_t convertArm64(std::uint8_t *d, std::size_t size, std::uint32_t ip, std::uint32_t &) {
    std::size_t i = 0;
    for (; size - i >= 4; i += 4) {
        const std::uint32_t pc = ip + static_cast<std::uint32_t>(i);
        std::uint32_t instruction = le32(d + i);
        if ((instruction >> 26) == 0x25) {
            instruction = 0x94000000 | ((instruction - (pc >> 2)) & 0x03FFFFFF);
        } else if ((instruction & 0x9F000000) == 0x90000000) {
            const std::uint32_t page =
                ((instruction >> 29) & 3) | ((instruction >> 3) & 0x001FFFFC);
            if (((page + 0x00020000) & 0x001C0000) != 0)
                continue;
            const std::uint32_t relative = page - (pc >> 12);
            instruction = (instruction & 0x9000001F) | ((relative & 3) << 29) |
                          ((relative & 0x0003FFFC) << 3) |
                          ((0 - (relative & 0x00020000)) & 0x00E00000);
        } else {
            continue;
        }
        putLe32(d + i, instruction);
    }
    return i;
}

// JAL to ra or t0, and AUIPC paired with the next instruction, which the encoder rewrote
// as a marker (AUIPC to x2 carrying the pair's low bits) and the big-endian target.
std::size_t convertRiscV(std::uint8_t *d, std::size_t size, std::uint32_t ip, std::uint32_t &) {
    if (size < 8)
        return 0;
    std::size_t i = 0;
    for (; i <= size - 8; i += 2) {
        const std::uint32_t pc = ip + static_cast<std::uint32_t>(i);
        if (d[i] == 0xEF) {
            const std::uint32_t b1 = d[i + 1];
            if ((b1 & 0x0D) != 0)
                continue;
            const std::uint32_t target = ((b1 & 0xF0) << 13) | (d[i + 2] << 9) | (d[i + 3] << 1);
            const std::uint32_t offset = target - pc;
            d[i + 1] = static_cast<std::uint8_t>((b1 & 0x0F) | ((offset >> 8) & 0xF0));
            d[i + 2] = static_cast<std::uint8_t>(((offset >> 16) & 0x0F) | ((offset >> 7) & 0x10) |
                                                 ((offset << 4) & 0xE0));
            d[i + 3] = static_cast<std::uint8_t>(((offset >> 4) & 0x7F) | ((offset >> 13) & 0x80));
            i += 2;
            continue;
        }
        if ((d[i] & 0x7F) != 0x17)
            continue;
        std::uint32_t first = le32(d + i);
        std::uint32_t second;
        if ((first & 0xE80) != 0) {
            // A register other than x0 and x2: a pair the encoder left alone only by its
            // fake-decoding rule, which this reverses.
            second = le32(d + i + 4);
            if ((((first << 8) ^ (second - 3)) & 0xF8003) != 0) {
                i += 4;
                continue;
            }
            const std::uint32_t address = (first & 0xFFFFF000) + (second >> 20);
            first = 0x17 | (2 << 7) | (second << 12);
            second = address;
        } else {
            const std::uint32_t register1 = first >> 27;
            if (static_cast<std::uint32_t>((first - 0x3117) << 18) >= (register1 & 0x1D)) {
                i += 2;
                continue;
            }
            const std::uint32_t address = be32(d + i + 4) - pc;
            second = (first >> 12) | (address << 20);
            first = 0x17 | (register1 << 7) | ((address + 0x800) & 0xFFFFF000);
        }
        putLe32(d + i, first);
        putLe32(d + i + 4, second);
        i += 6;
    }
    return i;
}

using Converter = std::size_t (*)(std::uint8_t *, std::size_t, std::uint32_t, std::uint32_t &);

// Filters one stream in place, a block at a time.
class BranchStream : public InStream {
public:
    BranchStream(std::unique_ptr<InStream> input, Converter convert, std::uint32_t ip)
        : input_(std::move(input)), buffer_(kBlockSize), convert_(convert), ip_(ip) {}

    Status read(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        got = 0;
        if (ready_ == 0) {
            refill();
            if (ready_ == 0 && !error_)
                return error_;
        }
        got = std::min(n, ready_);
        std::memcpy(out, buffer_.data() + start_, got);
        start_ += got;
        ready_ -= got;
        return {};
    }

private:
    // Moves the unconverted tail to the front, reads behind it and converts what it can;
    // an input error waits until what was converted before it is given out.
    void refill() {
        std::memmove(buffer_.data(), buffer_.data() + start_, held_);
        start_ = 0;
        while (error_ && !ended_ && held_ < buffer_.size()) {
            std::size_t n = 0;
            error_ = input_->read(buffer_.data() + held_, buffer_.size() - held_, n);
            ended_ = error_ && n == 0;
            held_ += n;
        }
        ready_ = convert_(buffer_.data(), held_, ip_, state_);
        // At the end nothing more can complete an instruction: the tail is final as it is.
        if (ended_)
            ready_ = held_;
        ip_ += static_cast<std::uint32_t>(ready_);
        held_ -= ready_;
    }

    std::unique_ptr<InStream> input_;
    std::vector<std::uint8_t> buffer_;
    Converter convert_;
    std::size_t start_ = 0; // first byte not yet given out
    std::size_t ready_ = 0; // converted bytes from start_ on
    std::size_t held_ = 0;  // bytes behind them not yet converted
    std::uint32_t ip_;
    std::uint32_t state_ = 0;
    bool ended_ = false;
    Status error_;
};

// Each byte is the sum of the stored one and the byte distance places back.
class DeltaStream : public InStream {
public:
    DeltaStream(std::unique_ptr<InStream> input, unsigned distance)
        : input_(std::move(input)), distance_(distance) {}

    Status read(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        Status status = input_->read(out, n, got);
        for (std::size_t i = 0; status && i < got; ++i) {
            out[i] = static_cast<std::uint8_t>(out[i] + history_[(count_ - distance_) & 0xFF]);
            history_[count_++ & 0xFF] = out[i];
        }
        return status;
    }

private:
    std::unique_ptr<InStream> input_;
    const unsigned distance_;
    std::uint8_t history_[256] = {};
    unsigned count_ = 0; // bytes given out, modulo the history's size
};

constexpr unsigned kProbabilityBits = 11;
constexpr std::uint32_t kProbabilityOne = 1u << kProbabilityBits;
constexpr unsigned kMoveBits = 5;
constexpr std::uint32_t kTopValue = 1u << 24;

bool isBranch(std::uint8_t previous, std::uint8_t b) {
    return (b & 0xFE) == 0xE8 || (previous == 0x0F && (b & 0xF0) == 0x80);
}

class Bcj2Stream : public InStream {
public:
    Bcj2Stream(std::vector<std::unique_ptr<InStream>> inputs, std::uint64_t outSize)
        : main_(std::move(inputs[0])), calls_(std::move(inputs[1]), 4096),
          jumps_(std::move(inputs[2]), 4096), choices_(std::move(inputs[3]), 4096),
          remaining_(outSize) {
        for (std::uint16_t &p : probabilities_)
            p = kProbabilityOne >> 1;
    }

    Status read(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        Status status;
        if (!started_) {
            std::uint8_t b = 0;
            for (int i = 0; i < 5; ++i) {
                if (!choices_.next(b, status))
                    return failed(status);
                code_ = (code_ << 8) | b;
            }
            started_ = true;
        }
        got = 0;
        while (got < n) {
            if (pendingCount_ > 0) {
                out[got++] = pending_[4 - pendingCount_--];
                continue;
            }
            if (remaining_ == 0)
                break;
            std::uint8_t b = 0;
            if (!main_.next(b, status))
                return failed(status);
            out[got++] = b;
            --remaining_;
            ++position_;
            if (!isBranch(previous_, b)) {
                previous_ = b;
                continue;
            }
            if (remaining_ == 0)
                break;
            std::uint16_t &probability = probabilities_[b == 0xE8   ? previous_
                                                        : b == 0xE9 ? 256
                                                                    : 257];
            bool converted = false;
            if (!decodeBit(probability, converted, status))
                return failed(status);
            if (!converted) {
                previous_ = b;
                continue;
            }
            BufferedInput &targets = b == 0xE8 ? calls_ : jumps_;
            std::uint32_t target = 0;
            for (int i = 0; i < 4; ++i) {
                std::uint8_t t = 0;
                if (!targets.next(t, status))
                    return failed(status);
                target = (target << 8) | t;
            }
            target -= position_ + 4;
            for (int i = 0; i < 4; ++i)
                pending_[i] = static_cast<std::uint8_t>(target >> (8 * i));
            pendingCount_ = static_cast<int>(std::min<std::uint64_t>(4, remaining_));
            remaining_ -= static_cast<std::uint64_t>(pendingCount_);
            position_ += 4;
            previous_ = pending_[3];
        }
        return {};
    }

private:
    static Status failed(const Status &status) {
        return status ? corruptData("BCJ2 data ends early") : status;
    }

    bool decodeBit(std::uint16_t &probability, bool &bit, Status &status) {
        const std::uint32_t bound = (range_ >> kProbabilityBits) * probability;
        bit = code_ >= bound;
        if (!bit) {
            range_ = bound;
            probability = static_cast<std::uint16_t>(
                probability + ((kProbabilityOne - probability) >> kMoveBits));
        } else {
            range_ -= bound;
            code_ -= bound;
            probability = static_cast<std::uint16_t>(probability - (probability >> kMoveBits));
        }
        if (range_ < kTopValue) {
            std::uint8_t b = 0;
            if (!choices_.next(b, status))
                return false;
            range_ <<= 8;
            code_ = (code_ << 8) | b;
        }
        return true;
    }

    BufferedInput main_;
    BufferedInput calls_;
    BufferedInput jumps_;
    BufferedInput choices_;
    std::uint64_t remaining_;
    std::uint16_t probabilities_[258];
    std::uint32_t range_ = 0xFFFFFFFF;
    std::uint32_t code_ = 0;
    std::uint32_t position_ = 0;
    std::uint8_t pending_[4] = {};
    int pendingCount_ = 0;
    std::uint8_t previous_ = 0;
    bool started_ = false;
};

constexpr std::uint64_t kDelta = 0x03;

struct Branch {
    std::uint64_t method;
    Converter convert;
    std::uint32_t offsetAlignment; // of a start offset in the properties; 0: none taken
    bool x86;                      // properties ignored, as they always were here
};

// 7-Zip writes the short ids; older versions wrote the long ones.
const Branch kBranches[] = {
    {0x04, convertX86, 0, true},       {0x03030103, convertX86, 0, true},
    {0x05, convertPowerPc, 0, false},  {0x03030205, convertPowerPc, 0, false},
    {0x06, convertIa64, 0, false},     {0x03030401, convertIa64, 0, false},
    {0x07, convertArm, 0, false},      {0x03030501, convertArm, 0, false},
    {0x08, convertArmThumb, 0, false}, {0x03030701, convertArmThumb, 0, false},
    {0x09, convertSparc, 0, false},    {0x03030805, convertSparc, 0, false},
    {0x0A, convertArm64, 4, false},    {0x0B, convertRiscV, 2, false},
};

const Branch *branchOf(std::uint64_t method) {
    for (const Branch &branch : kBranches)
        if (branch.method == method)
            return &branch;
    return nullptr;
}

} // namespace

bool filterSupported(std::uint64_t method, const std::vector<std::uint8_t> &props) {
    if (method == kDelta)
        return props.size() == 1;
    const Branch *branch = branchOf(method);
    if (branch == nullptr)
        return false;
    // Only ARM64 and RISC-V take a start offset, aligned to their instructions.
    return branch->x86 || props.empty() ||
           (branch->offsetAlignment != 0 && props.size() == 4 &&
            le32(props.data()) % branch->offsetAlignment == 0);
}

std::unique_ptr<InStream> makeFilterStream(std::uint64_t method, std::unique_ptr<InStream> input,
                                           const std::vector<std::uint8_t> &props) {
    if (method == kDelta)
        return std::make_unique<DeltaStream>(std::move(input), props[0] + 1u);
    const Branch &branch = *branchOf(method);
    const std::uint32_t ip = !branch.x86 && props.size() == 4 ? le32(props.data()) : 0;
    return std::make_unique<BranchStream>(std::move(input), branch.convert, ip);
}

std::unique_ptr<InStream> makeBcj2Stream(std::vector<std::unique_ptr<InStream>> inputs,
                                         std::uint64_t outSize) {
    return std::make_unique<Bcj2Stream>(std::move(inputs), outSize);
}

} // namespace archive
