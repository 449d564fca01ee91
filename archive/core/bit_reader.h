#pragma once

#include "coder_stream.h"

#include <cstdint>
#include <memory>

namespace archive {

// Deflate takes a byte's bits least significant first, BZip2 most significant first.
enum class BitOrder { LeastFirst, MostFirst };

// An input stream's bits in the given order. Past the input's end zeros are fed, and
// consuming one of them is the error endsEarly names, so a lookahead near the end costs
// nothing.
template <BitOrder order> class BitReader {
public:
    BitReader(std::unique_ptr<InStream> input, const char *endsEarly)
        : input_(std::move(input)), endsEarly_(endsEarly) {}

    Status ensure(unsigned n) {
        while (count_ < n) {
            std::uint8_t byte = 0;
            Status status;
            if (!input_.next(byte, status)) {
                if (!status)
                    return status;
                padding_ += 8;
            }
            if (order == BitOrder::LeastFirst)
                bits_ |= std::uint64_t(byte) << count_;
            else
                bits_ = bits_ << 8 | byte;
            count_ += 8;
        }
        return {};
    }
    std::uint32_t peek(unsigned n) const {
        const std::uint64_t at = order == BitOrder::LeastFirst ? bits_ : bits_ >> (count_ - n);
        return std::uint32_t(at) & ((1u << n) - 1);
    }
    Status drop(unsigned n) {
        if (order == BitOrder::LeastFirst)
            bits_ >>= n;
        count_ -= n;
        return count_ < padding_ ? corruptData(endsEarly_) : Status{};
    }
    // n <= 24.
    Status read(unsigned n, std::uint32_t &value) {
        Status status = ensure(n);
        value = peek(n);
        return status ? drop(n) : status;
    }
    Status alignToByte() { return drop(count_ % 8); }
    // Skips to the next byte boundary and tells whether the input ends there.
    Status atEnd(bool &end) {
        Status status = alignToByte();
        if (status && count_ == padding_)
            status = ensure(count_ + 8);
        end = count_ == padding_;
        return status;
    }

private:
    BufferedInput input_;
    const char *endsEarly_;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
    unsigned padding_ = 0;
};

} // namespace archive
