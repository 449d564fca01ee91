#pragma once

#include "coder_stream.h"

#include <cstdint>
#include <memory>

namespace archive {

// BZip2, concatenated streams included. A block's memory is what its stream's header
// declares, at most 3.6 MB.
std::unique_ptr<InStream> makeBzip2Stream(std::unique_ptr<InStream> input);

// The memory the largest block takes.
std::uint64_t bzip2Memory();

} // namespace archive
