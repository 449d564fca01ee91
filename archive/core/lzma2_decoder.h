#pragma once

#include "coder_stream.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace archive {

// The dictionary size a property byte stands for; 0 past 40, which names none.
std::uint32_t lzma2Dictionary(std::uint8_t code);

// The LZMA2 method's stream: LZMA and stored chunks with their resets, over one window.
Status makeLzma2Stream(std::unique_ptr<InStream> input, const std::vector<std::uint8_t> &props,
                       std::uint64_t outSize, std::unique_ptr<InStream> &stream);

} // namespace archive
