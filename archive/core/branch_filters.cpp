#include "branch_filters.h"

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
        std::uint32_t source = (std::uint32_t(p[4]) << 24) | (std::uint32_t(p[3]) << 16) |
                               (std::uint32_t(p[2]) << 8) | p[1];
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

class BcjStream : public InStream {
public:
    explicit BcjStream(std::unique_ptr<InStream> input)
        : input_(std::move(input)), buffer_(kBlockSize) {}

    Status read(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        if (ready_ == 0) {
            Status status = refill();
            if (!status)
                return status;
        }
        got = std::min(n, ready_);
        std::memcpy(out, buffer_.data() + start_, got);
        start_ += got;
        ready_ -= got;
        return {};
    }

private:
    // Moves the unconverted tail to the front, reads behind it and converts what it can.
    Status refill() {
        std::memmove(buffer_.data(), buffer_.data() + start_, held_);
        start_ = 0;
        while (!ended_ && held_ < buffer_.size()) {
            std::size_t n = 0;
            Status status = input_->read(buffer_.data() + held_, buffer_.size() - held_, n);
            if (!status)
                return status;
            ended_ = n == 0;
            held_ += n;
        }
        ready_ = convertX86(buffer_.data(), held_, ip_, state_);
        // At the end nothing more can complete an instruction: the tail is final as it is.
        if (ended_)
            ready_ = held_;
        ip_ += static_cast<std::uint32_t>(ready_);
        held_ -= ready_;
        return {};
    }

    std::unique_ptr<InStream> input_;
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0; // first byte not yet given out
    std::size_t ready_ = 0; // converted bytes from start_ on
    std::size_t held_ = 0;  // bytes behind them not yet converted
    std::uint32_t ip_ = 0;
    std::uint32_t state_ = 0;
    bool ended_ = false;
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

} // namespace

std::unique_ptr<InStream> makeBcjStream(std::unique_ptr<InStream> input) {
    return std::make_unique<BcjStream>(std::move(input));
}

std::unique_ptr<InStream> makeBcj2Stream(std::vector<std::unique_ptr<InStream>> inputs,
                                         std::uint64_t outSize) {
    return std::make_unique<Bcj2Stream>(std::move(inputs), outSize);
}

} // namespace archive
