#pragma once

#include "coder_stream.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace archive {

// x86 branch converters: absolute call and jump targets back to relative ones.

// BCJ: filters one stream in place.
std::unique_ptr<InStream> makeBcjStream(std::unique_ptr<InStream> input);

// BCJ2: the main stream, the call and jump targets, and the range-coded choices.
std::unique_ptr<InStream> makeBcj2Stream(std::vector<std::unique_ptr<InStream>> inputs,
                                         std::uint64_t outSize);

} // namespace archive
