#pragma once

#include "coder_stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace archive {

// The LZMA SDK's decoder over a window of our own: the window is never larger than the
// output, so a huge dictionary claimed by a small stream costs nothing.
class LzmaDecoder {
public:
    LzmaDecoder();
    ~LzmaDecoder();
    LzmaDecoder(const LzmaDecoder &) = delete;
    LzmaDecoder &operator=(const LzmaDecoder &) = delete;

    // props: the lc/lp/pb byte and the dictionary size (LZMA's five property bytes).
    Status allocate(const std::uint8_t props[5], std::uint64_t outSize);
    // LZMA2 changes lc/lp/pb between chunks; false when they are out of range.
    bool setLiteralProps(std::uint8_t props);
    void reset(bool dictionary, bool state);

    // Decodes at most outMax bytes from in, consuming inLen; out and outLen name the
    // new bytes inside the window, valid until the next call.
    Status decode(const std::uint8_t *in, std::size_t &inLen, std::size_t outMax,
                  const std::uint8_t *&out, std::size_t &outLen, bool &endMark);
    // Takes an uncompressed LZMA2 chunk's bytes into the window; n is cut to room().
    void store(const std::uint8_t *in, std::size_t &n, const std::uint8_t *&out);

private:
    void wrap();

    struct State;
    std::unique_ptr<State> state_;
};

// The window decoding outSize bytes with that dictionary takes.
std::uint64_t lzmaWindow(std::uint64_t dictionary, std::uint64_t outSize);

// The LZMA method's stream, with its five property bytes.
Status makeLzmaStream(std::unique_ptr<InStream> input, const std::vector<std::uint8_t> &props,
                      std::uint64_t outSize, std::unique_ptr<InStream> &stream);

} // namespace archive
