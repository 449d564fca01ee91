#pragma once

#include "coder_stream.h"

#include <memory>

namespace archive {

// Deflate and Deflate64 (64 KiB window, length code 285 with 16 extra bits, distance codes
// 30 and 31), which zlib cannot read. The stream ends after the final block.
std::unique_ptr<InStream> makeDeflateStream(std::unique_ptr<InStream> input, bool deflate64);

// The window a Deflate or Deflate64 stream keeps.
std::size_t deflateWindow(bool deflate64);

} // namespace archive
