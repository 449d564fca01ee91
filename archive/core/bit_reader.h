#pragma once

#include "coder_stream.h"

#include <cstdint>
#include <memory>

namespace archive {

// A coder's input bit by bit, most significant first (BZip2) or least (Deflate). Past the
// input's end zeros are fed, and consuming one of them is the error, so a lookahead near
// the end costs nothing.
template <bool kMostSignificantFirst> class BitReader {
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
            if constexpr (kMostSignificantFirst)
                bits_ = bits_ << 8 | byte;
            else
                bits_ |= std::uint64_t(byte) << count_;
            count_ += 8;
        }
        return {};
    }
    std::uint32_t peek(unsigned n) const {
        if constexpr (kMostSignificantFirst)
            return std::uint32_t(bits_ >> (count_ - n)) & ((1u << n) - 1);
        else
            return std::uint32_t(bits_ & ((1u << n) - 1));
    }
    Status drop(unsigned n) {
        if constexpr (!kMostSignificantFirst)
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
