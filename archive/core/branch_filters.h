#pragma once

#include "coder_stream.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace archive {

// 7z's filters of one stream: the branch converters (x86, PowerPC, IA-64, ARM, ARM Thumb,
// SPARC, ARM64, RISC-V), which turn absolute call and jump targets back into relative ones,
// and Delta. Each holds one block of 64 KiB at most.

// Whether method is one of them, with properties it takes.
bool filterSupported(std::uint64_t method, const std::vector<std::uint8_t> &props);
// The filter's output; method and props as filterSupported accepts them.
std::unique_ptr<InStream> makeFilterStream(std::uint64_t method, std::unique_ptr<InStream> input,
                                           const std::vector<std::uint8_t> &props);

// x86 BCJ2: the main stream, the call and jump targets, and the range-coded choices.
std::unique_ptr<InStream> makeBcj2Stream(std::vector<std::unique_ptr<InStream>> inputs,
                                         std::uint64_t outSize);

} // namespace archive
